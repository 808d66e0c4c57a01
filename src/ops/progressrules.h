#pragma once
// When the memory commands move the progress bar and to which position, per family unit.
// The figures differ between families in ways no chip property explains (the step at which a
// family's loop reports, and whether it counts to the word's first or second byte), so they are
// kept as they are, one row per unit.

#include "chips/catalogue.h"

#include <cstdint>

namespace velmora {

// Update when (pos AND mask) is the loop's last address below the next multiple of mask + 1;
// the position is (pos + offset) * 100 / size, unsigned, division last.
struct ProgressPoint {
    std::uint32_t mask = 0x1F;
    std::uint32_t offset = 1;
};

struct ProgressRules {
    ProgressPoint readFlash;
    ProgressPoint verifyFlash;
    // Write Program: the offset of the position, at each page commit (paged families) or every
    // 32 bytes (the others); chips of the family with flash pages of otherPageBytes use
    // otherOffset instead.
    std::uint32_t writeOffset = 1;
    std::uint16_t otherPageBytes = 0;
    std::uint32_t otherOffset = 1;
    // Read and Verify Data update when (pos AND eepromMask) = eepromMask; Write Data likewise
    // with eepromWriteMask, where 0 means the chip's EEPROM page size less one.
    std::uint32_t eepromMask = 3;
    std::uint32_t eepromWriteMask = 3;
};

const ProgressRules& ProgressRulesOf(FamilyId family);

// True when pos, stepping by step, is at an update point of mask.
constexpr bool AtUpdate(std::uint32_t pos, std::uint32_t mask, std::uint32_t step)
{
    return (pos & mask) == mask + 1 - step;
}

// (pos + offset) * 100 / size in unsigned 32-bit arithmetic.
constexpr int ProgressPosition(std::uint32_t pos, std::uint32_t offset, std::uint32_t size)
{
    return static_cast<int>((pos + offset) * 100u / size);
}

}  // namespace velmora
