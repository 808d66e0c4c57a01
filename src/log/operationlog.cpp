#include "log/operationlog.h"

#include <array>

namespace velmora {

namespace {
// Kept in kind order; several prefixes end with a blank and kind 19 starts with seven,
// because the callers' texts carry their own leading blank.
constexpr std::array<const char*, LogKindCount> Prefixes = {
    "",
    "The COM-port is open: ",
    "Error. The COM-port is not available",
    "The COM-port is closed",
    "Error getting the COM-port parameters",
    "Error setting the COM-port parameters",
    "Error executing commands: ",
    "Error reading the answer",
    "Log saved to file: ",
    "Selected programmer is: ",
    "Loading program from file: ",
    "Loading data from file: ",
    "Operation complete",
    "Wrong file",
    "No chip selected",
    "Selected chip is ",
    "Saving program to file: ",
    "Saving data to file: ",
    "Trying to",
    "       Finished",
    "Command is not available for this chip",
};
}  // namespace

QString LogPrefix(unsigned kind)
{
    return kind < LogKindCount ? QString::fromLatin1(Prefixes[kind]) : QString();
}

QString TimeLine(const QString& label, const QTime& time)
{
    return QStringLiteral("%1%2:%3:%4").arg(label).arg(time.hour()).arg(time.minute()).arg(time.second());
}

OperationLog::OperationLog() : clock_([] { return QTime::currentTime(); }) {}

void OperationLog::WriteLog(unsigned kind, const QString& text)
{
    if (kind >= LogKindCount)
        return;
    Append(LogPrefix(kind) + text);
}

void OperationLog::WriteStartTime()
{
    Append(TimeLine(QStringLiteral("Start time: "), clock_()));
}

void OperationLog::WriteEndTime()
{
    Append(TimeLine(QStringLiteral("End time: "), clock_()));
}

QStringList OperationLog::Lines() const
{
    std::lock_guard lock(mutex_);
    return lines_;
}

void OperationLog::SetSink(Sink sink)
{
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

void OperationLog::SetClock(Clock clock)
{
    clock_ = std::move(clock);
}

void OperationLog::Append(const QString& line)
{
    Sink sink;
    {
        std::lock_guard lock(mutex_);
        lines_.append(line);
        sink = sink_;
    }
    if (sink)
        sink(line);
}

}  // namespace velmora
