#pragma once
// The simulated gateway KV-4417 with one chip in its socket. Commands arrive as a byte
// stream (several per write, or one command split across writes); answers leave as a byte
// stream. Time is either the machine's steady clock or a virtual clock that only moves when
// told to (tests, the command line's virtual gateway); either way every received byte adds
// its line time (11 bits at 250000 baud), so a PC-driven sequence is never faster than the
// real line would allow.

#include "sim/simchip.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace velmora::sim {

// Faults a test or a demonstration can switch on.
struct SimFaults {
    long silentAfterBytes = -1;   // after this many bytes: execute and answer nothing more
    long unplugAfterBytes = -1;   // after this many bytes: the device is gone
    long muteAfterBytes = -1;     // after this many bytes: execute, but no answer comes back
    bool noHandshakeAnswer = false;
    bool chipBusyForever = false;
    bool wrongEnableEcho = false;
    // No chip in the socket: the data bus and MISO float high.
    bool emptySocket = false;
    // A gateway whose fetch answer is longer than the transfer's 4 bytes (padded with 0xFF).
    int fetchAnswerBytes = 4;
    // Noise on the line back: once this many bytes have been received, one byte (0x00) that no
    // command asked for arrives with the next answer.
    long strayAfterBytes = -1;
};

inline constexpr std::uint32_t LineBaud = 250000;
inline constexpr std::uint32_t LineBitsPerByte = 11;  // start, 8 data, 2 stop
inline constexpr std::uint32_t LineUsPerByte = 1000000 * LineBitsPerByte / LineBaud;  // 44

// Gateway pulse widths. The datasheets' minimums: chip erase of the older parts 10 ms,
// their fuse programming 1 ms; a normal WR pulse is a few hundred nanoseconds.
inline constexpr std::uint32_t WrPulseUs = 1;
inline constexpr std::uint32_t Wr100PulseUs = 10000;
inline constexpr std::uint32_t Wr15PulseUs = 1500;

// An answer byte and the time (µs, gateway clock) the gateway produced it.
struct SimTimedByte {
    std::uint8_t byte = 0;
    std::int64_t atUs = 0;
};

struct SimPorts {
    std::uint8_t ddrB = 0, portB = 0, ddrC = 0, portC = 0, ddrD = 0, portD = 0;
};

class SimGateway {
public:
    explicit SimGateway(const SimChipModel& model, bool virtualTime = false);

    // Takes bytes from the line. False once the device is unplugged (those bytes are lost).
    bool Receive(const std::uint8_t* data, std::size_t count);
    // The line model's form (the pty server): byte i has fully arrived at
    // firstArrivalUs + i * LineUsPerByte on the gateway's clock, and each command runs when its
    // last byte has arrived, or when the gateway has finished a long pulse, if that is later.
    // The chip's times (busy after a write, the start of serial programming) count from there.
    // Switches the gateway to that clock for good.
    bool ReceiveAt(const std::uint8_t* data, std::size_t count, std::int64_t firstArrivalUs);
    // Moves up to max answer bytes into buffer; returns how many.
    std::size_t TakeOutput(std::uint8_t* buffer, std::size_t max);
    // The same with the time each byte was produced (the command's execution time).
    std::size_t TakeTimedOutput(SimTimedByte* buffer, std::size_t max);
    std::size_t PendingOutput() const { return output_.size(); }

    bool Unplugged() const { return unplugged_; }
    SimChip& Chip() { return chip_; }
    const SimChip& Chip() const { return chip_; }
    const SimPorts& Ports() const { return ports_; }
    SimFaults& Faults() { return faults_; }
    void SetFaults(const SimFaults& faults);

    // Microseconds on the gateway's clock, line time included.
    std::int64_t Now() const;
    bool VirtualTime() const { return virtualTime_; }
    // Moves the virtual clock on (a no-op on the steady clock).
    void Advance(std::int64_t us);
    // The line time of received bytes is counted only when the bytes are not already paced
    // in real time (the pty server's --pace mode).
    void SetCountLineTime(bool on) { countLineTime_ = on; }
    std::uint64_t BytesReceived() const { return received_; }

private:
    void Execute(const std::uint8_t* command);
    void ApplyPins();
    std::uint8_t PinB() const;
    std::uint8_t PinC() const;
    std::uint8_t Bus() const;
    bool TakeByte(std::uint8_t byte, std::int64_t arrivalUs);
    void Answer(std::uint8_t byte);
    void LongPulse(std::uint32_t widthUs);
    void EnterProgrammingMode();

    SimChip chip_;
    SimPorts ports_;
    SimFaults faults_;
    bool virtualTime_;
    bool countLineTime_ = true;
    std::int64_t virtualUs_ = 0;
    std::int64_t extraUs_ = 0;  // time the gateway itself spent (long pulses)
    std::int64_t epochUs_ = 0;
    std::uint64_t received_ = 0;
    bool unplugged_ = false;
    // The line model's clock: the running command's execution time, and when the gateway is
    // done with its last long pulse.
    bool lineClock_ = false;
    std::int64_t executeAtUs_ = 0;
    bool executing_ = false;  // Now() is executeAtUs_ while a command runs
    std::int64_t gatewayFreeUs_ = 0;
    std::vector<std::uint8_t> pending_;
    std::deque<SimTimedByte> output_;
    std::array<std::uint8_t, 4> spiHeld_{};
    std::array<std::uint8_t, 4> spiReceived_{0xFF, 0xFF, 0xFF, 0xFF};
};

}  // namespace velmora::sim
