#pragma once
// What the serial unit tests share: a chip selected from the catalogue with a target over its
// buffers, the unit that programs it, and a call of any operation by its name.

#include "chips/chiptarget.h"
#include "chips/selection.h"
#include "families/familyunit.h"
#include "log/operationlog.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora::testing {

// The catalogue chips programmed over SPI, each once.
inline constexpr const char* SerialChips[] = {"AT90S2323", "AT90S2343", "ATtiny12", "ATtiny13", "ATtiny15",
                                              "ATtiny22",  "ATtiny25",  "ATtiny45", "ATtiny85", "ATtiny26"};

// A chip as the selection leaves it: factory lock and fuse values, blank images.
struct SelectedChip {
    explicit SelectedChip(const char* name) : entry(*FindChipByName(name))
    {
        OperationLog quiet;
        SelectChip(state, entry.code, quiet, {});
    }
    ChipTarget Target() { return TargetOf(state.CurrentChip, entry); }
    const FamilyUnit& Unit() const { return UnitOf(entry); }

    const ChipEntry& entry;
    ChipState state;
};

// Any operation by its name; pos and verify go to the per-address ones.
inline bool RunOperation(const FamilyUnit& unit, ChipOperation op, const ProgContext& ctx, ChipTarget& chip,
                         std::uint32_t pos = 0, bool verify = false)
{
    switch (op) {
    case ChipOperation::ReadFlashByte: return unit.ReadFlashByte(ctx, chip, pos, verify);
    case ChipOperation::WriteFlashByte: return unit.WriteFlashByte(ctx, chip, pos);
    case ChipOperation::LoadFlashByte: return unit.LoadFlashByte(ctx, chip, pos);
    case ChipOperation::WriteFlashPage: return unit.WriteFlashPage(ctx, chip, pos);
    case ChipOperation::ReadEepromByte: return unit.ReadEepromByte(ctx, chip, pos, verify);
    case ChipOperation::WriteEepromByte: return unit.WriteEepromByte(ctx, chip, pos);
    case ChipOperation::WriteEepromPage: return unit.WriteEepromPage(ctx, chip, pos);
    default: return unit.Run(op, ctx, chip);
    }
}

}  // namespace velmora::testing
