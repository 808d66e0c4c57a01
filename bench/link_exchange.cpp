// One request/answer exchange through the real serial link over a pseudo-terminal, with a
// peer thread that answers every byte at once: the host's own cost per exchange.
#include "link/serialport.h"
#include "log/operationlog.h"
#include "support/pty.h"

#include <benchmark/benchmark.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace velmora;

namespace {

void BM_SerialExchange(benchmark::State& state)
{
    testing::PtyPeer peer;
    std::atomic<bool> stop{false};
    // The peer answers the handshake and every later ReadPinB with one byte.
    std::thread gateway([&] {
        std::uint8_t buffer[64];
        while (!stop) {
            pollfd p{peer.MasterFd(), POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const ssize_t n = ::read(peer.MasterFd(), buffer, sizeof buffer);
            for (ssize_t i = 0; i < n; ++i) {
                if (buffer[i] == 0x04 || buffer[i] == 0x17) {
                    const std::uint8_t answer = 0xA5;
                    while (::write(peer.MasterFd(), &answer, 1) != 1) {}
                }
            }
        }
    });

    SerialLink link;
    OperationLog log;
    if (!ConnectGateway(link, QString::fromStdString(peer.SlavePath()), log)) {
        stop = true;
        gateway.join();
        state.SkipWithError("connect failed");
        return;
    }
    std::vector<double> micros;
    micros.reserve(100000);
    const GatewayPacket request{0x0B, 0x00, 0x15, 0x10, 0x17};  // bus to input, OE low, read
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        link.SendPacket(request);
        const GatewayPacket answer = link.ReadAnswer(1);
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        if (answer.count != 1) {
            state.SkipWithError("no answer");
            break;
        }
    }
    stop = true;
    gateway.join();
    if (!micros.empty()) {
        const auto ranked = [&micros](std::size_t k) {
            const auto at = micros.begin() + static_cast<std::ptrdiff_t>(k);
            std::nth_element(micros.begin(), at, micros.end());
            return *at;
        };
        state.counters["median_us"] = ranked(micros.size() / 2);
        state.counters["p99_us"] = ranked(micros.size() * 99 / 100);
    }
}
BENCHMARK(BM_SerialExchange)->Iterations(20000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
