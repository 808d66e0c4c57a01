// Reads and verifies whose answers are collected behind the packets that follow them, through
// the real serial link against velmora-sim's server on a pseudo-terminal: paced at the line
// rate (250000 baud, 11 bits a byte, full duplex), answers handed over with a USB serial
// adapter's latency (1 ms low-latency, 16 ms default, or none), DelaysValue 0.
//
// ratio = measured time / line time of the bytes sent: the PC's bytes are what the line must
// carry one after the other; the answers travel the other way at the same time. waits_ms are
// the protocol's own waits (settle times, SpiStart, ready polls) inside the measured time.
//
// Arguments: adapter latency in ms, and the read-ahead depth (0 synchronous, 1 small, 2 the
// default), so the figures show what the depth buys.
#include "chips/selection.h"
#include "ops/memorycommands.h"
#include "servedlink.h"
#include "timedcommand.h"

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>

using namespace velmora;

namespace {

constexpr std::array<ReadAhead, 3> Depths{SynchronousReads, ReadAhead{.answers = 8, .answerBytes = 32, .lineBytes = 96},
                                          DefaultReadAhead};

void RunCommand(benchmark::State& state, const char* chipName, MemoryCommand command)
{
    const int latencyMs = int(state.range(0));
    const ReadAhead depth = Depths.at(std::size_t(state.range(1)));
    bench::ServedLink served(chipName, /*pace=*/true, sim::AnswerLatency{.latencyMs = latencyMs});
    if (!served.connected) {
        state.SkipWithError("connect failed");
        return;
    }
    ChipState chips;
    SelectChip(chips, FindChipByName(chipName)->code, served.log, {});
    // The chip holds a pattern; a verify compares it with the same image.
    std::vector<std::uint8_t>& flash = served.gateway->Chip().Flash();
    for (std::size_t i = 0; i < flash.size(); ++i)
        flash[i] = std::uint8_t(i * 7 + (i >> 9));
    std::copy(flash.begin(), flash.end(), chips.CurrentChip.FlashImage.begin());

    double waitedMs = 0;
    const ProgContext ctx{served.link, served.log, 0,
                          bench::CountingSleeper(waitedMs),
                          nullptr, depth};
    for (auto _ : state) {
        double measuredUs = 0;
        if (!bench::TimedMemoryCommand(state, command, ctx, chips, waitedMs, measuredUs))
            return;
        const LinkCounters& c = served.link.Counters();
        const double lineUs = double(c.bytesOut) * sim::LineBitsPerByte * 1e6 / sim::LineBaud;
        state.counters["measured_ms"] = measuredUs / 1000;
        state.counters["line_ms"] = lineUs / 1000;
        state.counters["waits_ms"] = waitedMs;
        state.counters["ratio"] = measuredUs / lineUs;
        state.counters["answers"] = double(c.answers);
    }
}

void BM_ReadAtmega8(benchmark::State& state) { RunCommand(state, "ATmega8", MemoryCommand::ReadProgram); }
void BM_VerifyAtmega8(benchmark::State& state) { RunCommand(state, "ATmega8", MemoryCommand::VerifyProgram); }
void BM_ReadAttiny85(benchmark::State& state) { RunCommand(state, "ATtiny85", MemoryCommand::ReadProgram); }
void BM_ReadAtmega2560(benchmark::State& state) { RunCommand(state, "ATmega2560", MemoryCommand::ReadProgram); }
void BM_WriteAtmega8(benchmark::State& state) { RunCommand(state, "ATmega8", MemoryCommand::WriteProgram); }
void BM_WriteAttiny85(benchmark::State& state) { RunCommand(state, "ATtiny85", MemoryCommand::WriteProgram); }

#define VELMORA_READ_BENCH(fn) BENCHMARK(fn)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond)
// {latency ms, depth}
VELMORA_READ_BENCH(BM_ReadAtmega8)->Args({0, 2})->Args({1, 0})->Args({1, 1})->Args({1, 2})->Args({16, 1})->Args({16, 2});
VELMORA_READ_BENCH(BM_VerifyAtmega8)->Args({0, 2})->Args({1, 2})->Args({16, 2});
VELMORA_READ_BENCH(BM_ReadAttiny85)->Args({0, 2})->Args({1, 0})->Args({1, 2})->Args({16, 2});
VELMORA_READ_BENCH(BM_ReadAtmega2560)->Args({0, 2})->Args({1, 2});
VELMORA_READ_BENCH(BM_WriteAtmega8)->Args({0, 2})->Args({1, 2});
VELMORA_READ_BENCH(BM_WriteAttiny85)->Args({0, 2})->Args({1, 2});

}  // namespace

int main(int argc, char** argv) { return bench::RunQtBenchmarks(argc, argv); }
