#include "app/commandrunner.h"

#include "app/progresswindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

#include <exception>
#include <memory>

namespace velmora {

namespace {
// Discards user input to every window while a command runs, but the progress window's own;
// painting goes on.
class InputBlocker : public QObject {
public:
    InputBlocker(const QPointer<LBar>& bar, const bool& asking) : bar_(bar), asking_(asking)
    {
        qApp->installEventFilter(this);
    }
    ~InputBlocker() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (asking_)
            return false;
        if (bar_ && watched->isWidgetType() && event->type() != QEvent::Close) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget == bar_ || bar_->isAncestorOf(widget))
                return false;
        }
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
            return true;
        case QEvent::Close:
            if (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) {
                event->ignore();
                return true;
            }
            return false;
        default:
            return false;
        }
    }

private:
    const QPointer<LBar>& bar_;
    const bool& asking_;
};
}  // namespace

CommandRunner::CommandRunner(QWidget* owner) : owner_(owner)
{
    worker_.setObjectName(QStringLiteral("velmora-worker"));
    workerContext_ = new QObject;
    workerContext_->moveToThread(&worker_);
    connect(&worker_, &QThread::finished, workerContext_, &QObject::deleteLater);
    worker_.start();
}

CommandRunner::~CommandRunner()
{
    worker_.quit();
    worker_.wait();
}

bool CommandRunner::Run(const Job& job, const QString& title)
{
    if (busy_)
        return false;
    busy_ = true;
    cancel_.Reset();
    InputBlocker blocker(bar_, asking_);
    QEventLoop loop;

    // Shared with the worker's queued calls; every one of them is delivered before the
    // loop's quit, which is posted last.
    struct State {
        int position = -1;  // none reported yet
        std::exception_ptr error;
    };
    auto state = std::make_shared<State>();

    QTimer showTimer;
    showTimer.setSingleShot(true);
    connect(&showTimer, &QTimer::timeout, this, [this, state, title, &showTimer] {
        // Not over a question the job is asking: the bar comes once it is answered.
        if (asking_) {
            showTimer.start(ProgressDelayMs);
            return;
        }
        bar_ = new LBar(owner_);
        bar_->SetCommand(title);
        connect(bar_, &LBar::CancelRequested, this, [this] { cancel_.Request(); });
        // A command that reports no steps (a connection, Autosearch) shows a busy bar instead.
        if (state->position < 0)
            bar_->ShowBusy();
        else
            bar_->SetPosition(state->position);
        bar_->show();
        emit ProgressWindowShown();
    });
    showTimer.start(ProgressDelayMs);

    QPointer<QEventLoop> loopGuard(&loop);
    Progress progress = [this, state](int percent) {
        QMetaObject::invokeMethod(this, [this, state, percent] {
            state->position = percent;
            if (bar_)
                bar_->SetPosition(percent);
        }, Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(workerContext_, [this, job, progress, state, loopGuard] {
        try {
            job(progress);
        } catch (...) {
            state->error = std::current_exception();
        }
        QMetaObject::invokeMethod(this, [loopGuard] {
            if (loopGuard)
                loopGuard->quit();
        }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
    loop.exec();

    showTimer.stop();
    // Out of the filter's reach before it goes: the dialog's destructor still sends events
    // through the input blocker, which must not take a half-destroyed dialog for the bar.
    LBar* bar = bar_;
    bar_ = nullptr;
    delete bar;
    busy_ = false;
    if (state->error) {
        try {
            std::rethrow_exception(state->error);
        } catch (const std::exception& e) {
            QMessageBox::critical(owner_, QStringLiteral("Error"), QString::fromLocal8Bit(e.what()));
        } catch (...) {
            QMessageBox::critical(owner_, QStringLiteral("Error"), QStringLiteral("Unknown error"));
        }
    }
    return true;
}

bool CommandRunner::AskFromJob(const std::function<bool()>& ask)
{
    if (QThread::currentThread() == thread())
        return ask();
    bool answer = false;
    QMetaObject::invokeMethod(this, [this, &ask, &answer] {
        asking_ = true;
        if (bar_)
            bar_->hide();
        answer = ask();
        if (bar_)
            bar_->show();
        asking_ = false;
    }, Qt::BlockingQueuedConnection);
    return answer;
}

void CommandRunner::RunQuietly(const std::function<void()>& f)
{
    QMetaObject::invokeMethod(workerContext_, f, Qt::BlockingQueuedConnection);
}

}  // namespace velmora
