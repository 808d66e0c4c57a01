// Whole memory commands through the real serial link against the simulated gateway on a
// pseudo-terminal, paced at the real line rate (250000 baud, 11 bits a byte), DelaysValue 0.
// Each figure sets the measured time against what the line and the chip cannot avoid: the
// line time of every byte sent and received, plus every wait the protocol asks for (the 1 ms
// settle times, the ready polls that wait out the chip's busy time, the serial programming
// times). line_ratio = measured / (line + waits); the target is 1.10 or less.
#include "chips/selection.h"
#include "ops/memorycommands.h"
#include "servedlink.h"
#include "timedcommand.h"

#include <benchmark/benchmark.h>

#include <chrono>

using namespace velmora;

namespace {

void RunOnPacedGateway(benchmark::State& state, const char* chipName, MemoryCommand command)
{
    bench::ServedLink served(chipName, /*pace=*/true);
    if (!served.connected) {
        state.SkipWithError("connect failed");
        return;
    }
    ChipState chips;
    SelectChip(chips, FindChipByName(chipName)->code, served.log, {});
    for (std::size_t i = 0; i < chips.CurrentChip.FlashImage.size(); ++i)
        chips.CurrentChip.FlashImage[i] = std::uint8_t(i * 7 + (i >> 9));
    for (std::size_t i = 0; i < chips.CurrentChip.EepromImage.size(); ++i)
        chips.CurrentChip.EepromImage[i] = std::uint8_t(i * 3 + 1);

    double waitedMs = 0;
    const ProgContext ctx{served.link, served.log, 0, bench::CountingSleeper(waitedMs)};
    for (auto _ : state) {
        double measuredUs = 0;
        if (!bench::TimedMemoryCommand(state, command, ctx, chips, waitedMs, measuredUs))
            return;
        // The waits the protocol asked for (settle times, ready polls over the chip's busy
        // time, serial programming times) count like the chip's own busy time.
        bench::ReportPaced(state, measuredUs, served.link.Counters(), waitedMs * 1000);
        state.counters["waits_ms"] = waitedMs;
        state.counters["packets"] = double(served.link.Counters().packets);
        state.counters["KB_per_s"] = double(chips.CurrentChip.flashSize) / 1024 / (measuredUs / 1e6);
    }
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
// Writes over the modelled line: every wait starts when the gateway has the bytes, so the
// measured time is the line time plus the datasheet waits plus what the waiting itself costs
// (the answered link checks, the adapter margin after the line clock).
void BM_WriteOverTheLine(benchmark::State& state, const char* chipName, MemoryCommand command)
{
    RunOnPacedGateway(state, chipName, command);
}
BENCHMARK_CAPTURE(BM_WriteOverTheLine, ProgramAttiny85, "ATtiny85", MemoryCommand::WriteProgram)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteOverTheLine, ProgramAttiny13, "ATtiny13", MemoryCommand::WriteProgram)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteOverTheLine, ProgramAt90s2323, "AT90S2323", MemoryCommand::WriteProgram)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteOverTheLine, DataAttiny85, "ATtiny85", MemoryCommand::WriteData)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteOverTheLine, ProgramAt90s8515, "AT90S8515", MemoryCommand::WriteProgram)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteOverTheLine, DataAtmega8, "ATmega8", MemoryCommand::WriteData)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadProgramAtmega8)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteProgramAtmega8)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadProgramAttiny85)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadProgramAtmega2560)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return bench::RunQtBenchmarks(argc, argv); }
