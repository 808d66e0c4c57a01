#pragma once
// What a chip operation works on: the catalogue row of the chip (sizes and page geometry) and
// spans over the buffers it reads from and stores into. A command on the worker thread gets a
// target over its own copies, so the window can paint its images meanwhile.

#include "chips/catalogue.h"
#include "chips/chip.h"

#include <algorithm>
#include <cstdint>
#include <span>

namespace velmora {

struct ChipTarget {
    const ChipEntry& entry;              // code, sizes, page geometry, family
    std::span<std::uint8_t> flash;       // FlashImage, entry.flashSize bytes
    std::span<std::uint8_t> eeprom;      // EepromImage, entry.eepromSize bytes
    std::span<std::uint8_t, 8> fuses;    // FuseDefaults: fuse low, high, extended, lock slots
    std::uint8_t calibrationCount;       // CalibrationCount
    std::span<std::uint8_t, 8> calibration;  // CalibrationBytes

    std::uint32_t FlashSize() const { return entry.flashSize; }
    std::uint32_t EepromSize() const { return entry.eepromSize; }
};

// A target over the buffers of c, which must be a chip of entry (sizes within its images).
inline ChipTarget TargetOf(chip& c, const ChipEntry& entry)
{
    return ChipTarget{
        .entry = entry,
        .flash = std::span<std::uint8_t>(c.FlashImage).first(std::min<std::size_t>(entry.flashSize, c.FlashImage.size())),
        .eeprom = std::span<std::uint8_t>(c.EepromImage).first(std::min<std::size_t>(entry.eepromSize, c.EepromImage.size())),
        .fuses = std::span<std::uint8_t, 8>(c.FuseDefaults),
        .calibrationCount = c.CalibrationCount,
        .calibration = std::span<std::uint8_t, 8>(c.CalibrationBytes),
    };
}

}  // namespace velmora
