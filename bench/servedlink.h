#pragma once
// The real serial link connected to velmora-sim's server over a pseudo-terminal, the server
// serving one simulated chip on its own thread (optionally pacing bytes at the line rate).

#include "link/serialport.h"
#include "log/operationlog.h"
#include "sim/ptyserver.h"
#include "sim/simchips.h"

#include <atomic>
#include <memory>
#include <string_view>
#include <thread>

namespace velmora::bench {

struct ServedLink {
    ServedLink(std::string_view chip, bool pace)
        : gateway(std::make_shared<sim::SimGateway>(*sim::FindSimChip(chip))), server(gateway, pace)
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

// The time the line needs for the bytes counted on link, in microseconds.
inline double LineMicros(const LinkCounters& c)
{
    return double(c.bytesOut + c.bytesIn) * sim::LineBitsPerByte * 1e6 / sim::LineBaud;
}

}  // namespace velmora::bench
