// The figures that keep the hex views instant: rendering and parsing the largest flash view,
// one edited key (in the core and through the widget), painting a view, and the memory the
// four views of the largest chip hold.
#include "app/hexdumpview.h"
#include "app/mainwindow.h"
#include "log/operationlog.h"
#include "views/dumptext.h"
#include "views/workspace.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QPixmap>

#include <random>

using namespace velmora;

namespace {

void SelectLargest(Workspace& work, OperationLog& log)
{
    work.SelectMenuEntry(*FindChipByName("ATmega2560"), log);
    std::mt19937 random(1);
    for (auto& b : work.CurrentChip().FlashImage)
        b = static_cast<std::uint8_t>(random());
}

void BM_RenderView256K(benchmark::State& state)
{
    Workspace work;
    OperationLog log;
    SelectLargest(work, log);
    for (auto _ : state) {
        work.RenderView(1, FlashKind);
        benchmark::DoNotOptimize(work.views[1].text.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(FlashImageSize));
}
BENCHMARK(BM_RenderView256K)->Unit(benchmark::kMillisecond);

void BM_ParseView256K(benchmark::State& state)
{
    Workspace work;
    OperationLog log;
    SelectLargest(work, log);
    work.RenderView(1, FlashKind);
    for (auto _ : state) {
        work.ParseView(1, FlashKind);
        benchmark::DoNotOptimize(work.CurrentChip().FlashImage.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(FlashImageSize));
}
BENCHMARK(BM_ParseView256K)->Unit(benchmark::kMillisecond);

void BM_KeyEditCore(benchmark::State& state)
{
    Workspace work;
    OperationLog log;
    SelectLargest(work, log);
    work.SetCaret(1, 8000 * 82 + 10);
    const dump::KeyStroke keys[] = {dump::KeyStroke::Char('A'), dump::KeyStroke::Char('5'), dump::KeyStroke::Back()};
    std::size_t i = 0;
    for (auto _ : state)
        work.KeyDown(1, keys[i++ % 3]);
}
BENCHMARK(BM_KeyEditCore)->Unit(benchmark::kMicrosecond);

int argc = 1;
char arg0[] = "bench_views";
char* argv[] = {arg0, nullptr};

// A key event through the real window: handler, core edit, caret kept visible, a full paint.
void BM_KeyEditWindow(benchmark::State& state)
{
    static QApplication* app = new QApplication(argc, argv);
    Form1 window;
    window.show();
    window.ChipItems.value(QStringLiteral("ATmega2560"))->trigger();
    window.RichEdit1->setFocus();
    window.Work().SetCaret(1, 8000 * 82 + 10);
    const int keys[] = {Qt::Key_A, Qt::Key_5, Qt::Key_Backspace};
    std::size_t i = 0;
    for (auto _ : state) {
        const int key = keys[i++ % 3];
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, key == Qt::Key_Backspace ? QString() : QString(QChar(key)));
        QApplication::sendEvent(window.RichEdit1, &press);
        // grab() paints for certain, also where the platform has no screen.
        benchmark::DoNotOptimize(window.RichEdit1->viewport()->grab());
    }
    app->processEvents();
}
BENCHMARK(BM_KeyEditWindow)->Unit(benchmark::kMicrosecond);

void BM_MemoryOfTheFourViews(benchmark::State& state)
{
    Workspace work;
    OperationLog log;
    std::size_t bytes = 0;
    for (auto _ : state) {
        work.SelectMenuEntry(*FindChipByName("ATmega2560"), log);
        bytes = 0;
        for (std::size_t v = 1; v <= 4; ++v)
            bytes += work.views[v].text.capacity();
    }
    state.counters["view_bytes"] = static_cast<double>(bytes);
    state.counters["view_MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
}
BENCHMARK(BM_MemoryOfTheFourViews)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
