#pragma once
// The start-up benchmark's probe: with VELMORA_STARTUP_PROBE set, a program prints "shown WxH"
// as soon as its window is on screen, "rss N" (resident kilobytes) once it has sat idle for a
// moment, and closes the window. Header-only, so the minimal comparison window uses it as is.

#include <QFile>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace velmora {

inline long ResidentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

inline void ArmStartupProbe(QWidget& window)
{
    if (!qEnvironmentVariableIsSet("VELMORA_STARTUP_PROBE"))
        return;
    QTimer::singleShot(0, &window, [&window] {
        std::printf("shown %dx%d\n", window.width(), window.height());
        std::fflush(stdout);
    });
    QTimer::singleShot(500, &window, [&window] {
        std::printf("rss %ld\n", ResidentKilobytes());
        std::fflush(stdout);
        window.close();
    });
}

}  // namespace velmora
