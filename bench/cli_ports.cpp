// Several gateways from one call against one: velmora-cli programs an ATmega8 (write and
// verify 8 KiB of flash, a serial number into the EEPROM) on one paced velmora-sim, then on two
// at once. Each gateway has its own line, so two should take hardly longer than one;
// ratio = two / one, the target is 1.2 or less.
#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

namespace {

// A paced simulated gateway on a pseudo-terminal, for the time of one run.
class PacedSim {
public:
    PacedSim()
    {
        process_.start(QStringLiteral(VELMORA_SIM_PATH), {QStringLiteral("--pace")});
        if (process_.waitForStarted(5000) && process_.waitForReadyRead(5000))
            device_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
    ~PacedSim()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }
    const QString& Device() const { return device_; }

private:
    QProcess process_;
    QString device_;
};

// Seconds the run took; negative when it failed.
double TimedRun(int gateways, const QString& program)
{
    std::vector<std::unique_ptr<PacedSim>> sims;
    QStringList args;
    for (int i = 0; i < gateways; ++i) {
        sims.push_back(std::make_unique<PacedSim>());
        if (sims.back()->Device().isEmpty())
            return -1;
        args << QStringLiteral("--port") << sims.back()->Device();
    }
    args << QStringLiteral("--delay") << QStringLiteral("0") << QStringLiteral("--yes") << QStringLiteral("--serial")
         << QStringLiteral("eeprom:0:1000") << QStringLiteral("select") << QStringLiteral("ATmega8")
         << QStringLiteral("write-flash") << program << QStringLiteral("verify-flash") << program;
    QProcess cli;
    const auto start = std::chrono::steady_clock::now();
    cli.start(QStringLiteral(VELMORA_CLI_PATH), args);
    if (!cli.waitForFinished(300000) || cli.exitCode() != 0)
        return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_TwoGatewaysAgainstOne(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("fw.bin"));
    {
        QFile file(program);
        QByteArray bytes(8192, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i * 7 + (i >> 9));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            state.SkipWithError("cannot write the program file");
            return;
        }
    }
    for (auto _ : state) {
        const double one = TimedRun(1, program);
        const double two = TimedRun(2, program);
        if (one < 0 || two < 0) {
            state.SkipWithError("a run failed");
            return;
        }
        state.SetIterationTime(two);
        state.counters["one_s"] = one;
        state.counters["two_s"] = two;
        state.counters["ratio"] = two / one;
    }
}
BENCHMARK(BM_TwoGatewaysAgainstOne)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
