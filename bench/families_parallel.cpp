// The parallel units' traffic and speed.
//  - FlashWordTraffic: packets, bytes out and bytes in per flash word of ReadFlashWord and
//    LoadFlashWord over a whole ATmega8 pass (in process, virtual time), and the line time
//    they need per word: the floor no implementation of the same packets can go below.
//  - Atmega8FlashReadPaced: Read Program of the whole ATmega8 flash through the unit and the
//    real serial link against velmora-sim's server pacing at the line rate; the measured time
//    divided by the line time of the bytes sent and received (a read keeps the chip idle, so
//    there is no busy time to add): line_ratio.
#include "chips/catalogue.h"
#include "families/units.h"
#include "servedlink.h"
#include "sim/simlink.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

using namespace velmora;

namespace {

struct Images {
    explicit Images(const ChipEntry& e) : entry(e), flash(e.flashSize, 0x5A), eeprom(e.eepromSize, 0xFF) {}
    ChipTarget Target()
    {
        return ChipTarget{entry, flash, eeprom, std::span<std::uint8_t, 8>(fuses), entry.calibrationCount,
                          std::span<std::uint8_t, 8>(calibration)};
    }
    const ChipEntry& entry;
    std::vector<std::uint8_t> flash, eeprom;
    std::array<std::uint8_t, 8> fuses{}, calibration{};
};

void BM_FlashWordTraffic(benchmark::State& state)
{
    const bool read = state.range(0) == 0;
    const ChipEntry& entry = *FindChipByName("ATmega8");
    const FamilyUnit& unit = units::Atmega8();
    sim::SimLink link(*sim::FindSimChip("ATmega8"), true);
    link.Open(QStringLiteral("virtual"));
    OperationLog log;
    const ProgContext ctx{link, log, 0, link.Sleeper()};
    Images images(entry);
    ChipTarget t = images.Target();
    const double words = entry.flashSize / 2.0;
    for (auto _ : state) {
        if (!unit.EnterProgrammingMode(ctx, t)) {
            state.SkipWithError("entry failed");
            return;
        }
        link.ResetCounters();
        for (std::uint32_t pos = 0; pos < entry.flashSize; pos += 2) {
            if (!(read ? unit.ReadFlashWord(ctx, t, pos, false) : unit.LoadFlashWord(ctx, t, pos))) {
                state.SkipWithError("pass failed");
                return;
            }
        }
        const LinkCounters& c = link.Counters();
        state.counters["packets_per_word"] = double(c.packets) / words;
        state.counters["bytes_out_per_word"] = double(c.bytesOut) / words;
        state.counters["bytes_in_per_word"] = double(c.bytesIn) / words;
        state.counters["line_us_per_word"] = bench::LineMicros(c) / words;
    }
}
// Argument 0: ReadFlashWord, 1: LoadFlashWord.
BENCHMARK(BM_FlashWordTraffic)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Atmega8FlashReadPaced(benchmark::State& state)
{
    const ChipEntry& entry = *FindChipByName("ATmega8");
    const FamilyUnit& unit = units::Atmega8();
    bench::ServedLink served("ATmega8", true);
    if (!served.connected) {
        state.SkipWithError("connect failed");
        return;
    }
    const ProgContext ctx{served.link, served.log, 0};
    Images images(entry);
    ChipTarget t = images.Target();
    for (auto _ : state) {
        if (!unit.EnterProgrammingMode(ctx, t)) {
            state.SkipWithError("entry failed");
            return;
        }
        served.link.ResetCounters();
        const auto start = std::chrono::steady_clock::now();
        for (std::uint32_t pos = 0; pos < entry.flashSize; pos += 2) {
            if (!unit.ReadFlashWord(ctx, t, pos, false)) {
                state.SkipWithError("read failed");
                return;
            }
        }
        const double measured = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
        bench::ReportPaced(state, measured, served.link.Counters());
    }
}
BENCHMARK(BM_Atmega8FlashReadPaced)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) { return bench::RunQtBenchmarks(argc, argv); }
