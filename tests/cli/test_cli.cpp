#include "cli/cli.h"
#include "cli/commandtable.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace velmora::cli {
namespace {

struct CliRun {
    int status;
    QStringList out;
    QString err;
};

// Runs with a terminal that answers the questions with answer, or with none when answer is null.
CliRun RunWith(const QStringList& args, const char* answer = nullptr)
{
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
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
    run.out = slurp(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    run.err = slurp(err);
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
        {QStringLiteral("--verbose"), QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("connect")},
    };
    for (const QStringList& args : cases) {
        const CliRun run = RunWith(args);
        EXPECT_EQ(run.status, ExitUsage) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains(QStringLiteral("usage: velmora-cli")));
    }
}

TEST(Cli, HelpPrintsTheUsageAndSucceeds)
{
    for (const char* option : {"--help", "-h"}) {
        const CliRun run = RunWith({QString::fromLatin1(option)});
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
                                                   "FF FF FF, family Atmega8")}));
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
        run = RunWith(args);
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
    EXPECT_TRUE(run.out.at(run.out.size() - 2).startsWith(QStringLiteral("calibration 0 = 0x")));
    EXPECT_EQ(run.out.back(), QStringLiteral("The COM-port is closed"));
    EXPECT_TRUE(run.err.isEmpty()) << "no terminal: no progress bar";

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
    CliRun run = RunWith(write);
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
    // One line per field, then the port closes.
    EXPECT_TRUE(run.out.contains(QStringLiteral("  BOOTSZ=1024  Boot flash section 1024 words, starts at word 0x0C00")));
    EXPECT_EQ(run.out.mid(run.out.size() - 2),
              (QStringList{"  LB=none  No memory lock features enabled", "The COM-port is closed"}));
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
    EXPECT_EQ(run.out, QStringList{QStringLiteral("Error. The COM-port is not available")});
}

}  // namespace
}  // namespace velmora::cli
