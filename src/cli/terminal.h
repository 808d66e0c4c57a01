#pragma once
// The command line's side of the window's message boxes and progress window: the Yes/No
// question before a command that erases or writes, asked on a terminal (or taken as Yes with
// --yes, refused without either), and a progress bar on standard error when that is a terminal.

#include "chips/progress.h"
#include "ops/approval.h"

#include <QString>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

namespace velmora::cli {

struct Terminal {
    std::FILE* in = nullptr;     // where the answer is read
    std::FILE* err = nullptr;    // where the question and the progress bar go
    bool interactive = false;    // in is a terminal: a question can be asked
    bool progressBar = false;    // err is a terminal: a bar can be drawn
    bool assumeYes = false;      // --yes: every routine question is answered Yes without asking
    bool allowLockout = false;   // --allow-lockout: every lock-out question likewise

    // stdin and err, each checked for being a terminal.
    static Terminal ForProcess(std::FILE* err, bool assumeYes);

    // Whether a question can be answered at all (--yes, or a terminal to ask on).
    bool CanConfirm() const { return assumeYes || interactive; }
    // Asks "Warning: <question> [y/N] "; only y or yes (any case) is Yes, the default No.
    bool Confirm(const QString& question) const;
    // A question of kind: a routine one as Confirm; a lock-out one is answered Yes only by
    // --allow-lockout or on the terminal, never by --yes.
    bool Approve(ApprovalKind kind, const QString& question) const;

    // A progress callback drawing "[#####     ]  50%" on err, or an empty one.
    ProgressFn ProgressBar() const;
    // Ends a bar drawn by ProgressBar (clears its line).
    void EndProgressBar() const;
    // Around a log line written while a bar is shown: the bar steps aside and comes back under it.
    void ClearBar() const;
    void RedrawBar() const;

private:
    void Draw(int percent) const;
    std::shared_ptr<int> bar_ = std::make_shared<int>(-1);  // the percentage shown; -1: no bar
};

}  // namespace velmora::cli
