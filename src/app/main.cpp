#include "app/mainwindow.h"
#include "session/portlinks.h"
#include "app/startupprobe.h"

#include "link/stopsignals.h"

#include <QApplication>
#include <QComboBox>
#include <QIcon>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <exception>

namespace {
// Shows an error that escaped a handler in the standard error box; the application goes on.
class VelmoraApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            QMessageBox::critical(activeWindow(), QStringLiteral("Velmora"), QString::fromLocal8Bit(e.what()));
        } catch (...) {
            QMessageBox::critical(activeWindow(), QStringLiteral("Velmora"), QStringLiteral("Unknown error"));
        }
        return false;
    }
};
const char Usage[] =
    "usage: velmora [FILE]\n"
    "       velmora --help | --version\n"
    "The window of the programmer for AVR microcontrollers through the KV-4417 serial gateway.\n"
    "  FILE       an image file to load at start: Intel HEX (.hex, .eep), Motorola S-record\n"
    "             (.srec, .s19), an avr-gcc ELF file (.elf) or a binary image (.bin, .raw); it is\n"
    "             loaded into the program memory (and the EEPROM, when it holds EEPROM data) once\n"
    "             a chip is selected\n"
    "  --help     print this text\n"
    "  --version  print the version\n"
    "Qt's own options (-platform, -style, ...) are taken too.\n";
}  // namespace

int main(int argc, char* argv[])
{
    // Answered before any window system is asked for, so they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("velmora %s\n", VELMORA_VERSION);
            return 0;
        }
    }
    VelmoraApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    QApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    // The desktop entry's name ties the window to its menu entry and icon on Wayland and in
    // task bars; the icon itself comes from the theme once installed, else from the program.
    QGuiApplication::setDesktopFileName(QStringLiteral("velmora"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("velmora"), QIcon(QStringLiteral(":/velmora.svg"))));
    try {
        velmora::Form1 window;
        // The virtual gateway, for working without the board: the last port item (or any
        // "virtual:CHIP" typed into the box); COM1 stays the current text.
        window.SetPortLinkFactory(velmora::VirtualOrSerialLinkFactory());
        window.ComboBox1->addItem(QString::fromLatin1(velmora::VirtualPortItem.data(),
                                                      qsizetype(velmora::VirtualPortItem.size())));
        window.FitPortBox(velmora::VirtualPortTexts());
        // ~/.config/Velmora/velmora.ini: the port text, the last folder, recent files, geometry.
        window.UseSettings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                       QStringLiteral("Velmora"), QStringLiteral("velmora")));
        window.show();
        // A file from the desktop entry (%f) or the command line; Qt has taken its own options.
        const QStringList args = QApplication::arguments();
        if (args.size() > 1)
            window.LoadAnyImageFile(args.at(1));
        velmora::ArmStartupProbe(window);
        // SIGINT, SIGTERM and SIGHUP end a running command at its next step (supplies off, port
        // closed); the window then closes as by its close button, releasing the port.
        velmora::InstallStopSignals();
        QTimer stopWatch;
        QObject::connect(&stopWatch, &QTimer::timeout, &window, [&window] {
            if (velmora::StopRequested())
                window.close();
        });
        stopWatch.start(100);
        const int status = app.exec();
        return velmora::StopRequested() ? 128 + velmora::StopSignal() : status;
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Velmora"), QString::fromLocal8Bit(e.what()));
        return 1;
    }
}
