#include "log/operationlog.h"
#include "log/rtfwriter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace velmora;

namespace {

struct LineCase {
    unsigned kind;
    const char* text;
    const char* line;
};

class LogLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(LogLines, PrefixAndTextJoinWithoutSeparator)
{
    OperationLog log;
    log.WriteLog(GetParam().kind, QString::fromUtf8(GetParam().text));
    ASSERT_EQ(log.Lines().size(), 1);
    EXPECT_EQ(log.Lines().first(), QString::fromUtf8(GetParam().line));
}

INSTANTIATE_TEST_SUITE_P(AllKinds, LogLines, ::testing::Values(
    LineCase{LogPlain, "Calibration: 0xA5", "Calibration: 0xA5"},
    LineCase{LogPortOpen, "/dev/ttyUSB0", "The COM-port is open: /dev/ttyUSB0"},
    LineCase{LogPortUnavailable, "", "Error. The COM-port is not available"},
    LineCase{LogPortClosed, "", "The COM-port is closed"},
    LineCase{LogGetParamsError, "", "Error getting the COM-port parameters"},
    LineCase{LogSetParamsError, "", "Error setting the COM-port parameters"},
    LineCase{LogCommandError, " GiveWRNegPulse", "Error executing commands:  GiveWRNegPulse"},
    LineCase{LogAnswerError, " (PINB)", "Error reading the answer (PINB)"},
    LineCase{LogSavedToFile, "/tmp/a.rtf", "Log saved to file: /tmp/a.rtf"},
    LineCase{LogProgrammer, "x", "Selected programmer is: x"},
    LineCase{LogLoadProgram, "fw.hex", "Loading program from file: fw.hex"},
    LineCase{LogLoadData, "d.eep", "Loading data from file: d.eep"},
    LineCase{LogComplete, "", "Operation complete"},
    LineCase{LogWrongFile, " (unknown format)", "Wrong file (unknown format)"},
    LineCase{LogNoChip, "", "No chip selected"},
    LineCase{LogChipSelected, " 1887ВЕ4У", "Selected chip is  1887ВЕ4У"},
    LineCase{LogSaveProgram, "fw.hex", "Saving program to file: fw.hex"},
    LineCase{LogSaveData, "d.eep", "Saving data to file: d.eep"},
    LineCase{LogTrying, " read the program", "Trying to read the program"},
    LineCase{LogFinished, "", "       Finished"},
    LineCase{LogNotAvailable, "", "Command is not available for this chip"}));

TEST(OperationLog, KindsAboveTwentyWriteNothing)
{
    OperationLog log;
    int sunk = 0;
    log.SetSink([&](const QString&) { ++sunk; });
    log.WriteLog(21, QStringLiteral("x"));
    log.WriteLog(1000, QStringLiteral("x"));
    EXPECT_TRUE(log.Lines().isEmpty());
    EXPECT_EQ(sunk, 0);
}

TEST(OperationLog, TimeLinesHaveNoLeadingZeros)
{
    const struct {
        QTime time;
        const char* start;
        const char* end;
    } cases[] = {
        {QTime(9, 5, 7), "Start time: 9:5:7", "End time: 9:5:7"},
        {QTime(23, 59, 0), "Start time: 23:59:0", "End time: 23:59:0"},
        {QTime(0, 0, 0), "Start time: 0:0:0", "End time: 0:0:0"},
    };
    for (const auto& c : cases) {
        OperationLog log;
        log.SetClock([&] { return c.time; });
        log.WriteStartTime();
        log.WriteEndTime();
        EXPECT_EQ(log.Lines(), QStringList({QString::fromLatin1(c.start), QString::fromLatin1(c.end)}));
    }
}

TEST(OperationLog, SinkSeesEveryLineInOrder)
{
    OperationLog log;
    QStringList seen;
    log.SetSink([&](const QString& line) { seen << line; });
    log.WriteLog(LogTrying, QStringLiteral(" read signature bytes"));
    log.WriteLog(LogFinished);
    EXPECT_EQ(seen, log.Lines());
}

// The saved log must read back, through an independent RTF reader, as the lines in order.
TEST(LogRtf, UnrtfReadsTheLinesBackInOrder)
{
    const QString unrtf = QStandardPaths::findExecutable(QStringLiteral("unrtf"));
    if (unrtf.isEmpty())
        GTEST_SKIP() << "unrtf is not installed (the setup script installs it)";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.txt"));  // a plain-text name still gets RTF
    const QStringList lines = {QStringLiteral("Trying to enter Programming Mode"),
                               QStringLiteral("       Finished with success."),
                               QStringLiteral("Selected chip is  1887ВЕ7Т"),
                               QStringLiteral("braces {x} and \\ backslash"), QStringLiteral("End time: 23:59:0")};
    QString error;
    ASSERT_TRUE(SaveLogRtf(path, lines, QStringLiteral("Courier New"), 10, &error)) << error.toStdString();

    QFile raw(path);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QByteArray document = raw.readAll();
    EXPECT_TRUE(document.startsWith("{\\rtf1"));
    // The blanks themselves are kept in the document; only readers' display folds them.
    EXPECT_TRUE(document.contains("       Finished with success.\\par"));

    // unrtf's HTML mode knows \\u escapes (its text mode drops them); like any HTML it folds runs of
    // blanks, so the comparison folds them too.
    QProcess reader;
    reader.start(unrtf, {QStringLiteral("--html"), path});
    ASSERT_TRUE(reader.waitForFinished(10000));
    QString html = QString::fromUtf8(reader.readAllStandardOutput());
    html = html.mid(html.indexOf(QLatin1String("<body>")));
    QStringList got;
    for (QString line : html.split(QLatin1String("<br>"))) {
        line.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
        static const QRegularExpression entity(QStringLiteral("&#(\\d+);"));
        for (auto m = entity.match(line); m.hasMatch(); m = entity.match(line))
            line.replace(m.capturedStart(), m.capturedLength(), QChar(m.captured(1).toInt()));
        line.replace(QLatin1String("&lt;"), QLatin1String("<")).replace(QLatin1String("&gt;"), QLatin1String(">"));
        line.replace(QLatin1String("&amp;"), QLatin1String("&"));
        if (!line.trimmed().isEmpty())
            got << line.simplified();
    }
    QStringList expected;
    for (const QString& line : lines)
        expected << line.simplified();
    EXPECT_EQ(got, expected);
}

TEST(LogRtf, FailedSaveKeepsTheOldFileAndSaysWhy)
{
    QTemporaryDir dir;
    QString error;
    // A folder cannot be replaced by the log.
    EXPECT_FALSE(SaveLogRtf(dir.path(), {QStringLiteral("x")}, QStringLiteral("Courier New"), 10, &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(SaveLogRtf(dir.filePath(QStringLiteral("missing/sub/log.rtf")), {QStringLiteral("x")},
                            QStringLiteral("Courier New"), 10, &error));
    EXPECT_FALSE(error.isEmpty());

    // Saving over an existing file replaces it whole.
    const QString path = dir.filePath(QStringLiteral("old.hex"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(10000, 'x'));
    }
    ASSERT_TRUE(SaveLogRtf(path, {QStringLiteral("one")}, QStringLiteral("Courier New"), 10, &error));
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray content = saved.readAll();
    EXPECT_TRUE(content.startsWith("{\\rtf1"));
    EXPECT_FALSE(content.contains("xxx"));
}

}  // namespace
