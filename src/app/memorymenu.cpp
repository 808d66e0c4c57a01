// The memory command handlers of Form1: Read, Write and Verify Program and Data, Chip Erase
// and Read Calibration. The question and the views belong to this thread; the command itself
// runs headless on the worker thread, on a copy of the current chip (ops/).

#include "app/mainwindow.h"

#include "app/commandrunner.h"
#include "ops/memorycommands.h"

#include <QCheckBox>
#include <QDateTime>
#include <QMessageBox>
#include <QPushButton>
#include <QSysInfo>

namespace velmora {

bool Form1::AskQuestion(const QString& text)
{
    return questionAsker_(text);
}

bool Form1::AskFromJob(const QString& text)
{
    return runner_->AskFromJob([this, &text] { return AskQuestion(text); });
}

QString OtherChipQuestion(const ChipEntry& selected, SignatureCode found)
{
    return OtherChipText(selected, found) +
           QStringLiteral(".\n\nGo on with the %1's algorithm anyway? No leaves the chip as it is.")
               .arg(QString::fromUtf8(selected.name.data(), qsizetype(selected.name.size())));
}

SocketCheck Form1::AskingSocketCheck()
{
    return {true, [this](const ChipEntry& selected, SignatureCode found) {
                return AskFromJob(OtherChipQuestion(selected, found));
            }};
}

bool Form1::AskWarning(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QuestionCaption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool Form1::RunChipJob(const ChipCommand& command, const QString& title, RecordNote note)
{
    // The progress window names the command while it runs.
    runTitle_ = title;
    const qsizetype firstLine = log_.Lines().size();
    const bool ok = RecordedJob(command, title, note);
    runTitle_.clear();
    CommandEnded(firstLine);
    return ok;
}

bool Form1::RecordedJob(const ChipCommand& command, const QString& title, RecordNote note)
{
    const qsizetype firstLine = log_.Lines().size();
    const bool ok = session_.RunChipJob(command);
    const QStringList lines = log_.Lines().mid(firstLine);
    ChipRecord record;
    record.time = QDateTime::currentDateTime();
    record.host = QSysInfo::machineHostName();
    record.port = connectedPort_;
    const chip& c = work_.chips.CurrentChip;
    NoteChip(record, c);
    if (note)
        note(record, c);
    // Named as the user chose it; a dialog's commands by the steps their log says they tried.
    const QString trying = LogPrefix(LogTrying) + QLatin1Char(' ');
    if (!title.isEmpty())
        record.commands = QStringList{QString(title).remove(QLatin1Char('&'))};
    else
        for (const QString& line : lines)
            if (line.startsWith(trying))
                record.commands.append(line.mid(trying.size()));
    record.ok = ok;
    if (!ok)
        record.failLine = FailingLine(lines);
    recordLines_ += RecordLine(record);
    return ok;
}

void Form1::MemoryCommandClick(MemoryCommand command, const QString& title)
{
    const int kind = ImageKindOf(command);
    // The question says what is about to be written: which page, from which file.
    if (const std::optional<QString> question = QuestionFor(command);
        question && !AskQuestion(*question + QStringLiteral("\n\nIt writes ") + PageSource(kind) + QLatin1Char('.')))
        return;
    const std::size_t view = kind == FlashKind ? ActiveFlashView() : ActiveEepromView();
    // The view is the user's working copy, unsaved edits included.
    if (ParsesViewFirst(command))
        ParseView(view, kind);
    // Writes: the chip in the socket checked before anything is erased, and read back after
    // when the user keeps that on.
    MemoryCommandOptions options;
    options.socket = AskingSocketCheck();
    options.verifyAfterWrite = VerifyCheckBox->isChecked();
    RecordNote note = nullptr;
    if (command == MemoryCommand::WriteProgram)
        note = [](ChipRecord& record, const chip& c) { NoteImageWritten(record, c, FlashKind); };
    else if (command == MemoryCommand::WriteData)
        note = [](ChipRecord& record, const chip& c) { NoteImageWritten(record, c, EepromKind); };
    const bool ok = RunChipJob([command, &options](const ProgContext& ctx, ChipJob& job, const ProgressFn& progress) {
        return RunMemoryCommand(command, ctx, job, progress, options);
    }, title, note);
    if (ok && RendersViewAfter(command))
        RenderView(view, kind);
    // The page now holds what the chip holds: read, no file; written, its file unchanged.
    if (ok && RendersViewAfter(command))
        PageMemoryStored(kind, QString());
    else if (ok && QuestionFor(command))
        PageMemoryStored(kind, pageFiles_[std::size_t(PageShown())][kind == FlashKind ? 0 : 1]);
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
    RunChipJob(RunReadCalibration, Button7->text(), NoteCalibration);
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
    if (!AskQuestion(ChipDataQuestion))
        return;
    const SocketCheck socket = AskingSocketCheck();
    RunChipJob([&socket](const ProgContext& ctx, ChipJob& job, const ProgressFn& progress) {
        return RunCheckedChipErase(ctx, job, progress, socket);
    }, Button11->text());
}

}  // namespace velmora
