#include "log/commandresult.h"

#include "log/operationlog.h"

namespace velmora {

namespace {
bool IsKind(const QString& line, unsigned kind)
{
    return line.startsWith(LogPrefix(kind));
}

bool IsError(const QString& line)
{
    for (unsigned kind : {LogPortUnavailable, LogGetParamsError, LogSetParamsError, LogCommandError, LogAnswerError,
                          LogWrongFile, LogNoChip, LogNotAvailable})
        if (IsKind(line, kind))
            return true;
    return IsKind(line, LogChipSelected) && line.endsWith(QStringLiteral(" unknown"));
}
}  // namespace

CommandResult ResultOfCommand(const QStringList& lines)
{
    const QString trying = LogPrefix(LogTrying);
    const QString finished = LogPrefix(LogFinished);
    QString what;
    for (const QString& line : lines)
        if (line.startsWith(trying)) {
            what = line.mid(trying.size()).trimmed();
            break;
        }
    QString firstError;
    for (const QString& line : lines)
        if (IsError(line)) {
            firstError = line.trimmed();
            break;
        }
    qsizetype last = -1;
    for (qsizetype i = lines.size() - 1; i >= 0 && last < 0; --i)
        if (lines[i].startsWith(finished))
            last = i;

    const QString named = what.isEmpty() ? QString() : QStringLiteral(" %1").arg(what);
    if (last < 0) {
        if (firstError.isEmpty())
            return {};
        return {CommandResult::Failure, what.isEmpty() ? QStringLiteral("Failed: %1").arg(firstError)
                                                       : QStringLiteral("Failed: %1: %2").arg(what, firstError)};
    }
    const QString end = lines[last].mid(finished.size());
    static const QString Fail = QStringLiteral(" with fail.");
    if (!end.startsWith(Fail))
        return {CommandResult::Success, QStringLiteral("Done:%1").arg(named).simplified()};
    static const QString Address = QStringLiteral(" Address: ");
    if (const qsizetype at = end.indexOf(Address); at >= 0)
        return {CommandResult::Differs,
                QStringLiteral("Differences:%1; the first at address %2").arg(named, end.mid(at + Address.size()))};
    // The step that failed: the first error line, else the last step that finished with fail
    // before the end, named by its "Trying to" line.
    QString step = firstError;
    if (step.isEmpty())
        for (qsizetype i = last - 1; i >= 0 && step.isEmpty(); --i)
            if (lines[i].startsWith(trying))
                step = lines[i].mid(trying.size()).trimmed();
    if (step.isEmpty() || step == what)
        return {CommandResult::Failure, QStringLiteral("Failed:%1").arg(named).simplified()};
    return {CommandResult::Failure, QStringLiteral("Failed:%1, at: %2").arg(named, step)};
}

}  // namespace velmora
