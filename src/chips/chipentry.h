#pragma once
// What a catalogue row says about one chip: the unit that programs it, its sizes and page
// geometry, its factory lock and fuse values, and the rows of the tables above this layer that
// describe it (its lock and fuse layout, its connection picture's pin table), by index.

#include "prog/signaturecode.h"

#include <array>
#include <cstdint>
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

// The checked pin tables the connection pictures are drawn from (WiringTable(), in this order),
// each named after the first chip it serves. None: the chip's programming pins are not checked
// yet, and it has no picture.
enum class WiringId : std::uint8_t {
    None,
    Atmega8,
    Atmega48,
    Atmega16,
    Atmega8515,
    Attiny2313,
    Attiny261,
    At90s2323,
    At90s2343,
    Attiny12,
    Attiny13,
    Attiny15,
    Attiny25,
    Attiny26,
};
inline constexpr std::size_t WiringCount = std::size_t(WiringId::Attiny26);  // rows, None not counted

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
    WiringId wiring;           // the pin table the picture is drawn from
    // Factory lock and fuse values from slot 0: fuse low, fuse high, extended (if any), lock.
    std::array<std::uint8_t, 4> factory;
    // The lock and fuse slots the chip has: its fuse bytes, then the lock byte. The one source
    // of the lock slot: the units, the fuse layout and the dialog follow it.
    std::uint8_t factoryCount;
    // The number of its lock and fuse layout (FuseLayouts(), from 1); the NIIET parts share
    // their counterparts' layouts.
    std::uint8_t fuseLayout;
    std::string_view menuItem;    // the Chip Select item; its handler is this name + "Click"
    bool menuEnabled;             // disabled items are reached only by Autosearch
    bool niiet;                   // a NIIET part sharing the signature of an AVR entry

    // The FuseDefaults slot of the lock byte.
    constexpr std::uint8_t LockSlot() const { return std::uint8_t(factoryCount - 1); }
};

}  // namespace velmora
