#pragma once
// Between two chips of a repeated run: waiting for the chip to be taken out of the socket and
// the next one to be put in, told by whether a signature answers. The supplies are on only for
// each short signature check.

#include "link/sleeper.h"
#include "prog/progcontext.h"
#include "prog/signaturecode.h"

#include <condition_variable>
#include <functional>
#include <mutex>
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

// How many chips a repeated run programs, shared by all its ports: a port takes a place before
// each chip and gives it back when that chip failed, so the run ends after count chips that
// succeeded. No count: no end but stop.
class ChipQuota {
public:
    explicit ChipQuota(std::optional<int> count = std::nullopt) : count_(count) {}

    // A place for the next chip. While every place left is held by a chip still running (which
    // may yet fail and free it) it waits; false once count chips succeeded, or when stop says
    // so.
    bool Take(const std::function<bool()>& stop);
    // The chip of a place taken has ended.
    void Done(bool ok);
    int Succeeded() const;
    // count chips have succeeded: no chip is waited for any more.
    bool Finished() const;

private:
    std::optional<int> count_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int succeeded_ = 0;
    int running_ = 0;
};

// The real check on a gateway: identification as Autosearch does it on ctx's link, its lines
// kept out of the operation log, then both supplies off.
std::optional<SignatureCode> ProbeSocket(const ProgContext& ctx);

}  // namespace velmora
