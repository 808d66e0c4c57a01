// Rescue: the findings in plain words, and the whole rescue of a shut-off chip on the
// simulated gateway (read, erase where the lock bits demand it, factory values, read back).
#include "fuses/rescue.h"

#include "chips/selection.h"
#include "log/operationlog.h"
#include "sim/simlink.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

FuseBytes Slots(std::initializer_list<std::uint8_t> first)
{
    FuseBytes f;
    f.fill(0xFF);
    std::copy(first.begin(), first.end(), f.begin());
    return f;
}

const FuseLayout& LayoutFor(const char* name)
{
    return *LayoutOf(FindChipByName(name));
}

TEST(RescueFindings, SayWhatIsWrongInPlainWords)
{
    struct Case {
        const char* chip;
        FuseBytes values;
        QStringList starts;  // the start of each finding, in order
        bool lockBlocks;
    };
    const Case cases[] = {
        {"ATmega8", Slots({0xE1, 0xD9, 0xFF}), {}, false},
        {"ATmega8", Slots({0xE0, 0x59, 0xFC}),
         {"external clock selected (Low Fuses", "reset pin disabled", "locked (LB2 LB1 programmed)"}, true},
        {"ATmega8", Slots({0xE1, 0xF9, 0xCF}), {"serial programming disabled", "locked (BLB12 BLB11 programmed)"}, false},
        {"ATmega48", Slots({0x60, 0x9F, 0xFF, 0xFE}), {"external clock selected", "debugWIRE on", "locked (LB1 programmed)"}, true},
        {"ATtiny13", Slots({0x68, 0xFF, 0xFF}), {"external clock selected"}, false},
        {"AT90S2313", Slots({0xDF, 0xFB}), {"locked (LB2 programmed)"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chip);
        const QStringList found = RescueFindings(LayoutFor(c.chip), c.values);
        ASSERT_EQ(found.size(), c.starts.size()) << found.join(QLatin1Char('|')).toStdString();
        for (qsizetype i = 0; i < found.size(); ++i)
            EXPECT_TRUE(found[i].startsWith(c.starts[i])) << found[i].toStdString();
        EXPECT_EQ(LockBlocksFuseWrite(LayoutFor(c.chip), c.values), c.lockBlocks);
    }
}

struct RescueBench {
    explicit RescueBench(const char* chipName)
        : link(*sim::FindSimChip(chipName), /*virtualTime=*/true)
    {
        link.Open(QStringLiteral("virtual"));
        OperationLog selection;
        SelectChip(chips, FindChipByName(chipName)->code, selection, {});
    }
    ProgContext Ctx() { return ProgContext{link, log, 0, link.Sleeper()}; }
    RescueReport Run(const Approver& approve)
    {
        ChipJob job(chips);
        const RescueReport report = RunRescue(Ctx(), job, approve, SocketCheck{true, {}});
        job.ApplyTo(chips);
        return report;
    }
    sim::SimChip& Chip() { return link.Gateway().Chip(); }
    bool Logged(const QString& line) const { return log.Lines().contains(line); }

    sim::SimLink link;
    OperationLog log;
    ChipState chips;
};

TEST(Rescue, AnAtmega8WithExternalClockNoResetAndLockedComesBack)
{
    RescueBench b("ATmega8");
    b.Chip().Fuses() = {0xE0, 0x59, 0xFF};
    b.Chip().Lock() = 0xFC;
    std::fill(b.Chip().Flash().begin(), b.Chip().Flash().end(), 0x12);
    QStringList asked;
    const RescueReport report = b.Run([&](ApprovalKind kind, const QString& q) {
        EXPECT_EQ(kind, ApprovalKind::Routine);
        asked << q;
        return true;
    });
    EXPECT_EQ(report.outcome, RescueOutcome::Restored) << b.log.Lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(asked, QStringList{RescueEraseQuestion});
    EXPECT_TRUE(report.erased);
    ASSERT_TRUE(report.found);
    EXPECT_EQ((*report.found)[0], 0xE0);
    EXPECT_EQ((*report.found)[1], 0x59);
    EXPECT_EQ((*report.found)[2] & 0x03, 0x00);
    EXPECT_EQ(b.Chip().Fuses()[0], 0xE1);
    EXPECT_EQ(b.Chip().Fuses()[1], 0xD9);
    EXPECT_EQ(b.Chip().Lock() | 0xC0, 0xFF);
    EXPECT_EQ(b.Chip().Flash()[0], 0xFF) << "erased";
    EXPECT_TRUE(b.Logged(QStringLiteral("The chip holds: Low Fuses E0, High Fuses 59, Lock bits FC")));
    EXPECT_TRUE(b.Logged(QStringLiteral("Restored the factory values: Low Fuses E1, High Fuses D9, Lock bits FF")));
    EXPECT_EQ(b.chips.CurrentChip.FuseDefaults[1], 0xD9);
    EXPECT_FALSE(b.Chip().InParallelMode());
    const QStringList lines = b.log.Lines();
    EXPECT_EQ(lines.at(lines.size() - 2), QStringLiteral("       Finished with success."));
}

TEST(Rescue, TheEraseIsAskedForAndRefusingItChangesNothing)
{
    RescueBench b("ATmega8");
    b.Chip().Fuses() = {0xE0, 0x59, 0xFF};
    b.Chip().Lock() = 0xFC;
    std::fill(b.Chip().Flash().begin(), b.Chip().Flash().end(), 0x12);
    const RescueReport report = b.Run([](ApprovalKind, const QString&) { return false; });
    EXPECT_EQ(report.outcome, RescueOutcome::Refused);
    EXPECT_EQ(b.Chip().Flash()[0], 0x12);
    EXPECT_EQ(b.Chip().Fuses()[0], 0xE0);
    EXPECT_EQ(b.Chip().Lock(), 0xFC);
    EXPECT_FALSE(b.Chip().InParallelMode());

    // Without lock bits in the way nothing is asked and the flash stays.
    RescueBench u("ATmega8");
    u.Chip().Fuses() = {0xE0, 0x59, 0xFF};
    std::fill(u.Chip().Flash().begin(), u.Chip().Flash().end(), 0x12);
    EXPECT_EQ(u.Run({}).outcome, RescueOutcome::Restored);
    EXPECT_EQ(u.Chip().Flash()[0], 0x12);
    EXPECT_EQ(u.Chip().Fuses()[1], 0xD9);
}

TEST(Rescue, OnlyInParallelModeAndOnlyTheSelectedChip)
{
    RescueBench serial("ATtiny13");
    EXPECT_EQ(serial.Run({}).outcome, RescueOutcome::NotParallel);

    // A healthy chip: nothing written.
    RescueBench healthy("ATmega8");
    EXPECT_EQ(healthy.Run({}).outcome, RescueOutcome::Restored);
    EXPECT_TRUE(healthy.Logged(QStringLiteral("Nothing to restore: these are the factory values")));
}

// A fuse write, like an erase, first makes sure the chip in the socket is the one selected.
TEST(FuseWriteSocketCheck, AnotherChipKeepsItsFuses)
{
    sim::SimLink link(*sim::FindSimChip("ATmega8"), /*virtualTime=*/true);
    link.Open(QStringLiteral("virtual"));
    OperationLog log;
    ChipState chips;
    SelectChip(chips, FindChipByName("ATmega16")->code, log, {});
    chips.CurrentChip.FuseDefaults[0] = 0x00;
    ChipJob job(chips);
    const FuseWriteReport report = WriteLockFuses(ProgContext{link, log, 0, link.Sleeper()}, job, SocketCheck{true, {}});
    EXPECT_EQ(report.outcome, FuseOutcome::Failed);
    EXPECT_EQ(link.Gateway().Chip().Fuses()[0], 0xE1) << "the factory value, untouched";
    EXPECT_TRUE(log.Lines().contains(QStringLiteral("The chip in the socket is the ATmega8 (signature 1E 93 07), not the "
                                                    "selected ATmega16 (1E 94 03)")));
}

}  // namespace
}  // namespace velmora
