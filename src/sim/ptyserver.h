#pragma once
// Serves one simulated gateway on a pseudo-terminal, so the real serial link (QSerialPort)
// can be tested end to end. Paced, it models the line as it is: full duplex at 250000 baud,
// 11 bits a byte each way, every byte with its own arrival time; the gateway runs each
// command when its last byte has arrived, the chip counts its own times from there, and a
// USB adapter's answer latency can be added.

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

// How a paced server hands answers over. A USB serial adapter holds what it received until
// latencyMs after the first byte waiting, or until heldBytes are waiting, whichever is first.
struct AnswerLatency {
    int latencyMs = 0;  // 0: each byte is handed over as it arrives
    int heldBytes = 62;
};

class PtyServer {
public:
    // Unpaced, bytes are taken as they come and answered at once, and the chip does not check
    // its own times (a fast server for tests of data and sequences).
    PtyServer(std::shared_ptr<SimGateway> gateway, bool pace, AnswerLatency latency = {});
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
    void ServeUnpaced(const std::atomic<bool>& stop);
    void ServePaced(const std::atomic<bool>& stop);

    std::shared_ptr<SimGateway> gateway_;
    bool pace_;
    AnswerLatency latency_;
    RawPty pty_;
};

// The chip's memories and fuses as a JSON document (hex strings for the memories).
std::string ChipStateJson(const SimChip& chip);

}  // namespace velmora::sim
