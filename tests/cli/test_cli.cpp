#include "chips/hexfile.h"
#include "cli/cli.h"
#include "cli/commandtable.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>
#include <string>

namespace velmora::cli {
namespace {

struct CliRun {
    int status;
    QStringList out;
    QString err;
};

// Runs with a terminal that answers the questions with answer, or with none when answer is null.
// With apart unset, standard output and error are one stream, in the order written (as a user
// sees them on a terminal): out gets all lines and err all text.
CliRun RunWith(const QStringList& args, const char* answer = nullptr, bool apart = false)
{
    std::FILE* out = std::tmpfile();
    std::FILE* err = apart ? std::tmpfile() : out;
    std::FILE* in = std::tmpfile();
    Terminal terminal;
    terminal.err = err;
    terminal.in = in;
    terminal.interactive = answer != nullptr;
    if (answer) {
        std::fputs(answer, in);
        std::rewind(in);
    }
    CliRun run{RunCli(args, out, terminal), {}, {}};
    std::fclose(in);
    auto slurp = [](std::FILE* f) {
        std::rewind(f);
        std::string text;
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            text.append(buffer, n);
        std::fclose(f);
        return QString::fromStdString(text);
    };
    if (apart) {
        run.out = slurp(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        run.err = slurp(err);
    } else {
        run.err = slurp(out);
        run.out = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    return run;
}

TEST(Cli, BadArgumentsGiveTheUsage)
{
    const QStringList cases[] = {
        {},
        {QStringLiteral("signature")},
        {QStringLiteral("--virtual"), QStringLiteral("ATmega8")},
        {QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("--port"), QStringLiteral("COM1"), QStringLiteral("connect")},
        {QStringLiteral("--virtual"), QStringLiteral("ATmega9"), QStringLiteral("connect")},
        {QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("--delay"), QStringLiteral("6"), QStringLiteral("connect")},
        {QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("--delay")},
        {QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("erase")},
        {QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("select"), QStringLiteral("ATmega8"), QStringLiteral("read-flash")},
        {QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("read-flash"), QStringLiteral("x.hex"), QStringLiteral("select"), QStringLiteral("auto")},
        {QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("--format"), QStringLiteral("intel"), QStringLiteral("connect")},
        {QStringLiteral("--virtual=ATmega8"), QStringLiteral("--yes=1"), QStringLiteral("connect")},
        {QStringLiteral("--loud"), QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("connect")},
        // Standard input is read once and standard output holds one file: "-" is for one chain
        // on one chip.
        {QStringLiteral("-P"), QStringLiteral("virtual:ATmega8"), QStringLiteral("-P"), QStringLiteral("virtual:ATmega16"),
         QStringLiteral("select"), QStringLiteral("auto"), QStringLiteral("read-flash"), QStringLiteral("-")},
        {QStringLiteral("-P"), QStringLiteral("virtual:ATmega8"), QStringLiteral("-P"), QStringLiteral("virtual:ATmega16"),
         QStringLiteral("select"), QStringLiteral("auto"), QStringLiteral("verify-flash"), QStringLiteral("-")},
        {QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("--repeat"), QStringLiteral("select"),
         QStringLiteral("auto"), QStringLiteral("read-eeprom"), QStringLiteral("-")},
        {QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("select"), QStringLiteral("ATmega8"),
         QStringLiteral("verify-flash"), QStringLiteral("-"), QStringLiteral("verify-eeprom"), QStringLiteral("-")},
        {QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("select"), QStringLiteral("ATmega8"),
         QStringLiteral("read-flash"), QStringLiteral("-"), QStringLiteral("read-eeprom"), QStringLiteral("-")},
        {QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("select"), QStringLiteral("ATmega8"),
         QStringLiteral("write-fuses")},
    };
    for (const QStringList& args : cases) {
        const CliRun run = RunWith(args, nullptr, true);
        EXPECT_EQ(run.status, ExitUsage) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains(QStringLiteral("usage: velmora-cli")));
    }
}

TEST(Cli, HelpPrintsTheUsageAndSucceeds)
{
    for (const char* option : {"--help", "-h"}) {
        const CliRun run = RunWith({QString::fromLatin1(option)}, nullptr, true);
        EXPECT_EQ(run.status, ExitOk) << option;
        ASSERT_FALSE(run.out.isEmpty());
        EXPECT_TRUE(run.out.first().startsWith(QStringLiteral("usage: velmora-cli")));
        EXPECT_TRUE(run.err.isEmpty());
    }
}

TEST(Cli, HelpNamesEveryCommandAndOptionOfTheTables)
{
    const QString help = UsageText();
    for (const CommandSpec& def : CommandTable()) {
        const QString row = QStringLiteral("\n  ") + QString::fromLatin1(def.name.data(), qsizetype(def.name.size()));
        EXPECT_TRUE(help.contains(row)) << def.name;
        EXPECT_TRUE(help.contains(QString::fromUtf8(def.help.data(), qsizetype(def.help.find('\n'))))) << def.name;
    }
    for (const OptionSpec& def : OptionTable())
        EXPECT_TRUE(help.contains(QString::fromLatin1(def.name.data(), qsizetype(def.name.size())))) << def.name;
}

TEST(Cli, APortTextNamesTheVirtualGatewayAsInThePortBox)
{
    // --port virtual:CHIP is --virtual CHIP; the window's port item works too.
    const QStringList ports[] = {{QStringLiteral("--port"), QStringLiteral("virtual:ATmega8")},
                                 {QStringLiteral("--virtual"), QStringLiteral("ATmega8")},
                                 {QStringLiteral("--port"), QStringLiteral("Virtual gateway")}};
    for (const QStringList& port : ports) {
        const CliRun run = RunWith(port + QStringList{QStringLiteral("signature")});
        EXPECT_EQ(run.status, ExitOk) << port.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(run.out.value(0), QStringLiteral("The COM-port is open: virtual:ATmega8"));
        EXPECT_TRUE(run.out.contains(QStringLiteral("Signature: 1E 93 07, SignatureCode 0x07931E (496414), ATmega8")));
    }
    // A chip the simulator does not have is bad usage, whichever way it is named.
    for (const QStringList& port : {QStringList{QStringLiteral("--port"), QStringLiteral("virtual:ATmega9")},
                                    QStringList{QStringLiteral("--virtual"), QStringLiteral("ATmega9")}}) {
        const CliRun run = RunWith(port + QStringList{QStringLiteral("connect")});
        EXPECT_EQ(run.status, ExitUsage);
        EXPECT_TRUE(run.err.contains(QStringLiteral("no simulated chip named ATmega9")));
    }
}

TEST(Cli, SignatureOnTheVirtualGateway)
{
    const CliRun run = RunWith({QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("--delay"),
                             QStringLiteral("3"), QStringLiteral("signature")});
    EXPECT_EQ(run.status, ExitOk);
    EXPECT_EQ(run.out, (QStringList{
                           QStringLiteral("The COM-port is open: virtual:ATmega8"),
                           QStringLiteral("Trying to enter Programming Mode"),
                           QStringLiteral("       Finished with success."),
                           QStringLiteral("Trying to read signature bytes"),
                           QStringLiteral("       Finished"),
                           QStringLiteral("Trying to exit Programming Mode"),
                           QStringLiteral("       Finished with success."),
                           QStringLiteral("Signature: 1E 93 07, SignatureCode 0x07931E (496414), ATmega8"),
                           QStringLiteral("signature=1E9307"),
                           QStringLiteral("The COM-port is closed"),
                       }));
}

TEST(Cli, ConnectAndUnknownChips)
{
    CliRun run = RunWith({QStringLiteral("--virtual"), QStringLiteral("1887VE7T"), QStringLiteral("connect")});
    EXPECT_EQ(run.status, ExitOk);
    EXPECT_EQ(run.out, (QStringList{QString::fromUtf8("The COM-port is open: virtual:1887ВЕ7Т"),
                                    QStringLiteral("The COM-port is closed")}));

    // The generic entry finds a NIIET part as its AVR twin; a serial part answers over SPI.
    run = RunWith({QStringLiteral("--virtual"), QStringLiteral("1887VE7T"), QStringLiteral("signature")});
    EXPECT_TRUE(run.out.contains(QStringLiteral("Signature: 1E 97 02, SignatureCode 0x02971E (169758), ATmega128")));
    run = RunWith({QStringLiteral("--virtual"), QStringLiteral("ATtiny13"), QStringLiteral("signature")});
    EXPECT_EQ(run.status, ExitOk);
    EXPECT_TRUE(run.out.contains(QStringLiteral("Signature: 1E 90 07, SignatureCode 0x07901E (495646), ATtiny13")));
}

TEST(Cli, SelectByNameOrAuto)
{
    // By name, as the menu does: no gateway, NiietMode from the entry, the factory values.
    CliRun run = RunWith({QStringLiteral("select"), QStringLiteral("ATmega8")});
    EXPECT_EQ(run.status, ExitOk);
    EXPECT_EQ(run.out, (QStringList{QStringLiteral("Selected chip is  ATmega8"),
                                    QStringLiteral("Chip: ATmega8, SignatureCode 0x07931E (496414), flash 8192 bytes, "
                                                   "EEPROM 512 bytes, calibration bytes 4, lock and fuses E1 D9 FF FF FF "
                                                   "FF FF FF, family Atmega8"),
                                    QStringLiteral("chip=ATmega8")}));
    run = RunWith({QStringLiteral("select"), QStringLiteral("1887VE4U")});
    EXPECT_EQ(run.out.value(0), QString::fromUtf8("Selected chip is  1887ВЕ4У"));
    EXPECT_TRUE(run.out.value(1).contains(QStringLiteral("EEPROM 1024 bytes")));

    // auto: Autosearch on the gateway finds a NIIET part as its AVR twin.
    run = RunWith({QStringLiteral("--virtual"), QStringLiteral("1887VE4U"), QStringLiteral("select"), QStringLiteral("auto")});
    EXPECT_EQ(run.status, ExitOk);
    EXPECT_TRUE(run.out.contains(QStringLiteral("Selected chip is  ATmega8535")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("Trying to read signature bytes")));
    EXPECT_EQ(run.out.back(), QStringLiteral("The COM-port is closed"));

    // A serial-only chip does not answer the parallel entry; it is found over SPI.
    run = RunWith({QStringLiteral("--virtual"), QStringLiteral("ATtiny13"), QStringLiteral("select"), QStringLiteral("auto")});
    EXPECT_EQ(run.status, ExitOk);
    EXPECT_TRUE(run.out.contains(QStringLiteral("Trying to execute Programming Enable")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("Selected chip is  ATtiny13")));

    for (const QStringList& args : {QStringList{QStringLiteral("select")}, QStringList{QStringLiteral("select"), QStringLiteral("ATmega9")},
                                    QStringList{QStringLiteral("select"), QStringLiteral("auto")},
                                    QStringList{QStringLiteral("select"), QStringLiteral("ATmega8"), QStringLiteral("ATmega16")}}) {
        run = RunWith(args, nullptr, true);
        EXPECT_EQ(run.status, ExitUsage) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
}

QByteArray Pattern(int size, int seed)
{
    QByteArray bytes(size, 0);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 31 + seed);
    return bytes;
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(Cli, ChainedMemoryCommandsRoundTrip)
{
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("fw.bin"));
    const QString out = dir.filePath(QStringLiteral("back.BIN"));
    const QString eep = dir.filePath(QStringLiteral("data.eep"));
    const QString eepBack = dir.filePath(QStringLiteral("data-back.hex"));
    const QByteArray flash = Pattern(8192, 1);
    ASSERT_TRUE(WriteFile(in, flash));
    // One EEPROM record at 0x10 in Intel HEX.
    ASSERT_TRUE(WriteFile(eep, ":0400100001020304E2\r\n:00000001FF\r\n"));

    const CliRun run = RunWith({QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("--delay"), QStringLiteral("0"),
                                QStringLiteral("--yes"), QStringLiteral("select"), QStringLiteral("auto"),
                                QStringLiteral("write-flash"), in, QStringLiteral("verify-flash"), in,
                                QStringLiteral("read-flash"), out,
                                QStringLiteral("write-eeprom"), eep, QStringLiteral("read-eeprom"), eepBack,
                                QStringLiteral("calibration")});
    EXPECT_EQ(run.status, ExitOk) << run.out.join(QLatin1Char('\n')).toStdString() << run.err.toStdString();
    EXPECT_EQ(ReadFile(out), flash);
    EXPECT_TRUE(run.out.contains(QStringLiteral("Trying to write the program")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("       Finished. No differences found.")));
    EXPECT_TRUE(ReadFile(eepBack).contains(":0800100001020304FFFFFFFF"))
        << "an EEPROM image holds what was written and blank bytes elsewhere";
    EXPECT_TRUE(run.out.filter(QStringLiteral("calibration 0 = 0x")).size() == 1);
    EXPECT_EQ(run.out.back(), QStringLiteral("The COM-port is closed"));
    EXPECT_FALSE(run.err.contains(QLatin1Char('\r'))) << "no terminal: no progress bar";

    // --format overrides the name for every file.
    const QString dat = dir.filePath(QStringLiteral("fw.dat"));
    ASSERT_TRUE(WriteFile(dat, flash));
    const CliRun formatted = RunWith({QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("--yes"),
                                      QStringLiteral("--format"), QStringLiteral("bin"), QStringLiteral("select"),
                                      QStringLiteral("ATmega8"), QStringLiteral("write-flash"), dat,
                                      QStringLiteral("verify-flash"), in});
    EXPECT_EQ(formatted.status, ExitOk) << formatted.out.join(QLatin1Char('\n')).toStdString();
}

TEST(Cli, QuestionsAndFailuresStopTheChain)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("fw.bin"));
    ASSERT_TRUE(WriteFile(file, Pattern(8192, 2)));
    const QStringList write{QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("select"),
                            QStringLiteral("ATmega8"), QStringLiteral("write-flash"), file, QStringLiteral("erase")};

    // Without a terminal or --yes nothing runs.
    CliRun run = RunWith(write, nullptr, true);
    EXPECT_EQ(run.status, ExitUsage);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains(QStringLiteral("--yes")));

    // Answered No on the terminal: the question, no write, status 1.
    run = RunWith(write, "n\n");
    EXPECT_EQ(run.status, ExitFailed);
    EXPECT_TRUE(run.err.contains(QStringLiteral("Warning: All previous chip data will be lost (Flash, EEPROM, Lock Bits). Are you sure? [y/N]")));
    EXPECT_FALSE(run.out.contains(QStringLiteral("Trying to write the program")));
    EXPECT_FALSE(run.out.contains(QStringLiteral("Trying to erase the chip")));

    // Yes to both.
    run = RunWith(write, "y\nyes\n");
    EXPECT_EQ(run.status, ExitOk) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("Trying to erase the chip")));

    // A difference fails the verify and stops the chain before the read.
    const QString other = dir.filePath(QStringLiteral("other.bin"));
    ASSERT_TRUE(WriteFile(other, Pattern(8192, 3)));
    run = RunWith({QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("--yes"), QStringLiteral("select"),
                   QStringLiteral("ATmega8"), QStringLiteral("write-flash"), file, QStringLiteral("verify-flash"), other,
                   QStringLiteral("read-flash"), dir.filePath(QStringLiteral("never.bin"))});
    EXPECT_EQ(run.status, ExitFailed);
    EXPECT_TRUE(run.out.contains(QStringLiteral("       Finished with fail. Address: 0x0000")));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("never.bin"))));
    EXPECT_EQ(run.out.back(), QStringLiteral("The COM-port is closed"));

    // A file that cannot be read fails before the chip is touched.
    run = RunWith({QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("select"), QStringLiteral("ATmega8"),
                   QStringLiteral("verify-flash"), dir.filePath(QStringLiteral("missing.hex"))});
    EXPECT_EQ(run.status, ExitFailed);
    EXPECT_TRUE(run.err.contains(QStringLiteral("Cannot open file")));
    EXPECT_FALSE(run.out.contains(QStringLiteral("Trying to verify the program")));
}

// The lock and fuse commands on a virtual ATmega8 (factory values E1 D9 FF).
QStringList FuseArgs(std::initializer_list<const char*> commands)
{
    QStringList args{QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("select"), QStringLiteral("ATmega8")};
    for (const char* c : commands)
        args << QString::fromLatin1(c);
    return args;
}

TEST(Cli, ReadFusesPrintsEachByteByGroup)
{
    const CliRun run = RunWith(FuseArgs({"read-fuses"}));
    EXPECT_EQ(run.status, ExitOk) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("Trying to read lock-bits")));
    const qsizetype low = run.out.indexOf(QStringLiteral("Low Fuses: E1, programmed: SUT0 CKSEL3 CKSEL2 CKSEL1"));
    ASSERT_GE(low, 0);
    EXPECT_EQ(run.out.mid(low, 6), (QStringList{"Low Fuses: E1, programmed: SUT0 CKSEL3 CKSEL2 CKSEL1",
                                                "High Fuses: D9, programmed: SPIEN BOOTSZ1 BOOTSZ0",
                                                "Lock bits: FF, programmed: none",
                                                "  BODLEVEL=2.7v  Brown-out detection level at VCC=2.7 V",
                                                "  BODEN=unprogrammed  Brown-out detection disabled",
                                                "  CKSEL_SUT=int-rc-1mhz-64ms  Int. RC Osc. 1 MHz; start-up 6 CK + 64 ms"}));
    // One line per field, the values for scripts, then the port closes.
    EXPECT_TRUE(run.out.contains(QStringLiteral("  BOOTSZ=1024  Boot flash section 1024 words, starts at word 0x0C00")));
    EXPECT_EQ(run.out.mid(run.out.size() - 5), (QStringList{"  LB=none  No memory lock features enabled", "low=E1", "high=D9",
                                                             "lock=FF", "The COM-port is closed"}));
}

TEST(Cli, WriteFusesByFieldName)
{
    // Fields over the bytes the chip holds: 8 MHz internal is no question.
    CliRun run = RunWith(FuseArgs({"write-fuses", "CKSEL_SUT=int-rc-8mhz-64ms", "BOOTSZ=512"}));
    EXPECT_EQ(run.status, ExitOk) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("Low Fuses: E4, programmed: SUT0 CKSEL3 CKSEL1 CKSEL0")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("High Fuses: DB, programmed: SPIEN BOOTSZ1")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("  BOOTSZ=512  Boot flash section 512 words, starts at word 0x0E00")));

    // Bytes and fields together: the field wins for its bits.
    run = RunWith(FuseArgs({"write-fuses", "low=E1", "cksel_sut=int-rc-2mhz-64ms"}));
    EXPECT_EQ(run.status, ExitOk) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("Low Fuses: E2, programmed: SUT0 CKSEL3 CKSEL2 CKSEL0")));

    // A crystal the board may not have: asked like a lock-out, refused without a terminal.
    run = RunWith(FuseArgs({"write-fuses", "CKSEL_SUT=crystal-3-8mhz-16kck-64ms"}));
    EXPECT_EQ(run.status, ExitFailed);
    EXPECT_TRUE(run.err.contains(QStringLiteral("--allow-lockout writes them (--yes does not); nothing was changed")))
        << run.err.toStdString();
    EXPECT_FALSE(run.out.contains(QStringLiteral("Trying to write fuse low byte")));
    run = RunWith(FuseArgs({"write-fuses", "CKSEL_SUT=crystal-3-8mhz-16kck-64ms"}), "y\n");
    EXPECT_EQ(run.status, ExitOk) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("This write selects a clock source the chip does not have by itself:")));
    EXPECT_TRUE(run.err.contains(QStringLiteral("CKSEL_SUT=crystal-3-8mhz-16kck-64ms: Ext. Crystal/Resonator 3.0-8.0 MHz")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("Low Fuses: FF, programmed: none")));

    // A value the chip does not know, or a reserved one: nothing is touched.
    for (const char* word : {"BOOTSZ=300", "CKSEL_SUT=110001", "CKDIV8=programmed"}) {
        run = RunWith(FuseArgs({"write-fuses", word}));
        EXPECT_EQ(run.status, ExitFailed) << word;
        EXPECT_TRUE(run.err.contains(QStringLiteral("nothing was changed"))) << run.err.toStdString();
        EXPECT_FALSE(run.out.contains(QStringLiteral("Trying to enter Programming Mode"))) << word;
    }
    run = RunWith(FuseArgs({"write-fuses", "BOOTSZ=300"}));
    EXPECT_TRUE(run.err.contains(QStringLiteral("the ATmega8: BOOTSZ has no value 300; its values: 1024 512 256 128")))
        << run.err.toStdString();
}

TEST(Cli, FusesListsAChipsFieldsWithoutAGateway)
{
    CliRun run = RunWith({QStringLiteral("fuses"), QStringLiteral("ATmega8")});
    EXPECT_EQ(run.status, ExitOk) << run.err.toStdString();
    EXPECT_EQ(run.out.first(), QStringLiteral("ATmega8: lock and fuse fields (write-fuses NAME=value)"));
    EXPECT_TRUE(run.out.contains(QStringLiteral("BOOTSZ: High Fuses, BOOTSZ1 BOOTSZ0")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("  1024  00  Boot flash section 1024 words, starts at word 0x0C00 [factory]")));
    EXPECT_FALSE(run.out.contains(QStringLiteral("The COM-port is closed")));

    run = RunWith({QStringLiteral("fuses"), QStringLiteral("ATmega2560")});
    EXPECT_TRUE(run.out.contains(QStringLiteral("  4096  00  Boot flash section 4096 words, starts at word 0x1F000 [factory]")));

    for (const QStringList& args : {QStringList{"fuses"}, QStringList{"fuses", "auto"}, QStringList{"fuses", "ATmega9"}})
        EXPECT_EQ(RunWith(args).status, ExitUsage) << args.join(QLatin1Char(' ')).toStdString();
}

TEST(Cli, WriteFusesAsksOnlyAboutRiskyValues)
{
    // A clock byte: no question, so no terminal is needed; the chip is read back.
    CliRun run = RunWith(FuseArgs({"write-fuses", "low=E4", "read-fuses"}));
    EXPECT_EQ(run.status, ExitOk) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("Trying to write fuse low byte")));
    EXPECT_EQ(run.out.count(QStringLiteral("Low Fuses: E4, programmed: SUT0 CKSEL3 CKSEL1 CKSEL0")), 2);

    // Lock bits: refused without a terminal, then answered No, then Yes.
    run = RunWith(FuseArgs({"write-fuses", "lock=FC"}));
    EXPECT_EQ(run.status, ExitFailed);
    EXPECT_TRUE(run.err.contains(QStringLiteral("--allow-lockout writes them (--yes does not); nothing was changed")));
    EXPECT_FALSE(run.out.contains(QStringLiteral("Trying to write lock-bits")));
    run = RunWith(FuseArgs({"write-fuses", "lock=FC"}), "n\n");
    EXPECT_EQ(run.status, ExitFailed);
    EXPECT_TRUE(run.err.contains(QStringLiteral("Warning: This write changes bits that are hard to take back:")));
    EXPECT_TRUE(run.err.contains(QStringLiteral("LB2 (Lock bits) programmed: the memories become unreadable until a chip erase.")));
    EXPECT_FALSE(run.out.contains(QStringLiteral("Trying to write lock-bits")));
    run = RunWith(FuseArgs({"write-fuses", "lock=FC"}), "y\n");
    EXPECT_EQ(run.status, ExitOk) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("Lock bits: FC, programmed: LB2 LB1")));
}

TEST(Cli, WriteFusesTheChipRefusesFails)
{
    // Programmed lock bits stay so until a chip erase: the second write reports the difference.
    QStringList args = FuseArgs({"write-fuses", "lock=FC", "write-fuses", "lock=FF", "read-flash"});
    args << QStringLiteral("never.bin");
    args.prepend(QStringLiteral("--allow-lockout"));
    const CliRun run = RunWith(args);
    EXPECT_EQ(run.status, ExitFailed);
    EXPECT_TRUE(run.out.contains(QStringLiteral("Lock and fuse check: Lock bits written FF, the chip holds FC")));
    EXPECT_FALSE(run.out.contains(QStringLiteral("Trying to read the program")));
}

TEST(Cli, YesApprovesErasingAndWritingButNotALockOut)
{
    // high=59 programs RSTDISBL: the reset pin is gone, only a high-voltage programmer reaches
    // the chip again.
    QStringList args = FuseArgs({"write-fuses", "high=59"});
    args.prepend(QStringLiteral("--yes"));
    CliRun run = RunWith(args);
    EXPECT_EQ(run.status, ExitFailed);
    EXPECT_TRUE(run.err.contains(QStringLiteral("--allow-lockout"))) << run.err.toStdString();
    EXPECT_FALSE(run.out.contains(QStringLiteral("Trying to write fuse high byte")));
    args.prepend(QStringLiteral("--allow-lockout"));
    run = RunWith(args);
    EXPECT_EQ(run.status, ExitOk) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("High Fuses: 59, programmed: RSTDISBL SPIEN BOOTSZ1 BOOTSZ0")))
        << run.out.join(QLatin1Char('\n')).toStdString();
}

TEST(Cli, AnotherChipInTheSocketIsRefusedUnlessForced)
{
    QTemporaryDir dir;
    const QString fw = dir.filePath(QStringLiteral("fw.bin"));
    ASSERT_TRUE(WriteFile(fw, Pattern(1024, 3)));
    const QStringList args{QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("--yes"),
                           QStringLiteral("select"), QStringLiteral("ATmega16"), QStringLiteral("write-flash"), fw};
    CliRun run = RunWith(args);
    EXPECT_EQ(run.status, ExitFailed);
    EXPECT_TRUE(run.out.contains(QStringLiteral("The chip in the socket is the ATmega8 (signature 1E 93 07), not the "
                                                "selected ATmega16 (1E 94 03)")))
        << run.out.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("--force goes on anyway")));
    for (const QString& line : run.out)
        EXPECT_FALSE(line.contains(QStringLiteral("erase"), Qt::CaseInsensitive)) << line.toStdString();

    run = RunWith(QStringList(args) << QStringLiteral("--force"));
    EXPECT_TRUE(run.err.contains(QStringLiteral("--force: going on"))) << run.err.toStdString();
}

TEST(Cli, WritesAreVerifiedSoALockedChipFails)
{
    // Write Data erases nothing, so the lock bits stay and the chip keeps its EEPROM while every
    // step of the write succeeds: only the verify tells.
    QTemporaryDir dir;
    const QString eep = dir.filePath(QStringLiteral("data.bin"));
    ASSERT_TRUE(WriteFile(eep, Pattern(512, 9)));
    QStringList data = FuseArgs({"write-fuses", "lock=FC", "write-eeprom"});
    data << eep;
    data.prepend(QStringLiteral("--allow-lockout"));
    data.prepend(QStringLiteral("--yes"));
    CliRun run = RunWith(data);
    EXPECT_EQ(run.status, ExitFailed);
    EXPECT_TRUE(run.out.contains(QStringLiteral("       Finished with fail. Address: 0x0000")))
        << run.out.join(QLatin1Char('\n')).toStdString();
    run = RunWith(QStringList(data) << QStringLiteral("--no-verify"));
    EXPECT_EQ(run.status, ExitOk) << "unverified, the write looks like a success";
}

TEST(Cli, RescueBringsAShutOffAtmega8Back)
{
    QStringList args = FuseArgs({"write-fuses", "low=E0", "high=59", "lock=FC", "rescue"});
    args.prepend(QStringLiteral("--allow-lockout"));
    args.prepend(QStringLiteral("--yes"));
    const CliRun run = RunWith(args);
    EXPECT_EQ(run.status, ExitOk) << run.out.join(QLatin1Char('\n')).toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("The chip holds: Low Fuses E0, High Fuses 59, Lock bits FC")));
    // The values read back last, after the rescue wrote the factory ones.
    const auto last = [&](const QString& prefix) {
        for (qsizetype i = run.out.size() - 1; i >= 0; --i)
            if (run.out.at(i).startsWith(prefix))
                return run.out.at(i);
        return QString();
    };
    EXPECT_TRUE(last(QStringLiteral("Low Fuses:")).startsWith(QStringLiteral("Low Fuses: E1")));
    EXPECT_TRUE(last(QStringLiteral("High Fuses:")).startsWith(QStringLiteral("High Fuses: D9")));
    EXPECT_TRUE(last(QStringLiteral("Lock bits:")).startsWith(QStringLiteral("Lock bits: FF")));

    // Without a terminal or --yes the erase is not approved: nothing changes.
    QStringList refused = FuseArgs({"write-fuses", "low=E0", "lock=FC", "rescue"});
    refused.prepend(QStringLiteral("--allow-lockout"));
    const CliRun no = RunWith(refused);
    EXPECT_EQ(no.status, ExitFailed);
    EXPECT_TRUE(no.out.contains(QStringLiteral("Not erased: the lock bits keep the fuses as they are")));
}

TEST(Cli, VerifyComparesTheBytesTheFileGives)
{
    // The chip holds more than the file (a bootloader, say): only the file's bytes count.
    QTemporaryDir dir;
    const QString whole = dir.filePath(QStringLiteral("whole.bin"));
    const QByteArray pattern = Pattern(8192, 7);
    ASSERT_TRUE(WriteFile(whole, pattern));
    QString record = QStringLiteral(":04000000");
    unsigned sum = 4;
    for (int i = 0; i < 4; ++i) {
        record += QStringLiteral("%1").arg(std::uint8_t(pattern[i]), 2, 16, QLatin1Char('0')).toUpper();
        sum += std::uint8_t(pattern[i]);
    }
    record += QStringLiteral("%1").arg((0x100 - (sum & 0xFF)) & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
    const QString app = dir.filePath(QStringLiteral("app.hex"));
    ASSERT_TRUE(WriteFile(app, (record + QStringLiteral("\r\n:00000001FF\r\n")).toLatin1()));
    // select again blanks the images: the image is the file's four bytes over 0xFF.
    const CliRun run = RunWith({QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("--yes"),
                                QStringLiteral("select"), QStringLiteral("ATmega8"), QStringLiteral("write-flash"), whole,
                                QStringLiteral("select"), QStringLiteral("ATmega8"), QStringLiteral("verify-flash"), app});
    EXPECT_EQ(run.status, ExitOk) << run.out.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(run.out.mid(run.out.size() - 3, 1), QStringList{QStringLiteral("       Finished. No differences found.")});
}

TEST(Cli, WriteFusesTakesOnlyBytesTheChipHas)
{
    CliRun run = RunWith(FuseArgs({"write-fuses", "ext=FF"}));
    EXPECT_EQ(run.status, ExitFailed);
    EXPECT_TRUE(run.err.contains(QStringLiteral("the ATmega8 has no ext byte; nothing was changed")));
    EXPECT_FALSE(run.out.contains(QStringLiteral("Trying to enter Programming Mode")));

    for (const QStringList& words : {QStringList{}, QStringList{"low=GG"}, QStringList{"fuse=12"}, QStringList{"low=123"},
                                     QStringList{"low=E1", "low=E2"}, QStringList{"BOOTSZ=512", "bootsz=256"}}) {
        QStringList args = FuseArgs({"write-fuses"});
        args << words;
        run = RunWith(args);
        EXPECT_EQ(run.status, ExitUsage) << words.join(QLatin1Char(' ')).toStdString();
    }
}

// A value that programs a bit the chip does not have is a typing error, refused before anything
// is sent: on the AT90S2323, lock=9F would otherwise have been a Chip Erase instruction.
TEST(Cli, WriteFusesRefusesBitsTheChipDoesNotHave)
{
    for (const char* lock : {"lock=9F", "lock=BD", "lock=00"}) {
        const CliRun run = RunWith({QStringLiteral("--yes"), QStringLiteral("--virtual"), QStringLiteral("AT90S2323"),
                                    QStringLiteral("select"), QStringLiteral("AT90S2323"), QStringLiteral("write-fuses"),
                                    QString::fromLatin1(lock)});
        EXPECT_EQ(run.status, ExitUsage) << lock;
        EXPECT_TRUE(run.err.contains(QStringLiteral("the AT90S2323 lock byte has only the bits 06 (the others stay 1)")))
            << run.err.toStdString();
        EXPECT_FALSE(run.out.contains(QStringLiteral("Trying to write lock-bits")));
    }
    const CliRun ok = RunWith({QStringLiteral("--yes"), QStringLiteral("--allow-lockout"), QStringLiteral("--virtual"),
                               QStringLiteral("AT90S2323"), QStringLiteral("select"), QStringLiteral("AT90S2323"), QStringLiteral("write-fuses"),
                               QStringLiteral("lock=F9")});
    EXPECT_EQ(ok.status, ExitOk) << ok.err.toStdString();
    EXPECT_TRUE(ok.out.contains(QStringLiteral("Trying to write lock-bits")));
}

TEST(Cli, MissingPortFails)
{
    const CliRun run = RunWith({QStringLiteral("--port"), QStringLiteral("/dev/velmora-no-such-port"), QStringLiteral("connect")});
    EXPECT_EQ(run.status, ExitFailed);
    // The log's line, then the system's own reason, as the window's status bar gives it.
    ASSERT_EQ(run.out.size(), 2);
    EXPECT_EQ(run.out[0], QStringLiteral("Error. The COM-port is not available"));
    EXPECT_TRUE(run.out[1].startsWith(QStringLiteral("velmora-cli: /dev/velmora-no-such-port: "))) << run.out[1].toStdString();
    EXPECT_GT(run.out[1].size(), 41);
}

TEST(CliHabits, TheLogOnStandardErrorResultsAndDataOnStandardOutput)
{
    CliRun run = RunWith({QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("signature")}, nullptr, true);
    EXPECT_EQ(run.status, ExitOk);
    EXPECT_EQ(run.out, QStringList{QStringLiteral("signature=1E9307")});
    EXPECT_TRUE(run.err.contains(QStringLiteral("Signature: 1E 93 07, SignatureCode 0x07931E (496414), ATmega8")));
    EXPECT_TRUE(run.err.contains(QStringLiteral("Trying to read signature bytes")));
    EXPECT_TRUE(run.err.contains(QStringLiteral("The COM-port is closed")));

    // read-flash - writes the file to standard output: Intel HEX that reads back whole.
    run = RunWith({QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("select"), QStringLiteral("ATmega8"),
                   QStringLiteral("read-flash"), QStringLiteral("-")},
                  nullptr, true);
    EXPECT_EQ(run.status, ExitOk) << run.err.toStdString();
    const QString text = run.out.join(QLatin1Char('\n'));
    EXPECT_TRUE(text.startsWith(QStringLiteral(":020000040000FA")));
    EXPECT_TRUE(text.endsWith(QStringLiteral(":00000001FF")));
    std::vector<std::uint8_t> image(8192, 0);
    EXPECT_EQ(ParseHexText(text.toStdString(), image, image.size()).stop, HexStop::EndRecord);
    EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](std::uint8_t b) { return b == 0xFF; })) << "a blank chip";
    EXPECT_TRUE(run.err.contains(QStringLiteral("Saving program to file: -")));
}

TEST(CliHabits, VersionQuietVerboseAndOptionForms)
{
    for (const char* option : {"--version", "-V"}) {
        const CliRun run = RunWith({QString::fromLatin1(option)}, nullptr, true);
        EXPECT_EQ(run.status, ExitOk);
        EXPECT_EQ(run.out, QStringList(QString::fromLatin1("velmora-cli " VELMORA_VERSION)));
    }

    // --opt=value and the short forms.
    CliRun run = RunWith({QStringLiteral("--virtual=ATmega8"), QStringLiteral("--delay=0"), QStringLiteral("-y"),
                          QStringLiteral("select"), QStringLiteral("ATmega8"), QStringLiteral("erase")},
                         nullptr, true);
    EXPECT_EQ(run.status, ExitOk) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("Trying to erase the chip")));
    run = RunWith({QStringLiteral("-P"), QStringLiteral("virtual:ATmega8"), QStringLiteral("signature")}, nullptr, true);
    EXPECT_EQ(run.status, ExitOk);

    // -q: no log lines, results still; a failure shows its line.
    run = RunWith({QStringLiteral("-q"), QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("signature")},
                  nullptr, true);
    EXPECT_EQ(run.status, ExitOk);
    EXPECT_EQ(run.out.size(), 1);
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    run = RunWith({QStringLiteral("-q"), QStringLiteral("--port"), QStringLiteral("/dev/velmora-no-such-port"), QStringLiteral("connect")},
                  nullptr, true);
    EXPECT_EQ(run.status, ExitFailed);
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("Error. The COM-port is not available\n"))) << run.err.toStdString();

    // -v: every packet and answer in hex, the handshake first.
    run = RunWith({QStringLiteral("-v"), QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("connect")},
                  nullptr, true);
    EXPECT_EQ(run.status, ExitOk);
    const QStringList lines = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_GE(lines.count(QStringLiteral("< 11")) + lines.filter(QRegularExpression(QStringLiteral("^< "))).size(), 1)
        << run.err.toStdString();
    EXPECT_FALSE(lines.filter(QRegularExpression(QStringLiteral("^> ([0-9A-F]{2} )*[0-9A-F]{2}$"))).isEmpty()) << run.err.toStdString();
}

TEST(CliHabits, ListPortsAsTheWindowDoes)
{
    const CliRun run = RunWith({QStringLiteral("--list-ports")}, nullptr, true);
    EXPECT_EQ(run.status, ExitOk);
    EXPECT_TRUE(run.out.contains(QStringLiteral("COM1\t/dev/ttyS0")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("COM10\t/dev/ttyS9")));
    EXPECT_TRUE(run.out.last().startsWith(QStringLiteral("virtual:CHIP")));
}

// The values a script takes: key=value lines alone on standard output, the human lines with
// the log on standard error; -q leaves the values alone.
TEST(CliHabits, ValuesForScriptsOnStandardOutput)
{
    struct Case {
        const char* chip;
        QStringList commands;
        QStringList values;
        const char* humanLine;
    };
    const Case cases[] = {
        {"ATmega8",
         {QStringLiteral("select"), QStringLiteral("auto"), QStringLiteral("signature"), QStringLiteral("read-fuses")},
         {QStringLiteral("chip=ATmega8"), QStringLiteral("signature=1E9307"), QStringLiteral("low=E1"), QStringLiteral("high=D9"),
          QStringLiteral("lock=FF")},
         "Low Fuses: E1, programmed: SUT0 CKSEL3 CKSEL2 CKSEL1"},
        {"ATmega168",
         {QStringLiteral("select"), QStringLiteral("ATmega168"), QStringLiteral("read-fuses")},
         {QStringLiteral("chip=ATmega168"), QStringLiteral("low=62"), QStringLiteral("high=DF"), QStringLiteral("ext=F9"),
          QStringLiteral("lock=FF")},
         "Extended Fuses: F9, programmed: BOOTSZ1 BOOTSZ0"},
        {"AT90S2313",
         {QStringLiteral("signature")},
         {QStringLiteral("signature=1E9101")},
         "Signature: 1E 91 01, SignatureCode 0x01911E (102686), AT90S2313"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chip);
        const QStringList args = QStringList{QStringLiteral("--virtual"), QString::fromLatin1(c.chip)} + c.commands;
        CliRun run = RunWith(args, nullptr, true);
        EXPECT_EQ(run.status, ExitOk) << run.err.toStdString();
        EXPECT_EQ(run.out, c.values) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromLatin1(c.humanLine))) << run.err.toStdString();
        run = RunWith(QStringList{QStringLiteral("-q")} + args, nullptr, true);
        EXPECT_EQ(run.out, c.values);
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    }
}

// The calibration bytes one per key, the same bytes the log's line gives.
TEST(CliHabits, CalibrationValuesMatchTheLogLine)
{
    const CliRun run = RunWith({QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("select"),
                                QStringLiteral("ATmega8"), QStringLiteral("calibration")},
                               nullptr, true);
    EXPECT_EQ(run.status, ExitOk);
    const QStringList values = run.out.filter(QRegularExpression(QStringLiteral("^calibration[0-9]=")));
    ASSERT_EQ(values.size(), 4) << run.out.join(QLatin1Char('\n')).toStdString();
    QString logLine;
    for (qsizetype i = 0; i < values.size(); ++i)
        logLine += QStringLiteral("calibration %1 = 0x%2").arg(i).arg(values[i].section(QLatin1Char('='), 1));
    EXPECT_TRUE(run.err.contains(logLine + QLatin1Char('\n'))) << logLine.toStdString();
    EXPECT_EQ(run.out.size(), 5);  // and chip=ATmega8
}

// With several ports every line carries its port, on the stream it belongs to.
TEST(CliHabits, SeveralPortsKeepTheStreamsApart)
{
    const CliRun run = RunWith({QStringLiteral("-P"), QStringLiteral("virtual:ATmega8"), QStringLiteral("-P"),
                                QStringLiteral("virtual:ATmega16"), QStringLiteral("signature")},
                               nullptr, true);
    EXPECT_EQ(run.status, ExitOk) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("[virtual:ATmega8] signature=1E9307")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("[virtual:ATmega16] signature=1E9403")));
    EXPECT_TRUE(run.err.contains(QStringLiteral("[virtual:ATmega8] Trying to read signature bytes\n")));
    EXPECT_TRUE(run.err.contains(QStringLiteral("[virtual:ATmega16] Signature: 1E 94 03")));
    EXPECT_FALSE(run.out.join(QLatin1Char('\n')).contains(QStringLiteral("Trying")));
}

// An Intel HEX record: ":LLAAAATT" + data + checksum.
QString HexRecord(int type, unsigned address, std::initializer_list<unsigned> data)
{
    unsigned sum = unsigned(data.size()) + (address >> 8) + (address & 0xFF) + unsigned(type);
    QString line = QStringLiteral(":%1%2%3").arg(data.size(), 2, 16, QLatin1Char('0')).arg(address, 4, 16, QLatin1Char('0')).arg(type, 2, 16, QLatin1Char('0'));
    for (unsigned b : data) {
        line += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
        sum += b;
    }
    return (line + QStringLiteral("%1").arg((0x100 - (sum & 0xFF)) & 0xFF, 2, 16, QLatin1Char('0'))).toUpper() + QLatin1Char('\n');
}

// write-fuses FILE takes the bytes of the toolchain's .fuse (0x820000) and .lock (0x830000)
// sections, with the usual questions; a byte the chip lacks, or none at all, changes nothing.
TEST(CliHabits, WriteFusesFromAFile)
{
    const QString program = HexRecord(0, 0, {0x12, 0xC0});
    const QString fuses = HexRecord(4, 0, {0x00, 0x82}) + HexRecord(0, 0, {0xE4, 0xDB});
    const QString withExt = HexRecord(4, 0, {0x00, 0x82}) + HexRecord(0, 0, {0xE4, 0xDB, 0xFF});
    const QString lock = HexRecord(4, 0, {0x00, 0x83}) + HexRecord(0, 0, {0xFC});
    const QString end = HexRecord(1, 0, {});
    struct Case {
        const char* what;
        QString file;
        QStringList more;  // after the file name
        bool allowLockout;
        int status;
        QStringList values;  // standard output
        const char* problem;
    };
    const Case cases[] = {
        {"fuses", program + fuses + end, {}, false, ExitOk,
         {QStringLiteral("chip=ATmega8"), QStringLiteral("low=E4"), QStringLiteral("high=DB"), QStringLiteral("lock=FF")}, nullptr},
        {"a byte given by name over the file's", program + fuses + end, {QStringLiteral("low=E1")}, false, ExitOk,
         {QStringLiteral("chip=ATmega8"), QStringLiteral("low=E1"), QStringLiteral("high=DB"), QStringLiteral("lock=FF")}, nullptr},
        {"lock bits need their approval", program + lock + end, {}, false, ExitFailed, {QStringLiteral("chip=ATmega8")},
         "these values can lock the programmer out of the chip"},
        {"lock bits approved", program + lock + end, {}, true, ExitOk,
         {QStringLiteral("chip=ATmega8"), QStringLiteral("low=E1"), QStringLiteral("high=D9"), QStringLiteral("lock=FC")}, nullptr},
        {"a file of fuse bytes alone", fuses + end, {}, false, ExitOk,
         {QStringLiteral("chip=ATmega8"), QStringLiteral("low=E4"), QStringLiteral("high=DB"), QStringLiteral("lock=FF")}, nullptr},
        {"a byte the chip lacks", withExt + end, {}, true, ExitFailed, {QStringLiteral("chip=ATmega8")},
         "holds the ext byte, which the ATmega8 does not have; nothing was changed"},
        {"no fuse bytes", program + end, {}, true, ExitFailed, {QStringLiteral("chip=ATmega8")},
         "holds no lock or fuse bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("fw.hex"));
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.file.toLatin1());
        file.close();
        QStringList args{QStringLiteral("-y"), QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("select"),
                         QStringLiteral("auto"), QStringLiteral("write-fuses"), name};
        args += c.more;
        if (c.allowLockout)
            args.prepend(QStringLiteral("--allow-lockout"));
        const CliRun run = RunWith(args, nullptr, true);
        EXPECT_EQ(run.status, c.status) << run.err.toStdString();
        EXPECT_EQ(run.out, c.values) << run.err.toStdString();
        if (c.problem) {
            EXPECT_TRUE(run.err.contains(QString::fromLatin1(c.problem))) << run.err.toStdString();
            EXPECT_FALSE(run.err.contains(QStringLiteral("Trying to write fuse"))) << run.err.toStdString();
        }
    }
}

// -q: a failure no problem line told of shows the log's line of it, and nothing else.
TEST(CliHabits, QuietShowsTheFailingLine)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("fw.hex"));
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write((HexRecord(0, 0, {0x12, 0xC0}) + HexRecord(1, 0, {})).toLatin1());
    file.close();
    const QStringList args{QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("select"),
                           QStringLiteral("ATmega8"), QStringLiteral("verify-flash"), name};
    const CliRun loud = RunWith(args, nullptr, true);
    const CliRun quiet = RunWith(QStringList{QStringLiteral("-q")} + args, nullptr, true);
    EXPECT_EQ(loud.status, ExitFailed);
    EXPECT_EQ(quiet.status, ExitFailed);
    const QStringList lines = quiet.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << quiet.err.toStdString();
    EXPECT_TRUE(loud.err.contains(lines.first() + QLatin1Char('\n')));
    EXPECT_NE(lines.first(), QStringLiteral("The COM-port is closed"));
    EXPECT_EQ(quiet.out, QStringList{QStringLiteral("chip=ATmega8")});
}

}  // namespace
}  // namespace velmora::cli
