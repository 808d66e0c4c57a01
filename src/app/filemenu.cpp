// The File menu handlers of Form1 that load and save the memory images.

#include "app/mainwindow.h"

#include "app/commandrunner.h"
#include "chips/filecommands.h"

#include <QFileDialog>
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

void Form1::LoadImageFileClick(int kind)
{
    const QString name = openFileChooser_(*OpenDialog1());
    if (name.isEmpty())
        return;
    ImageFileFacts facts;
    ImageFileTarget target = ActiveImageFile(kind);
    target.facts = &facts;
    LoadImageFile(name, work_.CurrentChip().SignatureCode, target, FileContext());
    if (facts.fuses.Any())
        fileFuses_ = facts.fuses;
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
    const QString name = saveFileChooser_(*SaveDialog1());
    if (name.isEmpty())
        return;
    SaveImageFile(name, FilterIndex(*SaveDialog1()), ActiveImageFile(kind), FileContext());
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
