#pragma once
// Serves one simulated gateway on a pseudo-terminal, so the real serial link (QSerialPort)
// can be tested end to end. Optionally paces both directions at the real line rate.

#include "sim/simgateway.h"

#include <atomic>
#include <memory>
#include <string>

namespace velmora::sim {

// A pseudo-terminal whose line is raw from the start, so nothing is echoed or translated
// before a client configures it. The slave side is held open too, so the line stays up
// between a client's opens.
struct RawPty {
    int master = -1;       // non-blocking
    int slaveKeeper = -1;
    std::string slavePath;  // the device a client opens, e.g. /dev/pts/7
};
// False with *error set when the system refuses; nothing is left open then.
bool OpenRawPty(RawPty& pty, std::string* error);
void CloseRawPty(RawPty& pty);

class PtyServer {
public:
    PtyServer(std::shared_ptr<SimGateway> gateway, bool pace);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens the pseudo-terminal; false with *error set when the system refuses.
    bool Open(std::string* error);
    // The device a client opens, e.g. /dev/pts/7.
    const std::string& DevicePath() const { return pty_.slavePath; }
    // Serves until stop becomes true, or the fault "unplugged" hits (the device then goes
    // away: the pseudo-terminal is closed under the client).
    void Serve(const std::atomic<bool>& stop);

private:
    void Close();
    void WriteAll(const std::uint8_t* data, std::size_t count);

    std::shared_ptr<SimGateway> gateway_;
    bool pace_;
    RawPty pty_;
};

// The chip's memories and fuses as a JSON document (hex strings for the memories).
std::string ChipStateJson(const SimChip& chip);

}  // namespace velmora::sim
