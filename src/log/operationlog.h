#pragma once
// The operation log: the user-visible record of every step, success and failure.
// It is not a debug log. Each line is a fixed prefix chosen by its kind followed by
// the caller's text; two further forms mark the start and end time of an operation.

#include <QString>
#include <QStringList>
#include <QTime>

#include <functional>
#include <mutex>

namespace velmora {

enum LogKind : unsigned {
    LogPlain = 0,
    LogPortOpen = 1,
    LogPortUnavailable = 2,
    LogPortClosed = 3,
    LogGetParamsError = 4,
    LogSetParamsError = 5,
    LogCommandError = 6,
    LogAnswerError = 7,
    LogSavedToFile = 8,
    LogProgrammer = 9,
    LogLoadProgram = 10,
    LogLoadData = 11,
    LogComplete = 12,
    LogWrongFile = 13,
    LogNoChip = 14,
    LogChipSelected = 15,
    LogSaveProgram = 16,
    LogSaveData = 17,
    LogTrying = 18,
    LogFinished = 19,
    LogNotAvailable = 20,
};

inline constexpr unsigned LogKindCount = 21;

// The fixed prefix of a kind; an empty string for kinds above 20.
QString LogPrefix(unsigned kind);

// Formats a time line: "Start time: " / "End time: " and h:m:s without leading zeros.
QString TimeLine(const QString& label, const QTime& time);

class OperationLog {
public:
    using Sink = std::function<void(const QString& line)>;
    using Clock = std::function<QTime()>;

    OperationLog();

    // Appends prefix(kind) + text as one line; a kind above 20 writes nothing.
    void WriteLog(unsigned kind, const QString& text = {});
    void WriteStartTime();
    void WriteEndTime();

    // Every line written so far, in order. Safe to call from any thread.
    QStringList Lines() const;

    // Called for every new line, in the writer's thread, after the line is stored.
    void SetSink(Sink sink);
    // The local time of day; replaceable so tests can fix the clock.
    void SetClock(Clock clock);

private:
    void Append(const QString& line);

    mutable std::mutex mutex_;
    QStringList lines_;
    Sink sink_;
    Clock clock_;
};

}  // namespace velmora
