// Several gateways from one call: two velmora-sim processes on pseudo-terminals programmed at
// once by one velmora-cli, with serial numbers and the chip records.

#include "cli/processes.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

namespace {

using velmora::testing::CliRun;
using velmora::testing::RunCli;
using velmora::testing::SimProcess;

constexpr int Mega8Flash = 8192;
constexpr int SerialAt = 0x10;

// A program of 1.5 KiB, no pattern repeating at a power of two.
QByteArray Program()
{
    QByteArray bytes(1536, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 37 + (i >> 7)) & 0xFF);
    return bytes;
}

// The flash image written: the program, then erased bytes up to the chip's size.
QString FlashSha256()
{
    const QByteArray image = Program() + QByteArray(Mega8Flash - Program().size(), char(0xFF));
    return QString::fromLatin1(QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex());
}

QString WriteProgram(const QTemporaryDir& dir)
{
    const QString name = dir.filePath(QStringLiteral("fw.bin"));
    QFile file(name);
    if (file.open(QIODevice::WriteOnly))
        file.write(Program());
    return name;
}

QList<QJsonObject> Records(const QString& name)
{
    QList<QJsonObject> records;
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.isEmpty())
            records.append(QJsonDocument::fromJson(line).object());
    return records;
}

QJsonObject RecordOf(const QList<QJsonObject>& records, const QString& port)
{
    for (const QJsonObject& r : records)
        if (r[QStringLiteral("port")].toString() == port)
            return r;
    return {};
}

// The chip's memories as the simulator leaves them when it ends.
QJsonObject ChipState(SimProcess& sim, const QString& json)
{
    if (!sim.Stop())
        return {};
    QFile file(json);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

// The 32-bit little-endian number at address of a memory dumped as hex.
qint64 NumberAt(const QJsonObject& chip, const char* memory, int address)
{
    const QByteArray bytes = QByteArray::fromHex(chip[QLatin1String(memory)].toString().toLatin1());
    if (bytes.size() < address + 4)
        return -1;
    qint64 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | quint8(bytes[address + i]);
    return value;
}

QStringList ChainArgs(const QString& record, const QString& program)
{
    return {QStringLiteral("--delay"), QStringLiteral("0"), QStringLiteral("--yes"), QStringLiteral("--serial"),
            QStringLiteral("eeprom:0x10:1000"), QStringLiteral("--record"), record, QStringLiteral("select"),
            QStringLiteral("auto"), QStringLiteral("write-flash"), program, QStringLiteral("verify-flash"), program};
}

QString Joined(const CliRun& run)
{
    return (run.lines + run.errLines).join(QLatin1Char('\n'));
}

TEST(CliManyPorts, TwoGatewaysWrittenVerifiedNumberedAndRecorded)
{
    QTemporaryDir dir;
    const QString program = WriteProgram(dir);
    const QString record = dir.filePath(QStringLiteral("chips.jsonl"));
    SimProcess a({QStringLiteral("--json"), dir.filePath(QStringLiteral("a.json"))});
    SimProcess b({QStringLiteral("--json"), dir.filePath(QStringLiteral("b.json"))});
    ASSERT_FALSE(a.Device().isEmpty());
    ASSERT_FALSE(b.Device().isEmpty());

    const CliRun run =
        RunCli(QStringList{QStringLiteral("--port"), a.Device(), QStringLiteral("--port"), b.Device()} + ChainArgs(record, program),
               90000);
    ASSERT_EQ(run.status, 0) << Joined(run).toStdString();
    // Each gateway's lines carry its port; both verified without differences.
    for (const QString& port : {a.Device(), b.Device()}) {
        const QString prefix = QStringLiteral("[%1] ").arg(port);
        EXPECT_TRUE((run.lines + run.errLines).contains(prefix + QStringLiteral("       Finished. No differences found.")))
            << Joined(run).toStdString();
    }

    const QList<QJsonObject> records = Records(record);
    ASSERT_EQ(records.size(), 2) << Joined(run).toStdString();
    std::set<qint64> serials;
    for (auto [sim, json] : {std::pair{&a, QStringLiteral("a.json")}, std::pair{&b, QStringLiteral("b.json")}}) {
        const QJsonObject r = RecordOf(records, sim->Device());
        SCOPED_TRACE(sim->Device().toStdString());
        EXPECT_EQ(r[QStringLiteral("result")].toString(), QStringLiteral("ok"));
        EXPECT_EQ(r[QStringLiteral("host")].toString(), QSysInfo::machineHostName());
        EXPECT_FALSE(r[QStringLiteral("host")].toString().isEmpty());
        EXPECT_EQ(r[QStringLiteral("chip")].toString(), QStringLiteral("ATmega8"));
        EXPECT_EQ(r[QStringLiteral("signature")].toString(), QStringLiteral("1E 93 07"));
        EXPECT_EQ(r[QStringLiteral("flash_sha256")].toString(), FlashSha256());
        const qint64 serial = r[QStringLiteral("serial")].toInteger(-1);
        serials.insert(serial);
        // The chip holds the number of its record, and the program.
        const QJsonObject chip = ChipState(*sim, dir.filePath(json));
        EXPECT_EQ(NumberAt(chip, "eeprom", SerialAt), serial);
        EXPECT_TRUE(QByteArray::fromHex(chip[QStringLiteral("flash")].toString().toLatin1()).startsWith(Program()));
    }
    EXPECT_EQ(serials, (std::set<qint64>{1000, 1001}));
}

TEST(CliManyPorts, AGatewayDyingMidWriteLeavesTheOtherToFinish)
{
    QTemporaryDir dir;
    const QString program = WriteProgram(dir);
    const QString record = dir.filePath(QStringLiteral("chips.jsonl"));
    SimProcess good({QStringLiteral("--json"), dir.filePath(QStringLiteral("good.json"))});
    // Handshake, autosearch and erase take a few hundred bytes; the page writes thousands.
    SimProcess dying({QStringLiteral("--unplug-after"), QStringLiteral("3000")});
    ASSERT_FALSE(good.Device().isEmpty());
    ASSERT_FALSE(dying.Device().isEmpty());

    const CliRun run = RunCli(
        QStringList{QStringLiteral("--port"), dying.Device(), QStringLiteral("--port"), good.Device()} + ChainArgs(record, program),
        90000);
    EXPECT_EQ(run.status, 1) << Joined(run).toStdString();

    const QList<QJsonObject> records = Records(record);
    ASSERT_EQ(records.size(), 2) << Joined(run).toStdString();
    const QJsonObject ok = RecordOf(records, good.Device());
    const QJsonObject failed = RecordOf(records, dying.Device());
    EXPECT_EQ(ok[QStringLiteral("result")].toString(), QStringLiteral("ok"));
    EXPECT_EQ(ok[QStringLiteral("serial")].toInteger(), 1000) << "the number goes to the chip that finished";
    EXPECT_EQ(failed[QStringLiteral("result")].toString(), QStringLiteral("fail"));
    EXPECT_FALSE(failed.contains(QStringLiteral("serial")));
    EXPECT_FALSE(failed[QStringLiteral("fail_line")].toString().isEmpty());
    EXPECT_EQ(NumberAt(ChipState(good, dir.filePath(QStringLiteral("good.json"))), "eeprom", SerialAt), 1000);
}

}  // namespace
