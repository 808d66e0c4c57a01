// The production line in process: one chip after another on a virtual gateway whose socket the
// test empties and fills between the checks.

#include "cli/commandtable.h"
#include "cli/production.h"
#include "sim/simlink.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>


namespace velmora::cli {
namespace {

// What was written to a temporary file, which is then closed.
QString Slurp(std::FILE* f)
{
    std::fflush(f);
    QFile file;
    QString text;
    if (file.open(f, QIODevice::ReadOnly) && file.seek(0))
        text = QString::fromUtf8(file.readAll());
    file.close();
    std::fclose(f);
    return text;
}

QString ProgramFile(const QTemporaryDir& dir, const QByteArray& bytes)
{
    const QString name = dir.filePath(QStringLiteral("fw.bin"));
    QFile file(name);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    return name;
}

// +5 V is on while C2 is an output driven low, +12 V while C3 is an output driven high.
bool AnySupplyOn(const sim::SimPorts& p)
{
    return ((p.ddrC & 0x04) && !(p.portC & 0x04)) || ((p.ddrC & 0x08) && (p.portC & 0x08));
}

struct Line {
    int status = -1;
    QStringList out;
    QList<QJsonObject> records;
    int pauses = 0;
    bool suppliesOnInPause = false;
};

// Runs args on a virtual ATmega8 whose chip, at each swap, is taken out at the first pause and
// put back in at the third: a swap takes four pauses (two checks find the socket empty, two
// find the next chip).
Line RunRepeated(const QStringList& args, const QString& record)
{
    Line line;
    CliOptions options;
    QString problem;
    EXPECT_TRUE(ParseArguments(args, options, &problem)) << problem.toStdString();
    auto gateway = std::make_shared<sim::SimGateway>(*sim::FindSimChip("ATmega8"), /*virtualTime=*/true);
    ProductionHooks hooks;
    hooks.links = [gateway](const QString&) {
        auto link = std::make_unique<sim::SimLink>(gateway);
        MillisecondSleeper sleeper = link->Sleeper();
        return PortLink{std::move(link), QStringLiteral("virtual:ATmega8"), std::move(sleeper)};
    };
    // Between checks, on the port's own thread, where the link lives.
    hooks.checkPause = [&](int) {
        ++line.pauses;
        line.suppliesOnInPause = line.suppliesOnInPause || AnySupplyOn(gateway->Ports());
        if (line.pauses % 4 == 1)
            gateway->Faults().emptySocket = true;
        else if (line.pauses % 4 == 3)
            gateway->Faults().emptySocket = false;
        // A watcher that never ends must not hang the suite.
        if (line.pauses > 40)
            RequestStop();
    };
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Terminal terminal;
    terminal.err = err;
    terminal.assumeYes = true;
    line.status = RunProduction(options, out, terminal, hooks);
    line.out = Slurp(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    Slurp(err);
    QFile file(record);
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray& l : file.readAll().split('\n'))
            if (!l.isEmpty())
                line.records.append(QJsonDocument::fromJson(l).object());
    return line;
}

TEST(Production, RepeatProgramsOneChipAfterAnotherUntilTheCount)
{
    QTemporaryDir dir;
    const QString program = ProgramFile(dir, QByteArray(300, '\x5A'));
    const QString record = dir.filePath(QStringLiteral("chips.jsonl"));
    const QString state = dir.filePath(QStringLiteral("serial.state"));
    const Line line = RunRepeated({QStringLiteral("--port"), QStringLiteral("virtual:ATmega8"), QStringLiteral("--yes"),
                                   QStringLiteral("--repeat"), QStringLiteral("--count"), QStringLiteral("3"),
                                   QStringLiteral("--serial"), QStringLiteral("eeprom:8:500:10"), QStringLiteral("--serial-state"),
                                   state, QStringLiteral("--record"), record, QStringLiteral("select"), QStringLiteral("auto"),
                                   QStringLiteral("write-flash"), program, QStringLiteral("verify-flash"), program},
                                  record);
    EXPECT_EQ(line.status, ExitOk) << line.out.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(line.records.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(line.records[i][QStringLiteral("result")].toString(), QStringLiteral("ok"));
        EXPECT_EQ(line.records[i][QStringLiteral("serial")].toInteger(), 500 + 10 * i);
    }
    // Two swaps, none after the last chip; each: out for two checks, in for two.
    EXPECT_EQ(line.out.count(QStringLiteral("Take the chip out and put the next one in")), 2);
    EXPECT_EQ(line.pauses, 2 * 4);
    EXPECT_FALSE(line.suppliesOnInPause) << "the supplies are off between the checks";
    // The summary: a header and a row per chip.
    EXPECT_EQ(line.out.filter(QStringLiteral("virtual:ATmega8  ATmega8  ok")).size(), 3) << line.out.join(QLatin1Char('\n')).toStdString();
    QFile kept(state);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("530\n"));
}

// The chain fails on every chip (a flash serial number over a program that is not blank
// there): each failure is recorded with its reason, and the status says so.
TEST(Production, AFailedChipIsRecordedAndCountsAgainstTheStatus)
{
    QTemporaryDir dir;
    const QString program = ProgramFile(dir, QByteArray(64, '\x11'));
    const QString record = dir.filePath(QStringLiteral("chips.jsonl"));
    const Line line = RunRepeated({QStringLiteral("--port"), QStringLiteral("virtual:ATmega8"), QStringLiteral("--yes"),
                                   QStringLiteral("--serial"), QStringLiteral("flash:0x10:7"), QStringLiteral("--record"),
                                   record, QStringLiteral("select"), QStringLiteral("auto"), QStringLiteral("write-flash"),
                                   program},
                                  record);
    EXPECT_EQ(line.status, ExitFailed);
    ASSERT_EQ(line.records.size(), 1);
    EXPECT_EQ(line.records[0][QStringLiteral("result")].toString(), QStringLiteral("fail"));
    EXPECT_FALSE(line.records[0].contains(QStringLiteral("serial"))) << "no number is spent on a refused chip";
    EXPECT_TRUE(line.records[0][QStringLiteral("fail_line")].toString().contains(QStringLiteral("not blank")));
}

TEST(Production, OptionsThatDoNotGoTogether)
{
    const QStringList bad[] = {
        {QStringLiteral("--port"), QStringLiteral("a"), QStringLiteral("--port"), QStringLiteral("a"), QStringLiteral("connect")},
        {QStringLiteral("--port"), QStringLiteral("a"), QStringLiteral("--serial"), QStringLiteral("eeprom:0:1"), QStringLiteral("connect")},
        {QStringLiteral("--port"), QStringLiteral("a"), QStringLiteral("--serial"), QStringLiteral("flash:0:1"), QStringLiteral("select"),
         QStringLiteral("auto")},
        {QStringLiteral("--port"), QStringLiteral("a"), QStringLiteral("--serial-state"), QStringLiteral("s"), QStringLiteral("connect")},
        {QStringLiteral("--port"), QStringLiteral("a"), QStringLiteral("--count"), QStringLiteral("2"), QStringLiteral("connect")},
        {QStringLiteral("--port"), QStringLiteral("a"), QStringLiteral("--repeat"), QStringLiteral("--count"), QStringLiteral("0"),
         QStringLiteral("connect")},
        {QStringLiteral("--repeat"), QStringLiteral("select"), QStringLiteral("ATmega8")},
    };
    for (const QStringList& args : bad) {
        CliOptions options;
        QString problem;
        EXPECT_FALSE(ParseArguments(args, options, &problem)) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(problem.isEmpty());
    }
    CliOptions options;
    QString problem;
    ASSERT_TRUE(ParseArguments({QStringLiteral("--port"), QStringLiteral("a"), QStringLiteral("--port"), QStringLiteral("b"),
                                QStringLiteral("--repeat"), QStringLiteral("--count"), QStringLiteral("5"), QStringLiteral("connect")},
                               options, &problem))
        << problem.toStdString();
    EXPECT_EQ(options.ports, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(options.count, 5);
}

}  // namespace
}  // namespace velmora::cli
