// The serial units' speed.
//  - Attiny85FlashReadPaced: Read Program of the whole ATtiny85 flash through its unit and the
//    real serial link against velmora-sim's server pacing at the line rate; the measured time
//    divided by the line time of the bytes sent and received plus the waits the unit asked
//    for (the 20 ms after SpiStart, DelaysValue after each instruction): ratio.
#include "chips/catalogue.h"
#include "chips/chip.h"
#include "chips/chiptarget.h"
#include "families/units.h"
#include "servedlink.h"

#include <benchmark/benchmark.h>

#include <chrono>

using namespace velmora;

namespace {

void BM_Attiny85FlashReadPaced(benchmark::State& state)
{
    bench::ServedLink served("ATtiny85", true);
    const ChipEntry& entry = *FindChipByName("ATtiny85");
    const FamilyUnit& unit = units::Attiny25();
    chip image;
    ChipTarget target = TargetOf(image, entry);
    double waitedMs = 0;
    const ProgContext ctx{served.link, served.log, int(state.range(0)), [&waitedMs](int ms) {
                              waitedMs += ms;
                              SleepMilliseconds(ms);
                          }};
    if (!served.connected) {
        state.SkipWithError("connect failed");
        return;
    }
    for (auto _ : state) {
        served.link.ResetCounters();
        waitedMs = 0;
        const auto start = std::chrono::steady_clock::now();
        // The simulated chip keeps its 20 ms reset time on the machine's clock; a server that
        // sees SpiStart late misses the echo: try again, as a user would.
        bool ok = false;
        for (int attempt = 0; attempt < 3 && !ok; ++attempt)
            ok = unit.EnterProgrammingMode(ctx, target);
        for (std::uint32_t pos = 0; ok && pos < entry.flashSize; ++pos)
            ok = unit.ReadFlashByte(ctx, target, pos, false);
        if (!ok) {
            state.SkipWithError("read failed");
            return;
        }
        const double measuredMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        const double lineMs = bench::LineMicros(served.link.Counters()) / 1000;
        state.counters["measured_ms"] = measuredMs;
        state.counters["line_ms"] = lineMs;
        state.counters["waits_ms"] = waitedMs;
        state.counters["ratio"] = measuredMs / (lineMs + waitedMs);
    }
}
// Argument: DelaysValue (0, and the window's default 1).
BENCHMARK(BM_Attiny85FlashReadPaced)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) { return bench::RunQtBenchmarks(argc, argv); }
