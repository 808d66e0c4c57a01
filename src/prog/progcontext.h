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

#include <string_view>

namespace velmora {

class OperationLog;

struct ProgContext {
    GatewayLink& link;
    OperationLog& log;
    int delaysValue = 0;  // DelaysValue: 0 to 5 ms after power steps and pulses
    MillisecondSleeper sleeper = SleepMilliseconds;

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
    // for the pin reads, SpiFetchExpected for a fetch).
    bool Exchange(const PacketBuilder& packet, std::string_view failText, std::string_view answerText,
                  GatewayPacket& answer) const;
    // An answered pin read (PINC): the gateway is still there and has run everything sent
    // before it. Steps that read nothing (serial writes, fixed-pulse writes, the command's
    // last packet) check the link with it, so a dead link fails the command.
    bool CheckLink() const;
};

}  // namespace velmora
