// velmora-cli against velmora-sim with the line model (--pace): every byte reaches the gateway
// at its time on a 250000-baud line and each chip keeps its busy times from the arrival of its
// instructions, ignoring what comes while it programs. A wait that starts before the bytes
// have left loses data here as on the board; a dead link must fail the command.

#include "cli/processes.h"
#include "sim/simchips.h"

#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <string>

namespace {

using velmora::testing::CliRun;
using velmora::testing::RandomImage;
using velmora::testing::ReadFile;
using velmora::testing::RunCli;
using velmora::testing::SimProcess;
using velmora::testing::WriteFile;

// A loaded machine passes bytes on to the server late, which makes the PC's waits look shorter
// than they were: a little slack, far below the busy times the waits are there for (a page
// queued behind the wait is several milliseconds of line).
class PacedSim : public SimProcess {
public:
    explicit PacedSim(QStringList args)
        : SimProcess(args << QStringLiteral("--pace") << QStringLiteral("--timing-slack") << QStringLiteral("4000"))
    {
    }
};

// Every serially programmed family, and one chip of each parallel write loop (word pages,
// words, the page latch on BS1, the older parts' byte EEPROM); the smallest chip of each, as
// the line's time is real time here.
class LineEndToEnd : public ::testing::TestWithParam<const char*> {};

TEST_P(LineEndToEnd, WrittenVerifiedAndReadBackEqualAtDelayZero)
{
    const char* chip = GetParam();
    const velmora::sim::SimChipModel* model = velmora::sim::FindSimChip(chip);
    ASSERT_NE(model, nullptr);
    QTemporaryDir dir;
    const QString flash = dir.filePath(QStringLiteral("flash.bin"));
    const QString eeprom = dir.filePath(QStringLiteral("eeprom.bin"));
    const QString flashBack = dir.filePath(QStringLiteral("flash-back.bin"));
    const QString eepromBack = dir.filePath(QStringLiteral("eeprom-back.bin"));
    const QByteArray flashImage = RandomImage(qsizetype(model->flashBytes), model->signature[2]);
    const QByteArray eepromImage = RandomImage(qsizetype(model->eepromBytes), model->signature[1]);
    ASSERT_TRUE(WriteFile(flash, flashImage) && WriteFile(eeprom, eepromImage));

    PacedSim sim({QStringLiteral("--chip"), QString::fromLatin1(chip)});
    ASSERT_FALSE(sim.Device().isEmpty());
    const CliRun run = RunCli({QStringLiteral("--port"), sim.Device(), QStringLiteral("--delay"), QStringLiteral("0"),
                               QStringLiteral("--yes"), QStringLiteral("select"), QString::fromLatin1(chip),
                               QStringLiteral("write-flash"), flash, QStringLiteral("verify-flash"), flash,
                               QStringLiteral("read-flash"), flashBack, QStringLiteral("write-eeprom"), eeprom,
                               QStringLiteral("verify-eeprom"), eeprom, QStringLiteral("read-eeprom"), eepromBack},
                              170000);
    EXPECT_EQ(run.status, 0) << run.Text();
    // Each write reads back what it wrote, then the explicit verify: four clean compares.
    EXPECT_EQ(run.lines.count(QStringLiteral("       Finished. No differences found.")), 4) << run.Text();
    EXPECT_TRUE(ReadFile(flashBack) == flashImage) << "flash read back differs";
    EXPECT_TRUE(ReadFile(eepromBack) == eepromImage) << "EEPROM read back differs";
}

INSTANTIATE_TEST_SUITE_P(EveryLoop, LineEndToEnd,
                         ::testing::Values("ATtiny12", "ATtiny13", "ATtiny15", "ATtiny22", "ATtiny25", "ATtiny26",
                                           "AT90S2323", "AT90S2343", "ATmega48", "AT90S2313", "ATtiny2313"),
                         [](const ::testing::TestParamInfo<const char*>& p) { return std::string(p.param); });

// A stop signal during a write: the command ends at its next step with its line, the
// supplies-off packet goes out and the port is closed, and the status names the signal. A
// second signal right after the first changes nothing.
TEST(LineSignals, AStopSignalDuringAWriteSwitchesTheSocketOff)
{
    struct Case {
        int signal;
        const char* name;
    };
    for (const Case c : {Case{SIGINT, "SIGINT"}, Case{SIGTERM, "SIGTERM"}, Case{SIGHUP, "SIGHUP"}}) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString flash = dir.filePath(QStringLiteral("flash.bin"));
        const QString json = dir.filePath(QStringLiteral("chip.json"));
        ASSERT_TRUE(WriteFile(flash, RandomImage(8192, 5)));
        PacedSim sim({QStringLiteral("--chip"), QStringLiteral("ATmega8"), QStringLiteral("--json"), json});
        ASSERT_FALSE(sim.Device().isEmpty());
        QProcess cli;
        cli.setProcessChannelMode(QProcess::MergedChannels);  // the log is on standard error
        cli.start(QStringLiteral(VELMORA_CLI_PATH),
                  {QStringLiteral("--port"), sim.Device(), QStringLiteral("--yes"), QStringLiteral("select"),
                   QStringLiteral("ATmega8"), QStringLiteral("write-flash"), flash});
        ASSERT_TRUE(cli.waitForStarted(5000));
        // Into the page writes, after the erase.
        QByteArray out;
        while (!out.contains("Trying to execute the sinchronization") && !out.contains("Trying to enter") &&
               cli.waitForReadyRead(10000))
            out += cli.readAll();
        QThread::msleep(300);
        ::kill(pid_t(cli.processId()), c.signal);
        QThread::msleep(2);
        ::kill(pid_t(cli.processId()), c.signal);
        ASSERT_TRUE(cli.waitForFinished(10000));
        out += cli.readAll();
        EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit) << "ended by the program, not by the signal";
        EXPECT_EQ(cli.exitCode(), 128 + c.signal);
        EXPECT_TRUE(out.contains(QByteArray("Stopped by ") + c.name)) << out.toStdString();
        EXPECT_TRUE(out.contains("       Finished with fail.\nWarning: the chip is only partly written")) << out.toStdString();
        ASSERT_TRUE(sim.Stop());
        EXPECT_TRUE(ReadFile(json).contains("\"supplies\": \"off\"")) << "the socket is switched off";
    }
}

}  // namespace
