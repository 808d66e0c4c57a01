#pragma once
// The real serial link connected to velmora-sim's server over a pseudo-terminal, the server
// serving one simulated chip on its own thread (optionally pacing bytes at the line rate).

#include "link/serialport.h"
#include "log/operationlog.h"
#include "sim/ptyserver.h"
#include "sim/simchips.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <atomic>
#include <memory>
#include <string_view>
#include <thread>

namespace velmora::bench {

struct ServedLink {
    ServedLink(std::string_view chip, bool pace, sim::AnswerLatency latency = {})
        : gateway(std::make_shared<sim::SimGateway>(*sim::FindSimChip(chip))), server(gateway, pace, latency)
    {
        if (!server.Open(nullptr))
            return;
        thread = std::thread([this] { server.Serve(stop); });
        connected = ConnectGateway(link, QString::fromStdString(server.DevicePath()), log);
    }
    ~ServedLink()
    {
        link.CloseGateway();
        stop = true;
        if (thread.joinable())
            thread.join();
    }

    std::shared_ptr<sim::SimGateway> gateway;
    sim::PtyServer server;
    std::atomic<bool> stop{false};
    std::thread thread;
    SerialLink link;
    OperationLog log;
    bool connected = false;
};

// The millisecond sleep of a timed run: it sleeps, and adds up the waits the protocol asked for.
inline MillisecondSleeper CountingSleeper(double& waitedMs)
{
    return [&waitedMs](int ms) {
        waitedMs += ms;
        SleepMilliseconds(ms);
    };
}

// The time the line needs for the bytes counted on link, in microseconds.
inline double LineMicros(const LinkCounters& c)
{
    return double(c.bytesOut + c.bytesIn) * sim::LineBitsPerByte * 1e6 / sim::LineBaud;
}

// The paced figures of one timed run: measured time, the line time of its bytes (plus the
// chip's busy time, if any) and their ratio.
inline void ReportPaced(benchmark::State& state, double measuredUs, const LinkCounters& c, double busyUs = 0)
{
    const double line = LineMicros(c) + busyUs;
    state.counters["measured_ms"] = measuredUs / 1000;
    state.counters["line_ms"] = line / 1000;
    state.counters["line_ratio"] = measuredUs / line;
}

// main() of a benchmark that needs a Qt application (the serial link's event loop).
inline int RunQtBenchmarks(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace velmora::bench
