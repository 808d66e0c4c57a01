// The real serial link against velmora-sim's server over a pseudo-terminal:
//  - SimExchange: host time per request/answer exchange (median reported as median_us);
//  - SimExchangePaced: 10,000 exchanges with the server pacing bytes at the line rate, the
//    measured time divided by the line time of the same bytes (line_ratio);
//  - SpiFetchOverPty: one fetch, which waits out the link's answer time (see the README).
#include "servedlink.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

using namespace velmora;

namespace {

using bench::ServedLink;

// Bus to input, OE low, read PINB: the packet of every byte read from a chip.
const GatewayPacket ReadRequest{0x0B, 0x00, 0x15, 0x10, 0x17};
// The longest read packet (fuse, lock and calibration reads): 9 bytes out, 1 in.
const GatewayPacket SelectedReadRequest{0x11, 0x0A, 0x0B, 0x00, 0x15, 0x90, 0x17, 0x15, 0x14};

void BM_SimExchange(benchmark::State& state)
{
    ServedLink served("ATmega8", false);
    if (!served.connected) {
        state.SkipWithError("connect failed");
        return;
    }
    // Whole exchange, and its send half (the write until complete) on its own.
    std::vector<double> micros, sendMicros;
    micros.reserve(200000);
    sendMicros.reserve(200000);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        served.link.SendPacket(ReadRequest);
        const auto sent = std::chrono::steady_clock::now();
        const GatewayPacket answer = served.link.ReadAnswer(1);
        const auto end = std::chrono::steady_clock::now();
        micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
        sendMicros.push_back(std::chrono::duration<double, std::micro>(sent - start).count());
        if (answer.count != 1) {
            state.SkipWithError("no answer");
            break;
        }
    }
    auto median = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    state.counters["median_us"] = median(micros);
    state.counters["send_median_us"] = median(sendMicros);
}
BENCHMARK(BM_SimExchange)->Unit(benchmark::kMicrosecond);

void BM_SimExchangePaced(benchmark::State& state)
{
    constexpr int Exchanges = 10000;
    const GatewayPacket& request = state.range(0) == 9 ? SelectedReadRequest : ReadRequest;
    ServedLink served("ATmega8", true);
    if (!served.connected) {
        state.SkipWithError("connect failed");
        return;
    }
    for (auto _ : state) {
        served.link.ResetCounters();
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < Exchanges; ++i) {
            served.link.SendPacket(request);
            if (served.link.ReadAnswer(1).count != 1) {
                state.SkipWithError("no answer");
                return;
            }
        }
        const double measured = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
        bench::ReportPaced(state, measured, served.link.Counters());
    }
}
// Argument: the request's length in bytes (5: a flash or EEPROM byte read, 9: a fuse read).
BENCHMARK(BM_SimExchangePaced)->Arg(5)->Arg(9)->Unit(benchmark::kMillisecond)->Iterations(1);

// A serial read: the gateway answers a fetch with the 4 bytes of the transfer while the
// system asks for 8, so the real link waits its whole answer time for every fetch.
void BM_SpiFetchOverPty(benchmark::State& state)
{
    ServedLink served("ATmega8", false);
    if (!served.connected) {
        state.SkipWithError("connect failed");
        return;
    }
    const GatewayPacket fetch{0x45};
    for (auto _ : state) {
        served.link.SendPacket(fetch);
        if (served.link.ReadAnswer(8).count != 4) {
            state.SkipWithError("no 4-byte answer");
            break;
        }
    }
}
BENCHMARK(BM_SpiFetchOverPty)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) { return bench::RunQtBenchmarks(argc, argv); }
