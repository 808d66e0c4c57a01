// What keeps a chip safe, through the real serial link: velmora-cli against velmora-sim over a
// pseudo-terminal, the chip's memories read from the simulator's dump when it ends.

#include "cli/processes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using velmora::testing::CliRun;
using velmora::testing::RandomImage;
using velmora::testing::ReadFile;
using velmora::testing::RunCli;
using velmora::testing::SimProcess;
using velmora::testing::WriteFile;

// A simulated ATmega8 on a pty, dumped to chip.json in dir when stopped.
struct Atmega8 {
    QTemporaryDir dir;
    QString json = dir.filePath(QStringLiteral("chip.json"));
    SimProcess sim{{QStringLiteral("--chip"), QStringLiteral("ATmega8"), QStringLiteral("--json"), json}};

    CliRun Run(QStringList args)
    {
        args = QStringList{QStringLiteral("--port"), sim.Device(), QStringLiteral("--delay"), QStringLiteral("0")} + args;
        return RunCli(args, 60000);
    }
    QByteArray Dump()
    {
        return sim.Stop() ? ReadFile(json) : QByteArray();
    }
};

QByteArray HexField(const QByteArray& bytes)
{
    return bytes.toHex().toUpper();
}

TEST(CliSafetyEndToEnd, AnotherChipInTheSocketIsNeitherErasedNorWritten)
{
    Atmega8 chip;
    ASSERT_FALSE(chip.sim.Device().isEmpty());
    const QString first = chip.dir.filePath(QStringLiteral("first.bin"));
    const QString second = chip.dir.filePath(QStringLiteral("second.bin"));
    const QByteArray firstImage = RandomImage(8192, 1);
    ASSERT_TRUE(WriteFile(first, firstImage) && WriteFile(second, RandomImage(8192, 2)));
    CliRun run = chip.Run({QStringLiteral("--yes"), QStringLiteral("select"), QStringLiteral("ATmega8"),
                           QStringLiteral("write-flash"), first});
    ASSERT_EQ(run.status, 0) << run.Text();

    // An ATmega16 is chosen; the ATmega8 keeps its program, erase and all.
    run = chip.Run({QStringLiteral("--yes"), QStringLiteral("select"), QStringLiteral("ATmega16"),
                    QStringLiteral("write-flash"), second});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.Said().contains(QStringLiteral(
        "The chip in the socket is the ATmega8 (signature 1E 93 07), not the selected ATmega16 (1E 94 03)")))
        << run.Text();
    EXPECT_FALSE(run.Said().contains(QStringLiteral("Trying to erase"))) << run.Text();
    EXPECT_TRUE(chip.Dump().contains("\"flash\": \"" + HexField(firstImage) + "\""));
}

TEST(CliSafetyEndToEnd, AWriteIntoALockedChipFailsItsVerify)
{
    Atmega8 chip;
    ASSERT_FALSE(chip.sim.Device().isEmpty());
    const QString before = chip.dir.filePath(QStringLiteral("before.bin"));
    const QString after = chip.dir.filePath(QStringLiteral("after.bin"));
    const QByteArray kept = RandomImage(512, 3);
    ASSERT_TRUE(WriteFile(before, kept) && WriteFile(after, RandomImage(512, 4)));
    CliRun run = chip.Run({QStringLiteral("--yes"), QStringLiteral("--allow-lockout"), QStringLiteral("select"),
                           QStringLiteral("ATmega8"), QStringLiteral("write-eeprom"), before,
                           QStringLiteral("write-fuses"), QStringLiteral("lock=FC")});
    ASSERT_EQ(run.status, 0) << run.Text();

    // Write Data erases nothing, so the lock stays and every step of the write succeeds:
    // only reading back tells that the chip kept its bytes.
    run = chip.Run({QStringLiteral("--yes"), QStringLiteral("select"), QStringLiteral("ATmega8"),
                    QStringLiteral("write-eeprom"), after});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.Said().contains(QStringLiteral("       Finished with fail. Address: 0x"))) << run.Text();
    const QByteArray dump = chip.Dump();
    EXPECT_TRUE(dump.contains("\"eeprom\": \"" + HexField(kept) + "\""));
    EXPECT_TRUE(dump.contains("\"lock\": \"FC\"")) << dump.toStdString();
}

TEST(CliSafetyEndToEnd, RescueBringsAShutOffAtmega8Back)
{
    Atmega8 chip;
    ASSERT_FALSE(chip.sim.Device().isEmpty());
    // External clock, reset pin gone, serial programming off, locked: no ISP programmer reaches it.
    CliRun run = chip.Run({QStringLiteral("--yes"), QStringLiteral("--allow-lockout"), QStringLiteral("select"),
                           QStringLiteral("ATmega8"), QStringLiteral("write-fuses"), QStringLiteral("low=E0"),
                           QStringLiteral("high=59"), QStringLiteral("lock=FC")});
    ASSERT_EQ(run.status, 0) << run.Text();

    // The erase it needs is asked for: refused without --yes, and nothing changes.
    run = chip.Run({QStringLiteral("select"), QStringLiteral("ATmega8"), QStringLiteral("rescue")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.Said().contains(QStringLiteral("The chip holds: Low Fuses E0, High Fuses 59, Lock bits FC")))
        << run.Text();

    run = chip.Run({QStringLiteral("--yes"), QStringLiteral("select"), QStringLiteral("ATmega8"), QStringLiteral("rescue")});
    EXPECT_EQ(run.status, 0) << run.Text();
    const QByteArray dump = chip.Dump();
    EXPECT_TRUE(dump.contains("\"fuses\": [\"E1\", \"D9\"")) << dump.toStdString();
    EXPECT_TRUE(dump.contains("\"lock\": \"FF\"")) << dump.toStdString();
}

}  // namespace
