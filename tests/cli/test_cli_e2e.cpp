// velmora-cli against velmora-sim over a pseudo-terminal: both as separate processes, the
// real serial link in between.

#include "cli/processes.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

using velmora::testing::CliRun;
using velmora::testing::RunCli;
using velmora::testing::RunCliForOutput;
using velmora::testing::SimProcess;

TEST(CliEndToEnd, SignatureOfThreeChips)
{
    struct Case {
        const char* chip;
        const char* line;
    };
    const Case cases[] = {
        {"ATmega8", "Signature: 1E 93 07, SignatureCode 0x07931E (496414), ATmega8"},
        {"ATmega2560", "Signature: 1E 98 01, SignatureCode 0x01981E (104478), ATmega2560"},
        {"AT90S2313", "Signature: 1E 91 01, SignatureCode 0x01911E (102686), AT90S2313"},
    };
    for (const Case& c : cases) {
        SimProcess sim({QStringLiteral("--chip"), QString::fromLatin1(c.chip)});
        ASSERT_FALSE(sim.Device().isEmpty()) << c.chip;
        const CliRun run = RunCli({QStringLiteral("--port"), sim.Device(), QStringLiteral("signature")});
        EXPECT_EQ(run.status, 0) << c.chip;
        ASSERT_GE(run.lines.size(), 9) << run.lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(run.lines.first(), QStringLiteral("The COM-port is open: ") + sim.Device());
        EXPECT_TRUE(run.lines.contains(QString::fromLatin1(c.line))) << run.lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(run.lines.last(), QStringLiteral("The COM-port is closed"));
    }
}

TEST(CliEndToEnd, FaultsGiveTheirLineAndStatus)
{
    struct Case {
        QStringList simArgs;
        const char* command;
        const char* lastLine;
    };
    const Case cases[] = {
        {{QStringLiteral("--no-handshake")}, "connect", "Error reading the answer (PINB)"},
        // handshake 5 + entry 16 + command load 10 + first signature byte 17 bytes
        {{QStringLiteral("--silent-after"), QStringLiteral("48")}, "signature", "       Finished with fail."},
        {{QStringLiteral("--unplug-after"), QStringLiteral("40")}, "signature", "       Finished with fail."},
    };
    for (const Case& c : cases) {
        SimProcess sim(c.simArgs);
        ASSERT_FALSE(sim.Device().isEmpty());
        const CliRun run = RunCli({QStringLiteral("--port"), sim.Device(), QString::fromLatin1(c.command)});
        EXPECT_EQ(run.status, 1) << c.simArgs.join(QLatin1Char(' ')).toStdString();
        ASSERT_FALSE(run.lines.isEmpty());
        // The log's last line; a port that failed to open adds the reason after it.
        const QStringList log = run.lines.filter(QRegularExpression(QStringLiteral("^(?!velmora-cli: )")));
        ASSERT_FALSE(log.isEmpty());
        EXPECT_EQ(log.last(), QString::fromLatin1(c.lastLine)) << run.lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_FALSE(run.lines.contains(QStringLiteral("The COM-port is closed"))) << "a dropped link is not disconnected again";
    }
}

TEST(CliEndToEnd, SilentGatewayNamesTheMissingAnswer)
{
    SimProcess sim({QStringLiteral("--silent-after"), QStringLiteral("48")});
    const CliRun run = RunCli({QStringLiteral("--port"), sim.Device(), QStringLiteral("signature")});
    EXPECT_TRUE(run.lines.contains(QStringLiteral("Error reading the answer (PINB)")));
    EXPECT_TRUE(run.lines.contains(QStringLiteral("Error executing commands:  0x11 0x0 0x0F 0x32")))
        << "the exit after the drop fails at once";
}

TEST(CliEndToEnd, JsonDumpOnExit)
{
    QTemporaryDir dir;
    const QString json = dir.filePath(QStringLiteral("chip.json"));
    SimProcess sim({QStringLiteral("--chip"), QStringLiteral("ATtiny2313"), QStringLiteral("--json"), json});
    ASSERT_TRUE(sim.Stop());
    QFile file(json);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("\"chip\": \"ATtiny2313\""));
    EXPECT_TRUE(text.contains("\"fuses\": [\"64\", \"DF\", \"FF\"]"));
    EXPECT_TRUE(text.contains(QByteArray("\"flash\": \"") + QByteArray(4096, 'F') + "\""));
}

#ifdef VELMORA_FIRMWARE
// One chip of each kind of programming loop: paged parallel (PC and gateway power-up, PAGEL on
// BS1), word by word parallel, paged serial (4 and 8 KiB), byte by byte serial. A program made
// by avr-gcc goes in as Intel HEX, is verified, and comes back as the whole flash, which must
// equal avr-objcopy's binary of it padded with 0xFF; its EEPROM data likewise.
struct ChipProgram {
    const char* chip;
    const char* mcu;
};

void PrintTo(const ChipProgram& c, std::ostream* os)
{
    *os << c.chip;
}

class CliMemoryEndToEnd : public ::testing::TestWithParam<ChipProgram> {};

TEST_P(CliMemoryEndToEnd, WriteVerifyReadBackThroughThePort)
{
    const ChipProgram& c = GetParam();
    const QString firmware = QStringLiteral(VELMORA_FIRMWARE "/") + QString::fromLatin1(c.mcu);
    QTemporaryDir dir;
    const QString back = dir.filePath(QStringLiteral("back.bin"));
    SimProcess sim({QStringLiteral("--chip"), QString::fromLatin1(c.chip)});
    ASSERT_FALSE(sim.Device().isEmpty());
    const CliRun run = RunCli({QStringLiteral("--port"), sim.Device(), QStringLiteral("--delay"), QStringLiteral("0"),
                               QStringLiteral("--yes"), QStringLiteral("select"), QString::fromLatin1(c.chip),
                               QStringLiteral("write-flash"), firmware + QStringLiteral(".hex"), QStringLiteral("verify-flash"),
                               firmware + QStringLiteral(".hex"), QStringLiteral("read-flash"), back,
                               QStringLiteral("write-eeprom"), firmware + QStringLiteral(".eep"), QStringLiteral("verify-eeprom"),
                               firmware + QStringLiteral(".eep")},
                              90000);
    EXPECT_EQ(run.status, 0) << run.lines.join(QLatin1Char('\n')).toStdString();
    // Each write reads back what it wrote, then the explicit verify: four clean compares.
    EXPECT_EQ(run.lines.count(QStringLiteral("       Finished. No differences found.")), 4);
    EXPECT_EQ(run.lines.last(), QStringLiteral("The COM-port is closed"));
    EXPECT_EQ(QProcess::execute(QStringLiteral("cmp"), {back, firmware + QStringLiteral(".bin")}), 0);
}

INSTANTIATE_TEST_SUITE_P(OneChipPerLoop, CliMemoryEndToEnd,
                         ::testing::Values(ChipProgram{"ATmega8", "atmega8"}, ChipProgram{"ATmega168", "atmega168"},
                                           ChipProgram{"ATtiny2313", "attiny2313"}, ChipProgram{"AT90S2313", "at90s2313"},
                                           ChipProgram{"ATtiny13", "attiny13"}, ChipProgram{"ATtiny85", "attiny85"},
                                           ChipProgram{"AT90S2323", "at90s2323"}),
                         [](const ::testing::TestParamInfo<ChipProgram>& p) { return std::string(p.param.chip); });
#endif

#ifdef VELMORA_FIXTURES
// What avr-gcc and srec_cat make goes into the chip through velmora-sim and comes back the
// same: an ELF file with EEMEM data and FUSES, and srec_cat's S-record of it; read-flash -
// gives Intel HEX on standard output that avr-objcopy takes.
QByteArray Fixture(const char* name)
{
    QFile file(QStringLiteral(VELMORA_FIXTURES "/") + QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The memory holds reference from address 0 and blank bytes after it.
bool HoldsFromZero(const QByteArray& memory, const QByteArray& reference)
{
    return memory.startsWith(reference) && memory.mid(reference.size()) == QByteArray(memory.size() - reference.size(), '\xFF');
}

TEST(CliFilesEndToEnd, ElfAndSrecordWrittenThroughTheSimulatorReadBackEqual)
{
    const QString fixtures = QStringLiteral(VELMORA_FIXTURES "/");
    const QByteArray flash = Fixture("fused.bin");
    const QByteArray eeprom = Fixture("fused.eep.bin");
    ASSERT_FALSE(flash.isEmpty());
    for (const char* file : {"fused.elf", "fused.srec"}) {
        SCOPED_TRACE(file);
        QTemporaryDir dir;
        SimProcess sim({QStringLiteral("--chip"), QStringLiteral("ATmega168")});
        ASSERT_FALSE(sim.Device().isEmpty());
        const QString image = fixtures + QString::fromLatin1(file);
        const QString flashBack = dir.filePath(QStringLiteral("flash.bin"));
        const QString eepromBack = dir.filePath(QStringLiteral("eeprom.bin"));
        const CliRun run = RunCli({QStringLiteral("-P"), sim.Device(), QStringLiteral("--delay=0"), QStringLiteral("-y"),
                                   QStringLiteral("select"), QStringLiteral("ATmega168"), QStringLiteral("write-flash"), image,
                                   QStringLiteral("verify-flash"), image, QStringLiteral("write-eeprom"), image,
                                   QStringLiteral("verify-eeprom"), image, QStringLiteral("read-flash"), flashBack,
                                   QStringLiteral("read-eeprom"), eepromBack},
                                  90000);
        EXPECT_EQ(run.status, 0) << run.lines.join(QLatin1Char('\n')).toStdString();
        // Each write reads back what it wrote, then the explicit verify: four clean compares.
        EXPECT_EQ(run.lines.count(QStringLiteral("       Finished. No differences found.")), 4);
        QFile f(flashBack), e(eepromBack);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly) && e.open(QIODevice::ReadOnly));
        EXPECT_TRUE(HoldsFromZero(f.readAll(), flash));
        EXPECT_TRUE(HoldsFromZero(e.readAll(), eeprom));

        // The same program read to standard output, for avr-objcopy.
        int status = -1;
        const QByteArray hex = RunCliForOutput({QStringLiteral("--port=") + sim.Device(), QStringLiteral("select"),
                                                QStringLiteral("ATmega168"), QStringLiteral("read-flash"), QStringLiteral("-")},
                                               &status);
        EXPECT_EQ(status, 0);
        const QString hexFile = dir.filePath(QStringLiteral("out.hex"));
        const QString binFile = dir.filePath(QStringLiteral("out.bin"));
        QFile h(hexFile);
        ASSERT_TRUE(h.open(QIODevice::WriteOnly));
        h.write(hex);
        h.close();
        EXPECT_EQ(QProcess::execute(QStringLiteral(VELMORA_AVR_OBJCOPY), {QStringLiteral("-I"), QStringLiteral("ihex"),
                                                                         QStringLiteral("-O"), QStringLiteral("binary"), hexFile, binFile}),
                  0);
        QFile b(binFile);
        ASSERT_TRUE(b.open(QIODevice::ReadOnly));
        EXPECT_TRUE(HoldsFromZero(b.readAll(), flash));

        // The file from standard input, by its content.
        QFile in(image);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        RunCliForOutput({QStringLiteral("--port=") + sim.Device(), QStringLiteral("select"), QStringLiteral("ATmega168"),
                         QStringLiteral("verify-flash"), QStringLiteral("-")},
                        &status, 60000, in.readAll());
        EXPECT_EQ(status, 0);

        // Its lock and fuse bytes, approved, written and read back as values for a script.
        const CliRun fuses = RunCli({QStringLiteral("-P"), sim.Device(), QStringLiteral("-y"), QStringLiteral("--allow-lockout"),
                                     QStringLiteral("select"), QStringLiteral("ATmega168"), QStringLiteral("write-fuses"), image},
                                    30000);
        EXPECT_EQ(fuses.status, 0) << fuses.lines.join(QLatin1Char('\n')).toStdString();
        const QByteArray values = RunCliForOutput({QStringLiteral("-P"), sim.Device(), QStringLiteral("select"),
                                                   QStringLiteral("ATmega168"), QStringLiteral("read-fuses")},
                                                  &status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(values, QByteArray("chip=ATmega168\nlow=E2\nhigh=DF\next=F9\nlock=FC\n"));
    }
}
#endif

}  // namespace
