#pragma once
// Widget tests share one QApplication per test process; each call makes sure it exists.

#include <QApplication>

namespace velmora::testing {

inline QApplication* EnsureApplication()
{
    static int argc = 1;
    static char name[] = "velmora-test";
    static char* argv[] = {name, nullptr};
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance()))
        return existing;
    return new QApplication(argc, argv);
}

}  // namespace velmora::testing
