#pragma once
// The 55 supported chips as data, in the order of the Chip Select menu, and the lookup by
// signature that selection and the family dispatch share.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace velmora {

// Byte 0 | byte 1 << 8 | byte 2 << 16 of the chip's signature; 0 means no chip.
using SignatureCodeType = std::int32_t;

constexpr SignatureCodeType MakeSignatureCode(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2)
{
    return static_cast<SignatureCodeType>(b0 | (b1 << 8) | (b2 << 16));
}

struct ChipEntry {
    std::string_view name;     // shown in the chip name field and the log, e.g. "ATmega8"
    SignatureCodeType code;    // SignatureCode
    std::uint32_t flashSize;   // bytes
    std::uint32_t eepromSize;  // bytes
    std::uint8_t calibrationCount;
    std::string_view picture;  // connection picture, a bare file name
    // Factory lock and fuse values from slot 0: fuse low, fuse high, extended (if any), lock.
    std::array<std::uint8_t, 4> factory;
    std::uint8_t factoryCount;
    std::string_view familyUnit;  // the algorithm set the memory operations use
    std::string_view menuItem;    // the Chip Select item; its handler is this name + "Click"
    bool menuEnabled;             // disabled items are reached only by Autosearch
    bool niiet;                   // a NIIET part sharing the signature of an AVR entry
};

inline constexpr std::size_t ChipCount = 55;

// The catalogue, in menu order.
std::span<const ChipEntry, ChipCount> ChipCatalogue();

// The entry for code: an AVR entry, or with niietMode set one of the two NIIET entries
// (which share their codes with the ATmega8535 and the ATmega128). Null when there is none.
const ChipEntry* FindChipEntry(SignatureCodeType code, bool niietMode);

// The entry by its name as shown ("ATmega8", "1887ВЕ4У" in UTF-8) or by its menu item name
// ("ATmega81", "N188741"), case-insensitively, names taking precedence; the NIIET parts also
// in Latin letters ("1887VE4U"). Null when unknown.
const ChipEntry* FindChipByName(std::string_view name);

}  // namespace velmora
