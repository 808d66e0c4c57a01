#pragma once
// A family unit that records the calls the memory commands make, holds a chip's memories to
// read and compare, and fails one chosen call: for the commands' call orders, progress and
// closing lines, independent of any real algorithm.

#include "families/familyunit.h"
#include "link/gatewaylink.h"
#include "log/operationlog.h"

#include <map>
#include <optional>
#include <vector>

namespace velmora::testing {

struct UnitCall {
    ChipOperation op;
    std::uint32_t pos = 0;
    bool verify = false;
    const void* unit = nullptr;
    bool operator==(const UnitCall& o) const { return op == o.op && pos == o.pos && verify == o.verify; }
};

using Op = ChipOperation;

inline const OperationSet ParallelPaged{Op::EnterProgrammingMode, Op::ChipErase, Op::ReadFlashWord, Op::LoadFlashWord,
                                        Op::WriteFlashPage, Op::ReadEepromByte, Op::WriteEepromByte, Op::ReadCalibration};
inline const OperationSet ParallelWords{Op::EnterProgrammingMode, Op::ChipErase, Op::ReadFlashWord, Op::WriteFlashWord,
                                        Op::ReadEepromByte, Op::WriteEepromByte};
inline const OperationSet SerialPaged{Op::EnterProgrammingMode, Op::ChipErase, Op::ReadFlashByte, Op::LoadFlashByte,
                                      Op::WriteFlashPage, Op::ReadEepromByte, Op::WriteEepromByte, Op::WriteEepromPage,
                                      Op::ReadCalibration};
inline const OperationSet SerialBytes{Op::EnterProgrammingMode, Op::ChipErase, Op::ReadFlashByte, Op::WriteFlashByte,
                                      Op::ReadEepromByte, Op::WriteEepromByte};
inline const OperationSet SerialZeroWord = SerialBytes.With({Op::ReadCalibration, Op::WriteFlashZeroWord});

class FakeUnit : public FamilyUnit {
public:
    FakeUnit(FamilyId id, ProgrammingInterface iface, OperationSet ops, std::vector<UnitCall>& calls)
        : id_(id), iface_(iface), ops_(ops), calls_(calls)
    {
        flash.assign(0x40000, 0);
        for (std::size_t i = 0; i < flash.size(); ++i)
            flash[i] = std::uint8_t(i * 7 + 3);
        eeprom.assign(0x10000, 0);
        for (std::size_t i = 0; i < eeprom.size(); ++i)
            eeprom[i] = std::uint8_t(i ^ 0x5A);
    }

    FamilyId Id() const override { return id_; }
    ProgrammingInterface Interface() const override { return iface_; }
    OperationSet Operations() const override { return ops_; }
    std::span<const ChipOperation> LockFuseReadOrder() const override { return {}; }
    std::span<const ChipOperation> LockFuseWriteOrder() const override { return {}; }
    FamilyId CalibrationUnit() const override { return calibrationUnit.value_or(id_); }
    // The serial units commit every 32 bytes, whatever the chip's page.
    std::uint32_t FlashCommitBytes(const ChipEntry& entry) const override
    {
        return iface_ == ProgrammingInterface::Serial && ops_.Has(Op::LoadFlashByte) ? 32 : entry.flashPageBytes;
    }

    // The call that fails: the n-th call of op (from 0), or the call of op at pos.
    struct Failure {
        ChipOperation op;
        std::optional<std::uint32_t> pos;
        int occurrence = 0;
        bool linkFails = true;  // a step whose answer did not come (line, link closed); else a busy chip
    };
    std::optional<Failure> failure;
    std::optional<FamilyId> calibrationUnit;
    std::vector<std::uint8_t> flash, eeprom;  // what the chip holds

    bool EnterProgrammingMode(const ProgContext& ctx, ChipTarget&) const override { return Step(ctx, Op::EnterProgrammingMode); }
    bool ChipErase(const ProgContext& ctx, ChipTarget&) const override { return Step(ctx, Op::ChipErase); }
    bool WriteFlashZeroWord(const ProgContext& ctx, ChipTarget&) const override { return Step(ctx, Op::WriteFlashZeroWord); }
    bool ReadFlashWord(const ProgContext& ctx, ChipTarget& t, std::uint32_t pos, bool verify) const override
    {
        return Step(ctx, Op::ReadFlashWord, pos, verify) && Read(t.flash, flash, pos, verify) &&
               Read(t.flash, flash, pos + 1, verify);
    }
    bool ReadFlashByte(const ProgContext& ctx, ChipTarget& t, std::uint32_t pos, bool verify) const override
    {
        return Step(ctx, Op::ReadFlashByte, pos, verify) && Read(t.flash, flash, pos, verify);
    }
    bool ReadEepromByte(const ProgContext& ctx, ChipTarget& t, std::uint32_t pos, bool verify) const override
    {
        return Step(ctx, Op::ReadEepromByte, pos, verify) && Read(t.eeprom, eeprom, pos, verify);
    }
    bool LoadFlashWord(const ProgContext& ctx, ChipTarget&, std::uint32_t pos) const override { return Step(ctx, Op::LoadFlashWord, pos); }
    bool WriteFlashPage(const ProgContext& ctx, ChipTarget&, std::uint32_t pos) const override { return Step(ctx, Op::WriteFlashPage, pos); }
    bool WriteFlashWord(const ProgContext& ctx, ChipTarget&, std::uint32_t pos) const override { return Step(ctx, Op::WriteFlashWord, pos); }
    bool WriteFlashByte(const ProgContext& ctx, ChipTarget&, std::uint32_t pos) const override { return Step(ctx, Op::WriteFlashByte, pos); }
    bool LoadFlashByte(const ProgContext& ctx, ChipTarget&, std::uint32_t pos) const override { return Step(ctx, Op::LoadFlashByte, pos); }
    bool WriteEepromByte(const ProgContext& ctx, ChipTarget&, std::uint32_t pos) const override { return Step(ctx, Op::WriteEepromByte, pos); }
    bool WriteEepromPage(const ProgContext& ctx, ChipTarget&, std::uint32_t pos) const override { return Step(ctx, Op::WriteEepromPage, pos); }
    bool ReadCalibration(const ProgContext& ctx, ChipTarget& t) const override
    {
        if (!Step(ctx, Op::ReadCalibration))
            return false;
        for (unsigned i = 0; i < t.calibrationCount; ++i)
            t.calibration[i] = std::uint8_t(0xA8 + i);
        return true;
    }

private:
    bool Step(const ProgContext& ctx, ChipOperation op, std::uint32_t pos = 0, bool verify = false) const
    {
        calls_.push_back({op, pos, verify, this});
        if (!failure || failure->op != op || (failure->pos && *failure->pos != pos))
            return true;
        if (seen_[op]++ != failure->occurrence)
            return true;
        if (!failure->linkFails)
            return false;
        GatewayPacket answer;
        return ctx.Read(1, " (PINB)", answer);  // no answer queued: the line, the link closed
    }
    static bool Read(std::span<std::uint8_t> image, const std::vector<std::uint8_t>& chip, std::uint32_t pos, bool verify)
    {
        if (verify)
            return image[pos] == chip[pos];
        image[pos] = chip[pos];
        return true;
    }

    FamilyId id_;
    ProgrammingInterface iface_;
    OperationSet ops_;
    std::vector<UnitCall>& calls_;
    mutable std::map<ChipOperation, int> seen_;
};

}  // namespace velmora::testing
