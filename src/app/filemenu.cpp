// The File menu handlers of Form1 that load and save the memory images.

#include "app/mainwindow.h"

#include "app/commandrunner.h"
#include "chips/filecommands.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QTabWidget>

#include <utility>

namespace velmora {

namespace {
// The chosen file type, counted from 1 in the order of the dialog's filters (hex, eep, bin).
// The dialogs live as long as the window, so the choice is remembered for the next time.
int FilterIndex(const QFileDialog& dialog)
{
    return static_cast<int>(dialog.nameFilters().indexOf(dialog.selectedNameFilter())) + 1;
}
}  // namespace

ImageFileTarget Form1::ActiveImageFile(int kind)
{
    const std::size_t view = kind == FlashKind ? ActiveFlashView() : ActiveEepromView();
    chip& c = work_.CurrentChip();
    return {kind, kind == FlashKind ? c.FlashImage : c.EepromImage, c.ImageSize(kind),
            [this, view, kind] { RenderView(view, kind); }, [this, view, kind] { ParseView(view, kind); }};
}

FileCommandContext Form1::FileContext()
{
    // Reading and writing run on the command worker: the window keeps repainting and shows the
    // progress window when a file takes long.
    return {log_, errorReporter_, {}, [this](const FileWork& work) {
                runner_->Run([&work](const CommandRunner::Progress& progress) { work(progress); });
            }};
}

QString Form1::ChooseFile(QFileDialog& dialog, const SaveFileChooser& chooser)
{
    // Every dialog starts where the user last worked, the home folder at first.
    dialog.setDirectory(lastFolder_);
    const QString name = chooser(dialog);
    if (!name.isEmpty())
        lastFolder_ = QFileInfo(name).absolutePath();
    return name;
}

bool Form1::MayReplace(const QString& path)
{
    return !QFileInfo(path).isFile() ||
           AskQuestion(QStringLiteral("%1 already exists.\nReplace it?").arg(QDir::toNativeSeparators(path)));
}

void Form1::LoadImageFileClick(int kind)
{
    const QString name = ChooseFile(*OpenDialog1(), openFileChooser_);
    if (name.isEmpty())
        return;
    LoadImageFileNamed(name, kind);
}

void Form1::LoadImageFileNamed(const QString& name, int kind)
{
    FileCommandContext context = FileContext();
    bool failed = false;
    context.reportError = [&failed, report = context.reportError](const QString& text) {
        failed = true;
        report(text);
    };
    const qsizetype firstLine = log_.Lines().size();
    ImageFileFacts facts;
    ImageFileTarget target = ActiveImageFile(kind);
    target.facts = &facts;
    LoadImageFile(name, work_.CurrentChip().SignatureCode, target, context);
    if (failed) {
        ShowResult(QStringLiteral("Failed: cannot open %1").arg(QFileInfo(name).fileName()), 3);
        return;
    }
    if (facts.fuses.Any())
        fileFuses_ = facts.fuses;
    const QStringList lines = log_.Lines().mid(firstLine);
    const bool wrong = !lines.filter(LogPrefix(LogWrongFile)).isEmpty();
    // A file with no end record may be a cut download: the result says so beside the log line.
    const bool unended = !lines.filter(NoEndRecordText(0).section(QLatin1Char(';'), 0, 0)).isEmpty();
    FileUsed(name, kind);
    PageMemoryStored(kind, QFileInfo(name).absoluteFilePath());
    ShowResult(QStringLiteral("%1 %2 into the %3 of Page%4%5")
                   .arg(wrong ? QStringLiteral("Loaded part of") : QStringLiteral("Loaded"), QFileInfo(name).fileName(),
                        kind == FlashKind ? QStringLiteral("flash") : QStringLiteral("EEPROM"))
                   .arg(PageShown() + 1)
                   .arg(unended ? QStringLiteral("; it has no end record and may be cut short") : QString()),
               wrong || unended ? 2 : 1);
}

void Form1::LoadAnyImageFile(const QString& name)
{
    if (work_.CurrentChip().SignatureCode == 0) {
        waitingFile_ = name;
        log_.WriteLog(LogPlain, QStringLiteral("The file is loaded once a chip is selected: ") + name);
        return;
    }
    ImageFileFacts facts;
    ImageFileTarget flash = ActiveImageFile(FlashKind);
    flash.facts = &facts;
    if (!ReadImageFile(name, std::nullopt, flash, FileContext()))
        return;
    if (facts.eepromSection)
        ReadImageFile(name, facts.format, ActiveImageFile(EepromKind), FileContext());
    fileFuses_ = facts.fuses;
    if (facts.fuses.Any())
        log_.WriteLog(LogPlain, QStringLiteral("The file holds lock and fuse bytes: Edit > Lock & Fuses offers them"));
}

void Form1::LoadWaitingFile()
{
    if (waitingFile_.isEmpty() || work_.CurrentChip().SignatureCode == 0)
        return;
    LoadAnyImageFile(std::exchange(waitingFile_, QString()));
}

void Form1::SaveImageFileClick(int kind)
{
    const QString name = ChooseFile(*SaveDialog1(), saveFileChooser_);
    if (name.isEmpty())
        return;
    const SaveTarget target = SaveTargetFor(name, FilterIndex(*SaveDialog1()));
    if (!MayReplace(target.name))
        return;
    FileCommandContext context = FileContext();
    bool failed = false;
    context.reportError = [&failed, report = context.reportError](const QString& text) {
        failed = true;
        report(text);
    };
    SaveImageFile(target.name, FilterIndex(*SaveDialog1()), ActiveImageFile(kind), context);
    if (failed) {
        ShowResult(QStringLiteral("Failed: cannot save %1").arg(QFileInfo(target.name).fileName()), 3);
        return;
    }
    FileUsed(target.name, kind);
    PageMemoryStored(kind, QFileInfo(target.name).absoluteFilePath());
    ShowResult(QStringLiteral("Saved the %1 of Page%2 to %3")
                   .arg(kind == FlashKind ? QStringLiteral("flash") : QStringLiteral("EEPROM"))
                   .arg(PageShown() + 1)
                   .arg(QFileInfo(target.name).fileName()),
               1);
}

void Form1::LoadProgramfromFile1Click()
{
    LoadImageFileClick(FlashKind);
}

void Form1::SaveProgramtoFile1Click()
{
    SaveImageFileClick(FlashKind);
}

void Form1::Open1Click()
{
    LoadImageFileClick(EepromKind);
}

void Form1::Save1Click()
{
    SaveImageFileClick(EepromKind);
}

}  // namespace velmora
