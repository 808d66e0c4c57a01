// Draws the pictures of the user guide from the real windows: the main window after a read
// on the virtual gateway, the Lock & Fuses dialog of chips with different layouts and the
// connection picture window, each saved as PNG into the folder given. With --all-layouts it
// also draws the dialog of every fuse layout, for looking them over.
#include "app/imageform.h"
#include "app/lockfusesform.h"
#include "app/mainwindow.h"
#include "session/portlinks.h"
#include "fuses/fuselayout.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QTextStream>

#include <cstdio>

using namespace velmora;

namespace {
bool Save(QWidget& widget, const QDir& folder, const QString& name)
{
    widget.show();
    QApplication::processEvents();
    const QString path = folder.filePath(name);
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "velmora-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

bool SaveLockFuses(Form1& window, const ChipEntry& chip, const QDir& folder, const QString& name)
{
    window.ChipItemClick(chip);
    TLockFusesForm form(window.LockFusesHost(), &window);
    return Save(form, folder, name);
}
}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: velmora-screenshots FOLDER [--all-layouts]\n");
        return 2;
    }
    const QDir folder(args[1]);
    if (!QDir().mkpath(folder.path()))
        return 1;
    bool ok = true;

    Form1 window;
    window.SetPortLinkFactory(VirtualOrSerialLinkFactory());
    window.ComboBox1->setCurrentText(QStringLiteral("virtual:ATmega8"));
    window.FitPortBox(VirtualPortTexts());
    window.show();
    window.Button1Click();
    window.Button3Click();
    window.Button4Click();
    ok = Save(window, folder, QStringLiteral("main-window.png")) && ok;

    ok = SaveLockFuses(window, *FindChipByName("ATmega8"), folder, QStringLiteral("lockfuses-atmega8.png")) && ok;
    ok = SaveLockFuses(window, *FindChipByName("AT90S2313"), folder, QStringLiteral("lockfuses-at90s2313.png")) && ok;
    ok = SaveLockFuses(window, *FindChipByName("ATmega2560"), folder, QStringLiteral("lockfuses-atmega2560.png")) && ok;
    if (args.contains(QStringLiteral("--all-layouts")))
        for (const FuseLayout& layout : FuseLayouts())
            ok = SaveLockFuses(window, FirstChipOf(layout), folder,
                               QStringLiteral("layout-%1.png").arg(layout.number, 2, 10, QLatin1Char('0'))) &&
                 ok;

    TImageForm picture(FindChipByName("ATmega8"));
    ok = Save(picture, folder, QStringLiteral("picture-atmega8.png")) && ok;
    TImageForm missing(FindChipByName("ATmega103"));
    ok = Save(missing, folder, QStringLiteral("picture-missing.png")) && ok;
    return ok ? 0 : 1;
}
