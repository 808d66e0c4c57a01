#pragma once
// What the serial unit tests share: a chip selected from the catalogue with a target over its
// buffers, the unit that programs it, and a call of any operation by its name.

#include "chips/chiptarget.h"
#include "chips/selection.h"
#include "families/familyunit.h"
#include "families/units.h"
#include "log/operationlog.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora::testing {

// The catalogue chips programmed over SPI, each once.
inline constexpr const char* SerialChips[] = {"AT90S2323", "AT90S2343", "ATtiny12", "ATtiny13", "ATtiny15",
                                              "ATtiny22",  "ATtiny25",  "ATtiny45", "ATtiny85", "ATtiny26"};

// The serial units by their FamilyId.
inline const FamilyUnit& SerialUnitOf(FamilyId id)
{
    switch (id) {
    case FamilyId::Attiny26: return units::Attiny26();
    case FamilyId::Attiny25: return units::Attiny25();
    case FamilyId::Attiny12: return units::Attiny12();
    case FamilyId::Attiny15: return units::Attiny15();
    case FamilyId::At90s2323: return units::At90s2323();
    case FamilyId::At90s2343: return units::At90s2343();
    case FamilyId::Attiny22: return units::Attiny22();
    default: return units::Attiny13();
    }
}

// A chip as the selection leaves it: factory lock and fuse values, blank images.
struct SelectedChip {
    explicit SelectedChip(const char* name) : entry(*FindChipByName(name))
    {
        OperationLog quiet;
        SelectChip(state, entry.code, quiet, {});
    }
    ChipTarget Target() { return TargetOf(state.CurrentChip, entry); }
    const FamilyUnit& Unit() const { return SerialUnitOf(entry.family); }

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
