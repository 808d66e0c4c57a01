#pragma once
// The result of one command told in a few words, from the log lines the command wrote: what
// the status bar shows beside the log, so "Finished" and "Finished with fail." cannot be
// mixed up among the lines.

#include <QString>
#include <QStringList>

namespace velmora {

struct CommandResult {
    enum Kind { None, Success, Differs, Failure };
    Kind kind = None;  // None: the lines close no command (nothing to tell)
    QString text;      // "Done: read the program", "Failed: ... at: Error reading the answer (PINB)"
};

// lines: the lines one command added to the log. The command is named by its first
// "Trying to" line; its end is its last "Finished" line (nested steps finish before it); a
// failure names the first error line, or else the step that finished with fail.
CommandResult ResultOfCommand(const QStringList& lines);

}  // namespace velmora
