#pragma once
// Serves one simulated gateway on a pseudo-terminal, so the real serial link (QSerialPort)
// can be tested end to end. Optionally paces both directions at the real line rate.

#include "sim/simgateway.h"

#include <atomic>
#include <memory>
#include <string>

namespace velmora::sim {

class PtyServer {
public:
    PtyServer(std::shared_ptr<SimGateway> gateway, bool pace);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens the pseudo-terminal; false with *error set when the system refuses.
    bool Open(std::string* error);
    // The device a client opens, e.g. /dev/pts/7.
    const std::string& DevicePath() const { return devicePath_; }
    // Serves until stop becomes true, or the fault "unplugged" hits (the device then goes
    // away: the pseudo-terminal is closed under the client).
    void Serve(const std::atomic<bool>& stop);

private:
    void Close();
    void WriteAll(const std::uint8_t* data, std::size_t count);

    std::shared_ptr<SimGateway> gateway_;
    bool pace_;
    int master_ = -1;
    int slaveKeeper_ = -1;
    std::string devicePath_;
};

// The chip's memories and fuses as a JSON document (hex strings for the memories).
std::string ChipStateJson(const SimChip& chip);

}  // namespace velmora::sim
