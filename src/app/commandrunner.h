#pragma once
// Runs one chip or gateway command at a time on the worker thread that owns the link,
// while the window keeps repainting and refuses all input. A progress window appears when
// the command takes longer than ProgressDelayMs.

#include "app/progresswindow.h"
#include "chips/progress.h"
#include "prog/progcontext.h"

#include <QObject>
#include <QPointer>
#include <QThread>

#include <functional>

class QWidget;

namespace velmora {

class CommandRunner : public QObject {
    Q_OBJECT
public:
    // Sets the progress bar to a percentage; callable from the worker thread.
    using Progress = ProgressFn;
    using Job = std::function<void(const Progress& progress)>;

    static constexpr int ProgressDelayMs = 200;

    explicit CommandRunner(QWidget* owner);
    ~CommandRunner() override;

    // Runs job on the worker thread and returns when it has finished. Window events are
    // processed meanwhile, but user input is discarded except in the progress window, whose
    // Cancel (or Esc) requests the job's cancellation through Cancel(). title names the
    // command there. Returns false (and runs nothing) while another command is still running.
    bool Run(const Job& job, const QString& title = {});
    bool Busy() const { return busy_; }

    // The running job's cancel request, for its ProgContext; reset when a job starts.
    CancelToken* Cancel() { return &cancel_; }

    // The progress window of the running command, once it is shown; null otherwise.
    LBar* CurrentBar() const { return bar_; }

    // A question a running job asks (the chip in the socket, the erase of a rescue): ask runs
    // on the window's thread while the job waits, with the window's input let through and the
    // progress window out of the way. Called on the window's thread, ask simply runs.
    bool AskFromJob(const std::function<bool()>& ask);

    // Runs f on the worker thread and waits for it without showing anything (shut-down).
    void RunQuietly(const std::function<void()>& f);

signals:
    void ProgressWindowShown();

private:
    QWidget* owner_;
    QThread worker_;
    QObject* workerContext_ = nullptr;
    QPointer<LBar> bar_;
    bool busy_ = false;
    bool asking_ = false;  // a job's question is open: input goes through, the bar waits
    CancelToken cancel_;
};

}  // namespace velmora
