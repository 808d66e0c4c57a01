#include "cli/cli.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace velmora::cli {
namespace {

struct CliRun {
    int status;
    QStringList out;
    QString err;
};

CliRun RunWith(const QStringList& args)
{
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    CliRun run{RunCli(args, out, err), {}, {}};
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
        {QStringLiteral("--virtual"), QStringLiteral("ATmega8"), QStringLiteral("connect"), QStringLiteral("signature")},
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

TEST(Cli, MissingPortFails)
{
    const CliRun run = RunWith({QStringLiteral("--port"), QStringLiteral("/dev/velmora-no-such-port"), QStringLiteral("connect")});
    EXPECT_EQ(run.status, ExitFailed);
    EXPECT_EQ(run.out, QStringList{QStringLiteral("Error. The COM-port is not available")});
}

}  // namespace
}  // namespace velmora::cli
