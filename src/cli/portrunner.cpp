#include "cli/portrunner.h"

#include <QThread>

#include <memory>
#include <vector>

namespace velmora::cli {

void PortOutput::Line(const QString& port, const QString& line)
{
    const QByteArray text = ((prefix_ ? QStringLiteral("[%1] ").arg(port) : QString()) + line + QLatin1Char('\n')).toUtf8();
    const std::lock_guard lock(mutex_);
    std::fwrite(text.constData(), 1, std::size_t(text.size()), out_);
    std::fflush(out_);
}

QString SummaryTable(const QList<ChipRun>& runs)
{
    QList<QStringList> rows{{QStringLiteral("port"), QStringLiteral("chip"), QStringLiteral("result"), QStringLiteral("time")}};
    for (const ChipRun& run : runs)
        rows.append({run.port, run.chip.isEmpty() ? QStringLiteral("-") : run.chip,
                     run.ok ? QStringLiteral("ok") : QStringLiteral("fail"), QStringLiteral("%1 s").arg(run.seconds, 0, 'f', 2)});
    QList<qsizetype> widths(4, 0);
    for (const QStringList& row : rows)
        for (qsizetype c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size());
    QString table;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype c = 0; c < row.size(); ++c)
            line += c + 1 < row.size() ? row[c].leftJustified(widths[c] + 2) : row[c];
        table += line + QLatin1Char('\n');
    }
    return table;
}

QList<ChipRun> RunOnEveryPort(const QStringList& ports, const std::function<QList<ChipRun>(const QString& port)>& job)
{
    std::vector<QList<ChipRun>> results(std::size_t(ports.size()));
    // Qt threads: the serial link waits for its answers through the thread's event dispatcher.
    std::vector<std::unique_ptr<QThread>> threads;
    for (qsizetype i = 0; i < ports.size(); ++i) {
        threads.emplace_back(QThread::create([&, i] { results[std::size_t(i)] = job(ports[i]); }));
        threads.back()->start();
    }
    for (const auto& thread : threads)
        thread->wait();
    QList<ChipRun> all;
    for (const QList<ChipRun>& runs : results)
        all += runs;
    return all;
}

}  // namespace velmora::cli
