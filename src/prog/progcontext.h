#pragma once
// What every programming step needs, passed explicitly: the link, the log, the delay the
// user chose, and the millisecond sleep (see link/sleeper.h).
//
// The step helpers keep the calling convention of every gateway step: a failed send writes
// a LogCommandError line naming the step and drops the link; an empty answer writes a
// LogAnswerError line naming what was read and drops the link.

#include "link/gatewaycommands.h"
#include "link/gatewaylink.h"
#include "link/sleeper.h"

#include <atomic>
#include <string_view>

namespace velmora {

class OperationLog;
class ReadPipeline;

// How far a memory read may run ahead of its answers (see prog/readpipeline.h): at most
// answers answers still to come, answerBytes bytes of them, and lineBytes bytes sent since the
// packet of the oldest. Zero anywhere: every answer is read right after its packet.
struct ReadAhead {
    int answers = 0;
    int answerBytes = 0;
    int lineBytes = 0;
    constexpr bool Synchronous() const { return answers <= 0 || answerBytes <= 0 || lineBytes <= 0; }
};
inline constexpr ReadAhead SynchronousReads{};
inline constexpr ReadAhead DefaultReadAhead{.answers = 64, .answerBytes = 256, .lineBytes = 512};

// A request to stop the running command, made from another thread or a signal handler (the
// progress window's Cancel, Ctrl+C). The command sees it at its next packet: nothing more is
// sent but the packet that switches the socket's supplies off, and every step returns false
// without a line of its own; the command's frame then says "Cancelled".
class CancelToken {
public:
    void Request() { requested_.store(true); }
    bool Requested() const { return requested_.load(); }
    // For the next command.
    void Reset()
    {
        requested_.store(false);
        honoured_ = false;
    }

private:
    friend struct ProgContext;
    std::atomic<bool> requested_{false};
    bool honoured_ = false;  // the supplies were switched off for it (the link's thread only)
};

struct ProgContext {
    GatewayLink& link;
    OperationLog& log;
    int delaysValue = 0;  // DelaysValue: 0 to 5 ms after power steps and pulses
    MillisecondSleeper sleeper = SleepMilliseconds;
    CancelToken* cancel = nullptr;  // none: the command cannot be cancelled

    // True once a cancel request has stopped the command at a packet.
    bool Cancelled() const { return cancel && cancel->honoured_; }
    ReadAhead readAhead = DefaultReadAhead;
    // The memory read whose answers may still be on their way. A timed wait and a read that
    // takes its answer at once collect them first; after a failure there nothing is sent.
    ReadPipeline* pipeline = nullptr;

    void Sleep(int ms) const;
    // A timed wait starts only once the gateway has every byte sent before it (see
    // GatewayLink::WaitUntilSent): the chip's time counts from when its instruction arrives.
    // Sleep 1 ms for the chip to settle, then DelaysValue ms; both apply even at DelaysValue 0.
    void SettleSleep() const;
    void DelaySleep() const { Sleep(delaysValue); }

    // Sends packet; on failure the failure line with failText, CloseGateway, false.
    bool Send(const GatewayPacket& packet, std::string_view failText) const;
    // Reads the answer to the read command just sent; empty: the answer line with answerText,
    // CloseGateway, false.
    bool Read(int expected, std::string_view answerText, GatewayPacket& answer) const;
    // A packet holding a read command, and its answer read right after it (1 byte expected
    // for the pin reads, SpiFetchExpected for a fetch). The first fetch of a connection also
    // waits for bytes that come late: the length of the whole answer is the gateway's.
    bool Exchange(const PacketBuilder& packet, std::string_view failText, std::string_view answerText,
                  GatewayPacket& answer) const;
    // An answered pin read (PINC): the gateway is still there and has run everything sent
    // before it. Steps that read nothing (serial writes, fixed-pulse writes, the command's
    // last packet) check the link with it, so a dead link fails the command.
    bool CheckLink() const;

private:
    bool CollectAhead() const;
    void LearnFetchFraming(GatewayPacket& answer) const;
};

// How long the first fetch of a connection waits for more answer bytes: longer than a USB
// serial adapter's default latency timer (16 ms), which may split one answer in two.
inline constexpr int FetchQuietMs = 50;

}  // namespace velmora
