// Time from starting the program to its main window being shown, measured from outside:
// the program is started with the start-up probe set and says "shown" once its window is up.
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>

#include <benchmark/benchmark.h>

namespace {

void BM_StartToWindowShown(benchmark::State& state)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELMORA_STARTUP_PROBE"), QStringLiteral("1"));
    if (!env.contains(QStringLiteral("DISPLAY")) && !env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    std::vector<double> ms;
    for (auto _ : state) {
        QProcess program;
        program.setProcessEnvironment(env);
        QElapsedTimer elapsed;
        elapsed.start();
        program.start(QStringLiteral(VELMORA_BINARY), {});
        bool shown = false;
        while (!shown && program.waitForReadyRead(5000))
            shown = program.readAllStandardOutput().contains("shown");
        ms.push_back(double(elapsed.nsecsElapsed()) / 1e6);
        program.waitForFinished(5000);
        if (!shown) {
            state.SkipWithError("the window was not shown");
            return;
        }
    }
    std::sort(ms.begin(), ms.end());
    state.counters["median_ms"] = ms[ms.size() / 2];
}
BENCHMARK(BM_StartToWindowShown)->Iterations(15)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
