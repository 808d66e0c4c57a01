#pragma once
// Between two chips of a repeated run: waiting for the chip to be taken out of the socket and
// the next one to be put in, told by whether a signature answers. The supplies are on only for
// each short signature check.

#include "link/gatewaylink.h"
#include "link/sleeper.h"
#include "prog/signaturecode.h"

#include <functional>
#include <optional>

namespace velmora {

// Whether a signature read tells of a chip: an empty socket reads all ones (pulled-up bus) or
// all zeros.
bool ChipAnswers(SignatureCode code);

struct ChipSwapTiming {
    int pollMs = 250;      // supplies off between two checks
    int stableChecks = 2;  // a socket state counts when this many checks running agree
};

enum class SwapEnd {
    NextChip,  // a new chip is in the socket
    Stopped,   // stop() said so
    LinkLost,  // a check failed on the link
};

// One short signature check with the supplies switched off after it; nothing when the link
// failed.
using SignatureProbe = std::function<std::optional<SignatureCode>()>;

// Waits until stableChecks checks running find the socket empty, then until stableChecks
// checks running give the same answering signature (a chip half pushed in may answer garbage
// once), which goes into *next. stop is asked before every check.
SwapEnd WaitForNextChip(const SignatureProbe& probe, const std::function<bool()>& stop,
                        const MillisecondSleeper& sleep, const ChipSwapTiming& timing, SignatureCode* next);

// The real check on a gateway: identification as Autosearch does it, its lines kept out of the
// operation log, then both supplies off.
std::optional<SignatureCode> ProbeSocket(GatewayLink& link, int delaysValue, const MillisecondSleeper& sleeper);

}  // namespace velmora
