#include "families/familyunit.h"

namespace velmora {

bool FamilyUnit::EnterProgrammingMode(const ProgContext&, ChipTarget&) const { return false; }
bool FamilyUnit::ChipErase(const ProgContext&, ChipTarget&) const { return false; }
bool FamilyUnit::ReadFlashWord(const ProgContext&, ChipTarget&, std::uint32_t, bool) const { return false; }
bool FamilyUnit::LoadFlashWord(const ProgContext&, ChipTarget&, std::uint32_t) const { return false; }
bool FamilyUnit::WriteFlashPage(const ProgContext&, ChipTarget&, std::uint32_t) const { return false; }
bool FamilyUnit::WriteFlashWord(const ProgContext&, ChipTarget&, std::uint32_t) const { return false; }
bool FamilyUnit::ReadFlashByte(const ProgContext&, ChipTarget&, std::uint32_t, bool) const { return false; }
bool FamilyUnit::WriteFlashByte(const ProgContext&, ChipTarget&, std::uint32_t) const { return false; }
bool FamilyUnit::LoadFlashByte(const ProgContext&, ChipTarget&, std::uint32_t) const { return false; }
bool FamilyUnit::WriteFlashZeroWord(const ProgContext&, ChipTarget&) const { return false; }
bool FamilyUnit::ReadEepromByte(const ProgContext&, ChipTarget&, std::uint32_t, bool) const { return false; }
bool FamilyUnit::WriteEepromByte(const ProgContext&, ChipTarget&, std::uint32_t) const { return false; }
bool FamilyUnit::WriteEepromPage(const ProgContext&, ChipTarget&, std::uint32_t) const { return false; }
bool FamilyUnit::ReadLockBits(const ProgContext&, ChipTarget&) const { return false; }
bool FamilyUnit::WriteLockBits(const ProgContext&, ChipTarget&) const { return false; }
bool FamilyUnit::ReadFuseLow(const ProgContext&, ChipTarget&) const { return false; }
bool FamilyUnit::WriteFuseLow(const ProgContext&, ChipTarget&) const { return false; }
bool FamilyUnit::ReadFuseHigh(const ProgContext&, ChipTarget&) const { return false; }
bool FamilyUnit::WriteFuseHigh(const ProgContext&, ChipTarget&) const { return false; }
bool FamilyUnit::ReadFuseExtended(const ProgContext&, ChipTarget&) const { return false; }
bool FamilyUnit::WriteFuseExtended(const ProgContext&, ChipTarget&) const { return false; }
bool FamilyUnit::ReadFuseByte(const ProgContext&, ChipTarget&) const { return false; }
bool FamilyUnit::WriteFuseByte(const ProgContext&, ChipTarget&) const { return false; }
bool FamilyUnit::ReadFuseAndLockBits(const ProgContext&, ChipTarget&) const { return false; }
bool FamilyUnit::ReadCalibration(const ProgContext&, ChipTarget&) const { return false; }

bool FamilyUnit::Run(ChipOperation op, const ProgContext& ctx, ChipTarget& chip) const
{
    switch (op) {
    case ChipOperation::EnterProgrammingMode: return EnterProgrammingMode(ctx, chip);
    case ChipOperation::ChipErase: return ChipErase(ctx, chip);
    case ChipOperation::WriteFlashZeroWord: return WriteFlashZeroWord(ctx, chip);
    case ChipOperation::ReadLockBits: return ReadLockBits(ctx, chip);
    case ChipOperation::WriteLockBits: return WriteLockBits(ctx, chip);
    case ChipOperation::ReadFuseLow: return ReadFuseLow(ctx, chip);
    case ChipOperation::WriteFuseLow: return WriteFuseLow(ctx, chip);
    case ChipOperation::ReadFuseHigh: return ReadFuseHigh(ctx, chip);
    case ChipOperation::WriteFuseHigh: return WriteFuseHigh(ctx, chip);
    case ChipOperation::ReadFuseExtended: return ReadFuseExtended(ctx, chip);
    case ChipOperation::WriteFuseExtended: return WriteFuseExtended(ctx, chip);
    case ChipOperation::ReadFuseByte: return ReadFuseByte(ctx, chip);
    case ChipOperation::WriteFuseByte: return WriteFuseByte(ctx, chip);
    case ChipOperation::ReadFuseAndLockBits: return ReadFuseAndLockBits(ctx, chip);
    case ChipOperation::ReadCalibration: return ReadCalibration(ctx, chip);
    default: return false;  // the per-address operations are called directly
    }
}

}  // namespace velmora
