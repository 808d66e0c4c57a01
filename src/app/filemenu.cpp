// The File menu handlers of Form1 that load and save the memory images.

#include "app/mainwindow.h"

#include "chips/filecommands.h"

#include <QFileDialog>
#include <QTabWidget>

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
    return {log_, errorReporter_, {}};
}

void Form1::LoadImageFileClick(int kind)
{
    const QString name = openFileChooser_(*OpenDialog1);
    if (name.isEmpty())
        return;
    LoadImageFile(name, work_.CurrentChip().SignatureCode, ActiveImageFile(kind), FileContext());
}

void Form1::SaveImageFileClick(int kind)
{
    const QString name = saveFileChooser_(*SaveDialog1);
    if (name.isEmpty())
        return;
    SaveImageFile(name, FilterIndex(*SaveDialog1), ActiveImageFile(kind), FileContext());
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
