#include "cli/portrunner.h"

#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace velmora::cli {
namespace {

TEST(PortRunner, SummaryTableColumnsLineUp)
{
    const QString table = SummaryTable({{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("ATmega8"), true, 1.234},
                                        {QStringLiteral("COM3"), QString(), false, 12.5}});
    EXPECT_EQ(table.toStdString(),
              "port          chip     result  time\n"
              "/dev/ttyUSB0  ATmega8  ok      1.23 s\n"
              "COM3          -        fail    12.50 s\n");
}

// Every port runs at the same time, each job's failure stays its own, and the rows come back in
// the order the ports were given whatever order they finished in.
TEST(PortRunner, PortsRunAtOnceAndIndependently)
{
    std::atomic<int> running{0};
    std::atomic<int> most{0};
    const QStringList ports = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    const QList<ChipRun> runs = RunOnEveryPort(ports, [&](const QString& port) {
        most = std::max(most.load(), ++running);
        std::this_thread::sleep_for(std::chrono::milliseconds(port == QLatin1String("a") ? 60 : 20));
        --running;
        if (port == QLatin1String("b"))
            return QList<ChipRun>{{port, {}, false, 0}};
        return QList<ChipRun>{{port, QStringLiteral("ATmega8"), true, 0}, {port, QStringLiteral("ATmega8"), true, 0}};
    });
    EXPECT_EQ(most, 3);
    ASSERT_EQ(runs.size(), 5);
    EXPECT_EQ(runs[0].port, QStringLiteral("a"));
    EXPECT_EQ(runs[2].port, QStringLiteral("b"));
    EXPECT_FALSE(runs[2].ok);
    EXPECT_TRUE(runs[4].ok);
}

// Lines from many threads arrive whole, each with its port in front.
TEST(PortRunner, LinesArriveWholeWithTheirPort)
{
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    std::FILE* out = std::fopen(file.fileName().toLocal8Bit().constData(), "w");
    ASSERT_NE(out, nullptr);
    {
        PortOutput output(out, true);
        std::vector<std::jthread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < 200; ++i)
                    output.Line(QStringLiteral("p%1").arg(t), QString(300, QLatin1Char('a' + char(t))));
            });
    }
    std::fclose(out);
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 801);
    for (qsizetype i = 0; i < 800; ++i) {
        const QByteArray& line = lines[i];
        ASSERT_EQ(line.size(), 5 + 300) << i;
        const char port = line[2];
        EXPECT_EQ(line.mid(5), QByteArray(300, char('a' + (port - '0')))) << i;
    }
}

}  // namespace
}  // namespace velmora::cli
