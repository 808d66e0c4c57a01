#pragma once
// The 55 supported chips as data, in the order of the Chip Select menu, and the lookup by
// signature that selection and the family dispatch share.

#include "prog/signaturecode.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace velmora {


// The family units, each named after one chip of its family, in the order of chips/familylist.h
// (the parallel units, then the serial ones), which is the order of the unit registry.
enum class FamilyId : std::uint8_t {
#define VELMORA_FAMILY(name, progress) name,
#include "chips/familylist.h"
#undef VELMORA_FAMILY
};
inline constexpr std::size_t FamilyCount = 0
#define VELMORA_FAMILY(name, progress) +1
#include "chips/familylist.h"
#undef VELMORA_FAMILY
    ;

// The unit's name as the sources and the log of a developer name it ("Atmega8").
std::string_view FamilyName(FamilyId id);

struct ChipEntry {
    std::string_view name;     // shown in the chip name field and the log, e.g. "ATmega8"
    SignatureCode code;    // SignatureCode
    FamilyId family;           // the unit that programs the chip
    std::uint32_t flashSize;   // bytes
    // Bytes of FlashImage per flash page; 0 when the flash is written word by word (parallel)
    // or byte by byte (serial).
    std::uint16_t flashPageBytes;
    std::uint32_t eepromSize;  // bytes
    std::uint8_t eepromPageBytes;  // 0: every EEPROM byte is programmed by its own write
    bool eepromAddressHigh;    // the EEPROM algorithm loads the address high byte
    std::uint8_t calibrationCount;
    std::string_view picture;  // connection picture, a bare file name
    // Factory lock and fuse values from slot 0: fuse low, fuse high, extended (if any), lock.
    std::array<std::uint8_t, 4> factory;
    std::uint8_t factoryCount;
    std::string_view menuItem;    // the Chip Select item; its handler is this name + "Click"
    bool menuEnabled;             // disabled items are reached only by Autosearch
    bool niiet;                   // a NIIET part sharing the signature of an AVR entry
};

inline constexpr std::size_t ChipCount = 55;

// The catalogue, in menu order.
std::span<const ChipEntry, ChipCount> ChipCatalogue();

// The entry for code: an AVR entry, or with niietMode set one of the two NIIET entries
// (which share their codes with the ATmega8535 and the ATmega128). Null when there is none.
const ChipEntry* FindChipEntry(SignatureCode code, bool niietMode);

// The entry by its name as shown ("ATmega8", "1887ВЕ4У" in UTF-8) or by its menu item name
// ("ATmega81", "N188741"), case-insensitively, names taking precedence; the NIIET parts also
// in Latin letters ("1887VE4U"). Null when unknown.
const ChipEntry* FindChipByName(std::string_view name);

}  // namespace velmora
