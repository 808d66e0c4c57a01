// The session behind both front ends, on the in-process virtual gateway: a job works on the row
// of the chip selected, jobs run through the front end's executor, Connect and Disconnect keep
// their lines, and the fuse state a read and a write leave.
#include "session/session.h"

#include "chips/catalogue.h"
#include "log/operationlog.h"
#include "ops/memorycommands.h"
#include "sim/simlink.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

class SessionTest : public ::testing::Test {
protected:
    // A simulated gateway with chip in its socket, on virtual time.
    void Plug(const char* chipName)
    {
        gateway = std::make_shared<sim::SimGateway>(*sim::FindSimChip(chipName), /*virtualTime=*/true);
        session.SetLinkFactory([this](const QString& portText) {
            auto link = std::make_unique<sim::SimLink>(gateway);
            MillisecondSleeper sleeper = link->Sleeper();
            return PortLink{std::move(link), QStringLiteral("virtual:") + portText, std::move(sleeper)};
        });
    }

    ChipState chips;
    OperationLog log;
    Session session{chips, log};
    std::shared_ptr<sim::SimGateway> gateway;
};

TEST_F(SessionTest, AnAutosearchThatFindsNothingLeavesTheSelectedRowToTheNextCommand)
{
    // 1887VE4U shares its signature with the ATmega8535, whose EEPROM is half as large.
    Plug("1887VE4U");
    std::vector<std::uint8_t>& eeprom = gateway->Chip().Eeprom();
    ASSERT_EQ(eeprom.size(), 1024u);
    for (std::size_t i = 0; i < eeprom.size(); ++i)
        eeprom[i] = std::uint8_t(i * 7 + i / 256);
    ASSERT_TRUE(session.Connect(QStringLiteral("socket")));
    ASSERT_TRUE(SelectMenuEntry(chips, *FindChipByName("1887VE4U"), log, {}));
    ASSERT_EQ(chips.NiietMode, 1);

    gateway->Faults().emptySocket = true;
    const Session::AutosearchResult found = session.Autosearch({});
    EXPECT_EQ(found.code, MakeSignatureCode(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(found.entry, nullptr);
    EXPECT_EQ(log.Lines().last(), QStringLiteral("Selected chip is  unknown"));
    // The entry cleared NiietMode; the chip fields keep the part selected.
    EXPECT_EQ(chips.NiietMode, 0);
    EXPECT_EQ(chips.CurrentChip.entry, FindChipByName("1887VE4U"));

    gateway->Faults().emptySocket = false;
    ASSERT_TRUE(session.RunChipJob([](const ProgContext& ctx, ChipJob& job, const ProgressFn& progress) {
        return RunMemoryCommand(MemoryCommand::ReadData, ctx, job, progress);
    }));
    // The whole 1024 bytes, not the ATmega8535's 512.
    EXPECT_TRUE(std::equal(eeprom.begin(), eeprom.end(), chips.CurrentChip.EepromImage.begin()));
}

TEST_F(SessionTest, JobsRunThroughTheExecutorAndNotWhenItRefuses)
{
    Plug("ATmega8");
    int runs = 0;
    bool refuse = false;
    std::vector<int> progress;
    session.SetExecutor([&](const Session::WorkerJob& job) {
        ++runs;
        if (refuse)
            return false;
        job([&](int percent) { progress.push_back(percent); });
        return true;
    });
    ASSERT_TRUE(session.Connect(QStringLiteral("ATmega8")));
    EXPECT_EQ(log.Lines().last(), QStringLiteral("The COM-port is open: virtual:ATmega8"));
    SelectMenuEntry(chips, *FindChipByName("ATmega8"), log, {});
    gateway->Chip().Flash()[0] = 0x42;
    EXPECT_TRUE(session.RunChipJob([](const ProgContext& ctx, ChipJob& job, const ProgressFn& p) {
        return RunMemoryCommand(MemoryCommand::ReadProgram, ctx, job, p);
    }));
    EXPECT_EQ(chips.CurrentChip.FlashImage[0], 0x42);
    EXPECT_FALSE(progress.empty());

    // A front end that cannot run it now: nothing runs and nothing comes back.
    refuse = true;
    bool ran = false;
    EXPECT_FALSE(session.RunChipJob([&](const ProgContext&, ChipJob& job, const ProgressFn&) {
        ran = true;
        job.Chip().FlashImage[0] = 0;
        return true;
    }));
    EXPECT_FALSE(ran);
    EXPECT_EQ(chips.CurrentChip.FlashImage[0], 0x42);
    EXPECT_EQ(runs, 3);
}

TEST_F(SessionTest, DisconnectWritesItsLineWithOrWithoutALink)
{
    session.Disconnect();
    EXPECT_EQ(log.Lines(), QStringList{QStringLiteral("The COM-port is closed")});

    Plug("ATmega8");
    ASSERT_TRUE(session.Connect(QStringLiteral("x")));
    EXPECT_TRUE(session.IsConnected());
    session.Disconnect();
    EXPECT_FALSE(session.IsConnected());
    EXPECT_TRUE(session.HasLink());
    EXPECT_EQ(log.Lines().last(), QStringLiteral("The COM-port is closed"));
}

TEST_F(SessionTest, AFailedConnectSaysWhyAndNamesTheDevice)
{
    session.SetLinkFactory(VirtualOrSerialLinkFactory(VirtualClock::Virtual));
    QString device, reason;
    EXPECT_FALSE(session.Connect(QStringLiteral("virtual:ATmega9"), &device, &reason));
    EXPECT_EQ(device, QStringLiteral("virtual:ATmega9"));
    EXPECT_TRUE(reason.contains(QStringLiteral("ATmega9")));
    EXPECT_FALSE(session.IsConnected());
}

TEST_F(SessionTest, FuseReadAndWriteLeaveWhatTheChipHolds)
{
    Plug("ATmega8");
    ASSERT_TRUE(session.Connect(QStringLiteral("ATmega8")));
    SelectMenuEntry(chips, *FindChipByName("ATmega8"), log, {});
    EXPECT_FALSE(chips.CurrentChip.FusesReadFromChip);
    EXPECT_EQ(session.ReadFuses(), FuseOutcome::Done);
    ASSERT_TRUE(chips.CurrentChip.FusesReadFromChip);
    EXPECT_EQ(*chips.CurrentChip.FusesReadFromChip, chips.CurrentChip.FuseDefaults);

    chips.CurrentChip.FuseDefaults[0] = 0xE4;
    const FuseWriteReport report = session.WriteFuses();
    EXPECT_EQ(report.outcome, FuseOutcome::Done);
    EXPECT_EQ(chips.CurrentChip.FuseDefaults[0], 0xE4);
    EXPECT_EQ(*chips.CurrentChip.FusesReadFromChip, chips.CurrentChip.FuseDefaults);
}

}  // namespace
}  // namespace velmora
