// The yardstick of the start-up benchmark: the least a Qt Widgets program does to show a window
// of the main window's size, built with the same compiler, flags and Qt, with the same probe.
#include "app/startupprobe.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QLabel(QStringLiteral("Velmora"), &window));
    window.resize(698, 579);
    window.show();
    velmora::ArmStartupProbe(window);
    return app.exec();
}
