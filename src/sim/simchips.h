#pragma once
// The simulator's own model of each supported chip: what the chip makers' datasheets say
// about its memories and its programming interfaces, independent of the program's chip
// catalogue and family algorithms (it checks them, so it must not be built from them).

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace velmora::sim {

enum class SimInterface : std::uint8_t {
    Parallel,  // high-voltage parallel programming through the data bus and control lines
    Serial,    // serial programming: 4-byte instructions over SPI
};

// How the chip enters high-voltage parallel programming mode (datasheet "Entering
// Programming Mode").
enum class SimEntry : std::uint8_t {
    XtalToggle,  // +5 V, at least six XTAL1 pulses, Prog_enable pins 0, then +12 V
    Plain,       // +5 V, Prog_enable pins 0, then +12 V (the older parts)
    Timed,       // +12 V within 60 µs of +5 V: only the gateway's own entry is fast enough
};

// How lock and fuse bits are read and written.
enum class SimFuseLayout : std::uint8_t {
    Modern,    // fuse low / high / extended and lock selected by BS1 and BS2
    Separate,  // one fuse byte (BS1 = 0) and the lock byte (BS1 = 1)
    Combined,  // one byte: lock bits in bits 7 and 6, fuse bits (SPIEN bit 5, bit 0) below
};

// One fuse bit: which fuse byte (0 low or the only one, 1 high, 2 extended) and its mask.
struct SimFuseBit {
    std::uint8_t fuse = 0;
    std::uint8_t mask = 0;
};

struct SimChipModel {
    std::string_view name;
    std::array<std::uint8_t, 3> signature;
    std::uint32_t flashBytes;
    std::uint32_t eepromBytes;
    std::uint16_t flashPageBytes;   // 0: the flash is programmed byte by byte
    std::uint16_t eepromPageBytes;  // 0: the EEPROM is programmed byte by byte
    std::uint8_t calibrationCount;
    std::array<std::uint8_t, 4> factory;  // fuse low (or the fuse byte), [high], [extended], lock
    std::uint8_t factoryCount;
    SimInterface interface;
    SimEntry entry;
    SimFuseLayout fuses;
    bool pagelOnBs1;       // PAGEL shares the BS1 pin (ATtiny2313, ATtiny261/461/861)
    bool bs2OnXa1;         // BS2 shares the XA1 pin (same chips)
    bool longWrPulses;     // erase and fuse writes need a long WR pulse, no RDY/BSY busy
    bool commitNeedsBs1Low;  // a page is programmed only with BS1 = 0 at the WR pulse
    bool niiet;            // erased cells read 0x00 and programming sets bits
    // Busy times in microseconds after a WR pulse or a serial write.
    std::uint32_t flashWriteUs;
    std::uint32_t eepromWriteUs;
    std::uint32_t eraseUs;
    std::uint32_t fuseWriteUs;
    // With PAGEL on BS1: the page latch takes the data latches when BS1 falls (the end of the
    // PAGEL pulse) rather than following them while BS1 is high.
    bool pagelLatchesOnFall = false;
    // Fuse bits that decide whether serial programming can start: SPIEN must be programmed,
    // RSTDISBL and DWEN unprogrammed (mask 0: the chip has no such bit).
    SimFuseBit spien{};
    SimFuseBit rstdisbl{};
    SimFuseBit dwen{};

    bool HasExtendedAddress() const { return flashBytes > 0x20000; }
    std::uint8_t FuseCount() const { return std::uint8_t(factoryCount - 1); }
    std::int32_t Code() const { return signature[0] | signature[1] << 8 | signature[2] << 16; }
};

inline constexpr std::size_t SimChipCount = 55;

std::span<const SimChipModel, SimChipCount> SimChipModels();
// By name, case-insensitively; the NIIET parts also by their Latin spelling ("1887VE4U").
const SimChipModel* FindSimChip(std::string_view name);

}  // namespace velmora::sim
