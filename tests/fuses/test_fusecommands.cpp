// The lock and fuse sequences around a unit: the order, the failure line, what a failure
// leaves in the slots, and the read-back after a write. A scripted unit stands in for the
// family so that each case shows one behaviour of the sequence itself.
#include "chips/selection.h"
#include "fuses/fusecommands.h"
#include "log/operationlog.h"
#include "support/recordinglink.h"

#include <gtest/gtest.h>

#include <vector>

namespace velmora {
namespace {

using Op = ChipOperation;

// A serial unit (no supplies to switch off) with the ATmega8's orders whose "chip" is three
// bytes; lock bits can only be programmed, as on a real chip.
class ScriptedUnit final : public FamilyUnit {
public:
    FamilyId Id() const override { return FamilyId::Atmega8; }
    ProgrammingInterface Interface() const override { return ProgrammingInterface::Serial; }
    OperationSet Operations() const override { return {}; }
    std::span<const ChipOperation> LockFuseReadOrder() const override { return ReadOrder; }
    std::span<const ChipOperation> LockFuseWriteOrder() const override { return WriteOrder; }

    bool EnterProgrammingMode(const ProgContext& c, ChipTarget&) const override { return Step(c, Op::EnterProgrammingMode); }
    bool ReadLockBits(const ProgContext& c, ChipTarget& t) const override { return Read(c, t, Op::ReadLockBits, 2); }
    bool ReadFuseHigh(const ProgContext& c, ChipTarget& t) const override { return Read(c, t, Op::ReadFuseHigh, 1); }
    bool ReadFuseLow(const ProgContext& c, ChipTarget& t) const override { return Read(c, t, Op::ReadFuseLow, 0); }
    bool WriteFuseHigh(const ProgContext& c, ChipTarget& t) const override { return Write(c, t, Op::WriteFuseHigh, 1); }
    bool WriteFuseLow(const ProgContext& c, ChipTarget& t) const override { return Write(c, t, Op::WriteFuseLow, 0); }
    bool WriteLockBits(const ProgContext& c, ChipTarget& t) const override
    {
        if (!Step(c, Op::WriteLockBits))
            return false;
        chipBytes[2] &= t.fuses[2];
        return true;
    }

    static constexpr std::array<Op, 3> ReadOrder = {Op::ReadLockBits, Op::ReadFuseHigh, Op::ReadFuseLow};
    static constexpr std::array<Op, 3> WriteOrder = {Op::WriteFuseHigh, Op::WriteFuseLow, Op::WriteLockBits};

    mutable std::vector<Op> calls;
    mutable std::array<std::uint8_t, 3> chipBytes = {0xE1, 0xD9, 0xFF};
    std::optional<Op> failAt;

private:
    bool Step(const ProgContext& c, Op op) const
    {
        calls.push_back(op);
        if (failAt == op) {
            c.log.WriteLog(LogCommandError, QStringLiteral(" step"));
            return false;
        }
        return true;
    }
    bool Read(const ProgContext& c, ChipTarget& t, Op op, int slot) const
    {
        if (!Step(c, op))
            return false;
        t.fuses[std::size_t(slot)] = chipBytes[std::size_t(slot)];
        return true;
    }
    bool Write(const ProgContext& c, ChipTarget& t, Op op, int slot) const
    {
        if (!Step(c, op))
            return false;
        chipBytes[std::size_t(slot)] = t.fuses[std::size_t(slot)];
        return true;
    }
};

ScriptedUnit* scripted = nullptr;
const FamilyUnit& Scripted(FamilyId) { return *scripted; }

class LockFuseSequence : public ::testing::Test {
protected:
    void SetUp() override
    {
        scripted = &unit;
        link.Open(QStringLiteral("test"));
        link.answerLinkChecks = true;
        SelectMenuEntry(state, *FindChipByName("ATmega8"), log, {});
        log.SetSink({});
        firstLine = log.Lines().size();
    }
    ChipJob Job() { return ChipJob(state, Scripted); }
    QStringList NewLines() const { return log.Lines().mid(firstLine); }

    ScriptedUnit unit;
    testing::RecordingLink link;
    OperationLog log;
    ProgContext ctx{link, log, 0, [](int) {}};
    ChipState state;
    qsizetype firstLine = 0;
};

TEST_F(LockFuseSequence, ReadEntersThenFollowsTheUnitsOrder)
{
    unit.chipBytes = {0x12, 0x34, 0xFC};
    ChipJob job = Job();
    EXPECT_EQ(ReadLockFuses(ctx, job), FuseOutcome::Done);
    EXPECT_EQ(unit.calls, (std::vector<Op>{Op::EnterProgrammingMode, Op::ReadLockBits, Op::ReadFuseHigh, Op::ReadFuseLow}));
    EXPECT_EQ(job.Chip().FuseDefaults, (FuseBytes{0x12, 0x34, 0xFC, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_TRUE(NewLines().isEmpty());  // the units log their steps; the sequence adds nothing on success
}

TEST_F(LockFuseSequence, ReadFailingAtFuseHighKeepsTheLockByteJustRead)
{
    unit.chipBytes = {0x12, 0x34, 0xFC};
    unit.failAt = Op::ReadFuseHigh;
    ChipJob job = Job();
    EXPECT_EQ(ReadLockFuses(ctx, job), FuseOutcome::Failed);
    EXPECT_EQ(unit.calls, (std::vector<Op>{Op::EnterProgrammingMode, Op::ReadLockBits, Op::ReadFuseHigh}));
    EXPECT_EQ(job.Chip().FuseDefaults, (FuseBytes{0xE1, 0xD9, 0xFC, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(NewLines(), (QStringList{"Error executing commands:  step", "       Finished with fail."}));
}

TEST_F(LockFuseSequence, FailedEntryStopsBeforeTheOrder)
{
    unit.failAt = Op::EnterProgrammingMode;
    ChipJob job = Job();
    EXPECT_EQ(ReadLockFuses(ctx, job), FuseOutcome::Failed);
    EXPECT_EQ(unit.calls, std::vector<Op>{Op::EnterProgrammingMode});
    EXPECT_EQ(NewLines().back(), QStringLiteral("       Finished with fail."));
}

TEST_F(LockFuseSequence, NoChipSelected)
{
    ChipState empty;
    ChipJob job(empty, Scripted);
    EXPECT_EQ(ReadLockFuses(ctx, job), FuseOutcome::NoChip);
    EXPECT_EQ(WriteLockFuses(ctx, job).outcome, FuseOutcome::NoChip);
    EXPECT_TRUE(unit.calls.empty());
    EXPECT_EQ(NewLines(), (QStringList{"No chip selected", "No chip selected"}));
}

TEST_F(LockFuseSequence, WriteThenReadsBackWhatTheChipHolds)
{
    state.CurrentChip.FuseDefaults = {0xE4, 0xD9, 0xFC, 0x55, 0xFF, 0xFF, 0xFF, 0xFF};
    ChipJob job = Job();
    const FuseWriteReport report = WriteLockFuses(ctx, job);
    EXPECT_EQ(report.outcome, FuseOutcome::Done);
    EXPECT_EQ(unit.calls, (std::vector<Op>{Op::EnterProgrammingMode, Op::WriteFuseHigh, Op::WriteFuseLow, Op::WriteLockBits,
                                           Op::EnterProgrammingMode, Op::ReadLockBits, Op::ReadFuseHigh, Op::ReadFuseLow}));
    ASSERT_TRUE(report.chipValues);
    EXPECT_EQ(*report.chipValues, job.Chip().FuseDefaults);
    EXPECT_TRUE(NewLines().isEmpty());
}

TEST_F(LockFuseSequence, WriteTheChipRefusesIsAFailureNamingTheByte)
{
    // Lock bits once programmed stay so until a chip erase: "with success." from the write
    // step alone would be a lie.
    unit.chipBytes = {0xE1, 0xD9, 0xFC};
    ChipJob job = Job();  // the factory values: lock 0xFF
    const FuseWriteReport report = WriteLockFuses(ctx, job);
    EXPECT_EQ(report.outcome, FuseOutcome::Differs);
    ASSERT_EQ(report.differences.size(), 1u);
    EXPECT_EQ(report.differences[0].slot, 2);
    EXPECT_EQ(report.chipValues->at(2), 0xFC);
    EXPECT_EQ(job.Chip().FuseDefaults[2], 0xFF);  // the job keeps what was written
    EXPECT_EQ(NewLines(), (QStringList{"Lock and fuse check: Lock bits written FF, the chip holds FC",
                                       "       Finished with fail."}));
}

TEST_F(LockFuseSequence, FailedWriteIsNotReadBack)
{
    unit.failAt = Op::WriteFuseLow;
    ChipJob job = Job();
    const FuseWriteReport report = WriteLockFuses(ctx, job);
    EXPECT_EQ(report.outcome, FuseOutcome::Failed);
    EXPECT_FALSE(report.chipValues);
    EXPECT_EQ(unit.calls, (std::vector<Op>{Op::EnterProgrammingMode, Op::WriteFuseHigh, Op::WriteFuseLow}));
    EXPECT_EQ(NewLines().back(), QStringLiteral("       Finished with fail."));
}

}  // namespace
}  // namespace velmora
