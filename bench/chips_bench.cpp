// Choosing the largest chip: the catalogue lookup, both images blanked, four views laid out
// (16,384 flash lines twice), in the core and through the window's menu item.
#include "app/hexdumpview.h"
#include "app/mainwindow.h"
#include "log/operationlog.h"
#include "views/workspace.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>

using namespace velmora;

namespace {

void BM_SelectAtmega2560Core(benchmark::State& state)
{
    Workspace work;
    OperationLog log;
    const ChipEntry& entry = *FindChipByName("ATmega2560");
    for (auto _ : state)
        benchmark::DoNotOptimize(work.SelectMenuEntry(entry, log));
}
BENCHMARK(BM_SelectAtmega2560Core)->Unit(benchmark::kMillisecond);

int argc = 1;
char arg0[] = "bench_chips";
char* argv[] = {arg0, nullptr};

void BM_SelectAtmega2560Window(benchmark::State& state)
{
    static QApplication* app = new QApplication(argc, argv);
    Form1 window;
    window.show();
    QAction* item = window.ChipItems.value(QStringLiteral("ATmega2560"));
    for (auto _ : state) {
        item->trigger();
        benchmark::DoNotOptimize(window.RichEdit1->viewport()->grab());
        benchmark::DoNotOptimize(window.RichEdit3->viewport()->grab());
    }
    app->processEvents();
}
BENCHMARK(BM_SelectAtmega2560Window)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
