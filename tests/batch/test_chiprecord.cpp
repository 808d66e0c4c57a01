#include "batch/chiprecord.h"

#include "chips/selection.h"
#include "log/operationlog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace velmora {
namespace {

TEST(ChipRecord, Sha256OfKnownInputs)
{
    const std::uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(Sha256Hex(abc).toStdString(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex({}).toStdString(), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(ChipRecord, TimeCarriesItsZoneOffset)
{
    const QDate day(2026, 12, 10);
    const QTime at(13, 6, 0, 123);
    EXPECT_EQ(RecordTime(QDateTime(day, at, Qt::OffsetFromUTC, 3600)).toStdString(),
              "2026-12-10T13:06:00.123+01:00");
    EXPECT_EQ(RecordTime(QDateTime(day, at, Qt::UTC)).toStdString(), "2026-12-10T13:06:00.123+00:00");
    const QRegularExpression withZone(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)"));
    EXPECT_TRUE(withZone.match(RecordTime(QDateTime::currentDateTime())).hasMatch())
        << RecordTime(QDateTime::currentDateTime()).toStdString();
}

TEST(ChipRecord, OneLineOfJsonWithEveryFieldGiven)
{
    ChipRecord r;
    r.time = QDateTime(QDate(2026, 12, 10), QTime(13, 6), Qt::UTC);
    r.host = QStringLiteral("bench-3");
    r.port = QStringLiteral("/dev/ttyUSB1");
    r.chip = QStringLiteral("ATmega8");
    r.signature = 0x07931E;
    r.calibration = std::vector<std::uint8_t>{0xA8, 0xA9, 0xAA, 0xAB};
    r.flashSha256 = QStringLiteral("aa");
    r.eepromSha256 = QStringLiteral("bb");
    r.fuses = {{QStringLiteral("low"), 0xE1}, {QStringLiteral("lock"), 0x3C}};
    r.serial = 4000000000u;
    r.commands = {QStringLiteral("select auto"), QStringLiteral("write-flash fw.hex")};
    r.ok = false;
    r.failLine = QStringLiteral("Error writing to the COM-port:\n 0x13");

    const QByteArray line = RecordLine(r);
    ASSERT_TRUE(line.endsWith('\n'));
    EXPECT_EQ(line.count('\n'), 1);  // a line break inside a text stays escaped
    QJsonParseError error{};
    const QJsonObject o = QJsonDocument::fromJson(line, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_EQ(o[QStringLiteral("time")].toString(), QStringLiteral("2026-12-10T13:06:00.000+00:00"));
    EXPECT_EQ(o[QStringLiteral("host")].toString(), QStringLiteral("bench-3"));
    EXPECT_EQ(o[QStringLiteral("port")].toString(), QStringLiteral("/dev/ttyUSB1"));
    EXPECT_EQ(o[QStringLiteral("chip")].toString(), QStringLiteral("ATmega8"));
    EXPECT_EQ(o[QStringLiteral("signature")].toString(), QStringLiteral("1E 93 07"));
    EXPECT_EQ(o[QStringLiteral("calibration")].toString(), QStringLiteral("A8 A9 AA AB"));
    EXPECT_EQ(o[QStringLiteral("flash_sha256")].toString(), QStringLiteral("aa"));
    EXPECT_EQ(o[QStringLiteral("eeprom_sha256")].toString(), QStringLiteral("bb"));
    EXPECT_EQ(o[QStringLiteral("fuses")].toObject()[QStringLiteral("low")].toString(), QStringLiteral("E1"));
    EXPECT_EQ(o[QStringLiteral("fuses")].toObject()[QStringLiteral("lock")].toString(), QStringLiteral("3C"));
    EXPECT_EQ(o[QStringLiteral("serial")].toInteger(), 4000000000LL);  // above 2^31: not a negative int
    EXPECT_EQ(o[QStringLiteral("commands")].toArray().size(), 2);
    EXPECT_EQ(o[QStringLiteral("result")].toString(), QStringLiteral("fail"));
    EXPECT_EQ(o[QStringLiteral("fail_line")].toString(), r.failLine);
}

TEST(ChipRecord, FieldsWithoutAValueAreLeftOut)
{
    ChipRecord r;
    r.time = QDateTime::currentDateTime();
    r.port = QStringLiteral("COM3");
    r.ok = true;
    r.failLine = QStringLiteral("kept only for a failure");
    const QJsonObject o = QJsonDocument::fromJson(RecordLine(r)).object();
    for (const char* absent : {"chip", "signature", "calibration", "flash_sha256", "eeprom_sha256", "fuses", "serial",
                               "fail_line"})
        EXPECT_FALSE(o.contains(QLatin1String(absent))) << absent;
    EXPECT_EQ(o[QStringLiteral("result")].toString(), QStringLiteral("ok"));
}

// Writers on many threads with lines larger than a pipe buffer: every line arrives whole.
TEST(ChipRecord, ConcurrentAppendsNeverInterleave)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("records.jsonl"));
    constexpr int Writers = 4;
    constexpr int Each = 20;
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < Writers; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < Each; ++i) {
                    ChipRecord r;
                    r.time = QDateTime::currentDateTime();
                    r.port = QStringLiteral("port%1").arg(t);
                    r.serial = std::uint32_t(i);
                    r.failLine = QString(20000, QLatin1Char('a' + char(t)));
                    QString error;
                    EXPECT_TRUE(AppendRecordLine(file, RecordLine(r), &error)) << error.toStdString();
                }
            });
    }
    QFile in(file);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = in.readAll().split('\n');
    ASSERT_EQ(lines.size(), Writers * Each + 1);
    EXPECT_TRUE(lines.last().isEmpty());
    for (int i = 0; i < Writers * Each; ++i) {
        QJsonParseError error{};
        const QJsonObject o = QJsonDocument::fromJson(lines[i], &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << "line " << i;
        EXPECT_EQ(o[QStringLiteral("port")].toString().back(), QChar(u'0' + (o[QStringLiteral("fail_line")].toString()[0].unicode() - u'a')));
    }

    QString error;
    EXPECT_FALSE(AppendRecordLine(dir.filePath(QStringLiteral("missing/records.jsonl")), "{}\n", &error));
    EXPECT_FALSE(error.isEmpty());
}

// The notes take what a command left in the current chip: the chip-sized images only, the
// calibration bytes the chip has, the lock and fuse bytes by the dialog's group captions.
TEST(ChipRecord, NotesFromTheCurrentChip)
{
    ChipState state;
    OperationLog log;
    SelectChip(state, FindChipByName("ATmega8")->code, log, {});
    chip& c = state.CurrentChip;
    std::fill_n(c.FlashImage.begin(), 4, std::uint8_t(0x12));
    c.FlashImage[c.flashSize] = 0x00;  // beyond the chip: not part of what was written
    c.CalibrationBytes = {1, 2, 3, 4, 5, 6, 7, 8};
    c.FuseDefaults = {0xE1, 0xD9, 0x3C, 0x3C, 0, 0, 0, 0};

    ChipRecord r;
    NoteChip(r, c);
    NoteImageWritten(r, c, FlashKind);
    NoteCalibration(r, c);
    NoteFuses(r, c);
    EXPECT_EQ(r.chip, QStringLiteral("ATmega8"));
    EXPECT_EQ(r.signature, 0x07931E);
    std::vector<std::uint8_t> image(c.flashSize, 0xFF);
    std::fill_n(image.begin(), 4, std::uint8_t(0x12));
    EXPECT_EQ(r.flashSha256, Sha256Hex(image));
    EXPECT_TRUE(r.eepromSha256.isEmpty());
    EXPECT_EQ(r.calibration, (std::vector<std::uint8_t>{1, 2, 3, 4}));
    ASSERT_EQ(r.fuses.size(), 3);
    EXPECT_EQ(r.fuses.front().second, 0xE1);
    EXPECT_EQ(r.fuses.back().second, 0x3C);  // the lock byte, the last group
    EXPECT_TRUE(r.fuses.back().first.contains(QStringLiteral("Lock"), Qt::CaseInsensitive)) << r.fuses.back().first.toStdString();
}

TEST(ChipRecord, TheFailingLineIsTheFirstThatTellsWhy)
{
    const QStringList dropped = {QStringLiteral("Trying to write the program"), QStringLiteral("Start time: 13:6:0"),
                                 QStringLiteral("Error reading the answer (PINC)"), QStringLiteral("       Finished with fail."),
                                 QStringLiteral("Error executing commands:  0x11 0x0 0x0F 0x32")};
    EXPECT_EQ(FailingLine(dropped), QStringLiteral("Error reading the answer (PINC)"));
    const QStringList differs = {QStringLiteral("Trying to verify the program"),
                                 QStringLiteral("       Finished with success."),
                                 QStringLiteral("       Finished with fail. Address: 0x01FE"), QStringLiteral("End time: 13:6:1")};
    EXPECT_EQ(FailingLine(differs), QStringLiteral("       Finished with fail. Address: 0x01FE"));
    EXPECT_EQ(FailingLine({QStringLiteral("Trying to read the program"), QStringLiteral("No chip selected")}),
              QStringLiteral("No chip selected"));
    EXPECT_EQ(FailingLine({QStringLiteral("Operation complete"), QStringLiteral("something else")}), QStringLiteral("something else"));
    EXPECT_EQ(FailingLine({}), QString());
}

}  // namespace
}  // namespace velmora
