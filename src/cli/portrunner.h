#pragma once
// Several gateways from one call: the command chain runs on every port at once, one thread
// per port, each with its own link, session and log. Their lines reach the terminal whole,
// prefixed with the port, and a table sums up every chip at the end.

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <mutex>

namespace velmora::cli {

// Lines written from several threads, each whole; with a prefix "[PORT] " when several ports
// share the output.
class PortOutput {
public:
    PortOutput(std::FILE* out, bool prefix) : out_(out), prefix_(prefix) {}
    void Line(const QString& port, const QString& line);

private:
    std::mutex mutex_;
    std::FILE* out_;
    bool prefix_;
};

// One chip's run on one port: a row of the summary.
struct ChipRun {
    QString port;
    QString chip;  // empty when none was selected
    bool ok = false;
    double seconds = 0;
    bool badUsage = false;  // a step found the command line's own values unusable
};

// "port  chip  result  time" and a row per run, columns as wide as their widest entry.
QString SummaryTable(const QList<ChipRun>& runs);

// Runs job for every port, each on a thread of its own, and returns when all have ended: their
// runs in the order of ports. A job's failure is its own: it never ends the others.
QList<ChipRun> RunOnEveryPort(const QStringList& ports, const std::function<QList<ChipRun>(const QString& port)>& job);

}  // namespace velmora::cli
