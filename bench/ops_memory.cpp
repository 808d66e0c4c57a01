// Whole memory commands through the real serial link against the simulated gateway on a
// pseudo-terminal, paced at the real line rate (250000 baud, 11 bits a byte), DelaysValue 0.
// Each figure sets the measured time against what the line and the chip cannot avoid: the
// line time of every byte sent and received, plus every wait the protocol asks for (the 1 ms
// settle times, the ready polls that wait out the chip's busy time, the serial programming
// times). ratio = measured / (line + waits); the target is 1.10 or less.
#include "chips/selection.h"
#include "link/serialport.h"
#include "log/operationlog.h"
#include "ops/memorycommands.h"
#include "sim/ptyserver.h"
#include "sim/simchips.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace velmora;

namespace {

void RunOnPacedGateway(benchmark::State& state, const char* chipName, MemoryCommand command)
{
    const sim::SimChipModel& model = *sim::FindSimChip(chipName);
    auto gateway = std::make_shared<sim::SimGateway>(model);
    sim::PtyServer server(gateway, /*pace=*/true);
    std::string error;
    if (!server.Open(&error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::atomic<bool> stop{false};
    std::thread serving([&] { server.Serve(stop); });

    SerialLink link;
    OperationLog log;
    ChipState chips;
    SelectChip(chips, FindChipByName(chipName)->code, log, {});
    for (std::size_t i = 0; i < chips.CurrentChip.FlashImage.size(); ++i)
        chips.CurrentChip.FlashImage[i] = std::uint8_t(i * 7 + (i >> 9));
    if (!ConnectGateway(link, QString::fromStdString(server.DevicePath()), log)) {
        stop = true;
        serving.join();
        state.SkipWithError("connect failed");
        return;
    }

    double waitedMs = 0;
    const ProgContext ctx{link, log, 0, [&waitedMs](int ms) {
                              waitedMs += ms;
                              SleepMilliseconds(ms);
                          }};
    double measuredS = 0;
    bool ok = true;
    for (auto _ : state) {
        link.ResetCounters();
        waitedMs = 0;
        ChipJob job(chips);
        const auto start = std::chrono::steady_clock::now();
        ok = RunMemoryCommand(command, ctx, job, {});
        measuredS = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(measuredS);
        if (!ok) {
            state.SkipWithError("the command failed");
            break;
        }
    }
    stop = true;
    serving.join();
    if (!ok)
        return;

    const LinkCounters& n = link.Counters();
    const double lineS = double(n.bytesOut + n.bytesIn) * sim::LineUsPerByte / 1e6;
    const double waitS = waitedMs / 1000;
    state.counters["packets"] = double(n.packets);
    state.counters["bytes"] = double(n.bytesOut + n.bytesIn);
    state.counters["line_s"] = lineS;
    state.counters["waits_s"] = waitS;
    state.counters["measured_s"] = measuredS;
    state.counters["ratio"] = measuredS / (lineS + waitS);
    state.counters["KB_per_s"] = double(model.flashBytes) / 1024 / measuredS;
}

void BM_ReadProgramAtmega8(benchmark::State& state)
{
    RunOnPacedGateway(state, "ATmega8", MemoryCommand::ReadProgram);
}
void BM_ReadProgramAtmega2560(benchmark::State& state)
{
    RunOnPacedGateway(state, "ATmega2560", MemoryCommand::ReadProgram);
}
void BM_WriteProgramAtmega8(benchmark::State& state)
{
    RunOnPacedGateway(state, "ATmega8", MemoryCommand::WriteProgram);
}
void BM_ReadProgramAttiny85(benchmark::State& state)
{
    RunOnPacedGateway(state, "ATtiny85", MemoryCommand::ReadProgram);
}
BENCHMARK(BM_ReadProgramAtmega8)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteProgramAtmega8)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadProgramAttiny85)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadProgramAtmega2560)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
