#include "app/mainwindow.h"
#include "app/portlinks.h"
#include "app/startupprobe.h"

#include "link/stopsignals.h"

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QTimer>

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
}  // namespace

int main(int argc, char* argv[])
{
    VelmoraApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    try {
        velmora::Form1 window;
        // The virtual gateway, for working without the board: the last port item (or any
        // "virtual:CHIP" typed into the box); COM1 stays the current text.
        window.SetLinkFactory(velmora::VirtualOrSerialLinkFactory());
        window.ComboBox1->addItem(QString::fromLatin1(velmora::VirtualPortItem.data(),
                                                      qsizetype(velmora::VirtualPortItem.size())));
        window.show();
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
