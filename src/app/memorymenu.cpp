// The memory command handlers of Form1: Read, Write and Verify Program and Data, Chip Erase
// and Read Calibration. The question and the views belong to this thread; the command itself
// runs headless on the worker thread, on a copy of the current chip (ops/).

#include "app/mainwindow.h"

#include "app/commandrunner.h"
#include "link/serialport.h"
#include "ops/memorycommands.h"

#include <QMessageBox>
#include <QPushButton>

namespace velmora {

bool Form1::AskQuestion(const QString& text)
{
    return questionAsker_(text);
}

bool Form1::AskWarning(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QuestionCaption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool Form1::RunChipJob(const ChipCommand& command, const QString& title)
{
    // Never connected: the command still runs, and its first gateway step fails.
    if (!link_)
        link_ = std::make_unique<SerialLink>();
    ChipJob job(work_.chips);
    bool ok = false;
    const int delays = delaysValue_;
    CancelToken* cancel = runner_->Cancel();
    if (!runner_->Run([&](const ProgressFn& progress) {
            ok = command(ProgContext{*link_, log_, delays, SleepMilliseconds, cancel}, job, progress);
        }, title))
        return false;
    job.ApplyTo(work_.chips);
    return ok;
}

void Form1::MemoryCommandClick(MemoryCommand command, const QString& title)
{
    if (const std::optional<QString> question = QuestionFor(command); question && !AskQuestion(*question))
        return;
    const int kind = ImageKindOf(command);
    const std::size_t view = kind == FlashKind ? ActiveFlashView() : ActiveEepromView();
    // The view is the user's working copy, unsaved edits included.
    if (ParsesViewFirst(command))
        ParseView(view, kind);
    const bool ok = RunChipJob([command](const ProgContext& ctx, ChipJob& job, const ProgressFn& progress) {
        return RunMemoryCommand(command, ctx, job, progress);
    }, title);
    if (ok && RendersViewAfter(command))
        RenderView(view, kind);
}

void Form1::Button4Click()
{
    MemoryCommandClick(MemoryCommand::ReadProgram, Button4->text());
}

void Form1::Button5Click()
{
    MemoryCommandClick(MemoryCommand::WriteProgram, Button5->text());
}

void Form1::Button6Click()
{
    MemoryCommandClick(MemoryCommand::VerifyProgram, Button6->text());
}

void Form1::Button7Click()
{
    RunChipJob(RunReadCalibration, Button7->text());
}

void Form1::Button8Click()
{
    MemoryCommandClick(MemoryCommand::ReadData, Button8->text());
}

void Form1::Button9Click()
{
    MemoryCommandClick(MemoryCommand::WriteData, Button9->text());
}

void Form1::Button10Click()
{
    MemoryCommandClick(MemoryCommand::VerifyData, Button10->text());
}

void Form1::Button11Click()
{
    if (AskQuestion(ChipDataQuestion))
        RunChipJob(RunChipErase, Button11->text());
}

}  // namespace velmora
