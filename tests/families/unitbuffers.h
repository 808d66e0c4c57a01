#pragma once
// Test helpers for the family units: buffers a ChipTarget points into, and the parallel
// units by FamilyId.

#include "chips/catalogue.h"
#include "chips/chiptarget.h"
#include "families/units.h"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::testing {

// Owns the images, fuse slots and calibration bytes of one chip; Target() points into them.
struct UnitBuffers {
    explicit UnitBuffers(const ChipEntry& e, std::uint8_t fill = 0xFF)
        : entry(e), flash(e.flashSize, fill), eeprom(e.eepromSize, fill), calibrationCount(e.calibrationCount)
    {
        fuses.fill(0xFF);
        calibration.fill(0x00);
    }
    ChipTarget Target()
    {
        return ChipTarget{.entry = entry,
                          .flash = flash,
                          .eeprom = eeprom,
                          .fuses = std::span<std::uint8_t, 8>(fuses),
                          .calibrationCount = calibrationCount,
                          .calibration = std::span<std::uint8_t, 8>(calibration)};
    }

    const ChipEntry& entry;
    std::vector<std::uint8_t> flash;
    std::vector<std::uint8_t> eeprom;
    std::array<std::uint8_t, 8> fuses{};
    std::uint8_t calibrationCount;
    std::array<std::uint8_t, 8> calibration{};
};

// The parallel units in FamilyId order, reached without the registry (which also needs the
// serial units).
inline const FamilyUnit& ParallelUnitOf(FamilyId id)
{
    using Fn = const FamilyUnit& (*)();
    static constexpr std::array<Fn, 21> Units = {
        units::Atmega8,   units::Atmega8515, units::Atmega16,   units::Atmega163,  units::Atmega323,
        units::Atmega48,  units::Atmega162,  units::Atmega164,  units::Atmega169,  units::Atmega64,
        units::Atmega640, units::At90can32,  units::Attiny261,  units::Attiny2313, units::Atmega161,
        units::Atmega603, units::At90s1200,  units::At90s2313,  units::At90s4414,  units::At90s4434,
        units::At90s2333,
    };
    return Units.at(static_cast<std::size_t>(id))();
}

// The parallel units come first in FamilyId order.
inline bool IsParallel(FamilyId id) { return static_cast<std::size_t>(id) <= static_cast<std::size_t>(FamilyId::At90s2333); }

inline const ChipEntry& Chip(std::string_view name)
{
    const ChipEntry* e = FindChipByName(name);
    if (!e)
        throw std::invalid_argument(std::string(name));
    return *e;
}

}  // namespace velmora::testing
