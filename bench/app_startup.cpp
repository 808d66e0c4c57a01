// Time from starting the program to its main window being shown, and its resident memory once
// idle, measured from outside, for the program and for a minimal Qt Widgets window built the
// same way: both are started with the start-up probe set and say "shown" once their window is
// up and "rss N" a moment later. The ratios are the figures to watch (targets: 1.3 and 1.2).
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

struct Start {
    double ms = 0;
    double rssKb = 0;
    bool shown = false;
};

Start StartOnce(const QString& binary)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELMORA_STARTUP_PROBE"), QStringLiteral("1"));
    if (!env.contains(QStringLiteral("DISPLAY")) && !env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess program;
    program.setProcessEnvironment(env);
    Start start;
    QElapsedTimer elapsed;
    elapsed.start();
    program.start(binary, {});
    QByteArray out;
    while (!start.shown && program.waitForReadyRead(5000)) {
        out += program.readAllStandardOutput();
        start.shown = out.contains("shown");
    }
    start.ms = double(elapsed.nsecsElapsed()) / 1e6;
    program.waitForFinished(5000);
    out += program.readAllStandardOutput();
    const qsizetype at = out.indexOf("rss ");
    if (at >= 0)
        start.rssKb = out.mid(at + 4).split('\n').first().toDouble();
    return start;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Medians of both programs, started alternately so that load on the machine hits both alike.
void BM_StartToWindowShown(benchmark::State& state)
{
    std::vector<double> appMs, appRss, minMs, minRss;
    for (auto _ : state) {
        const Start app = StartOnce(QStringLiteral(VELMORA_BINARY));
        const Start minimal = StartOnce(QStringLiteral(MINIMAL_BINARY));
        if (!app.shown || !minimal.shown) {
            state.SkipWithError("a window was not shown");
            return;
        }
        appMs.push_back(app.ms);
        appRss.push_back(app.rssKb);
        minMs.push_back(minimal.ms);
        minRss.push_back(minimal.rssKb);
    }
    state.counters["app_ms"] = Median(appMs);
    state.counters["minimal_ms"] = Median(minMs);
    state.counters["time_ratio"] = Median(appMs) / Median(minMs);
    state.counters["app_rss_kb"] = Median(appRss);
    state.counters["minimal_rss_kb"] = Median(minRss);
    state.counters["rss_ratio"] = Median(appRss) / Median(minRss);
}
BENCHMARK(BM_StartToWindowShown)->Iterations(15)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
