#include "batch/chipswap.h"

#include "chips/autosearch.h"
#include "link/gatewaycommands.h"
#include "log/operationlog.h"

namespace velmora {

bool ChipAnswers(SignatureCode code)
{
    return code != 0 && code != 0xFFFFFF;
}

SwapEnd WaitForNextChip(const SignatureProbe& probe, const std::function<bool()>& stop,
                        const MillisecondSleeper& sleep, const ChipSwapTiming& timing, SignatureCode* next)
{
    const int needed = std::max(timing.stableChecks, 1);
    bool removed = false;
    int agreeing = 0;
    SignatureCode last = 0;
    for (bool firstCheck = true;; firstCheck = false) {
        if (stop && stop())
            return SwapEnd::Stopped;
        if (!firstCheck)
            sleep(timing.pollMs);
        if (stop && stop())
            return SwapEnd::Stopped;
        const std::optional<SignatureCode> code = probe();
        if (!code)
            return SwapEnd::LinkLost;
        const bool present = ChipAnswers(*code);
        if (!removed) {
            agreeing = present ? 0 : agreeing + 1;
            if (agreeing >= needed) {
                removed = true;
                agreeing = 0;
            }
            continue;
        }
        if (!present) {
            agreeing = 0;
            continue;
        }
        agreeing = agreeing > 0 && *code == last ? agreeing + 1 : 1;
        last = *code;
        if (agreeing >= needed) {
            if (next)
                *next = last;
            return SwapEnd::NextChip;
        }
    }
}

bool ChipQuota::Take(const std::function<bool()>& stop)
{
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stop && stop())
            return false;
        if (!count_ || succeeded_ + running_ < *count_) {
            ++running_;
            return true;
        }
        if (succeeded_ >= *count_)
            return false;
        // Stop is asked again now and then: it is a flag set by a signal, not a notification.
        changed_.wait_for(lock, std::chrono::milliseconds(100));
    }
}

void ChipQuota::Done(bool ok)
{
    {
        const std::lock_guard lock(mutex_);
        --running_;
        if (ok)
            ++succeeded_;
    }
    changed_.notify_all();
}

bool ChipQuota::Finished() const
{
    const std::lock_guard lock(mutex_);
    return count_ && succeeded_ >= *count_;
}

int ChipQuota::Succeeded() const
{
    const std::lock_guard lock(mutex_);
    return succeeded_;
}

std::optional<SignatureCode> ProbeSocket(const ProgContext& ctx)
{
    // Four checks a second would bury the log; the run's own lines are what it is for.
    OperationLog quiet;
    const ProgContext own{ctx.link, quiet, ctx.delaysValue, ctx.sleeper};
    int niietMode = 0;
    const std::optional<SignatureCode> code = ReadChipCode(own, niietMode);
    // The serial identification leaves the small chip powered; nothing stays on between chips.
    if (!own.link.IsOpen() || !own.Send(Packets::SuppliesOff(), " 0x11 0x0 0x0F 0x32"))
        return std::nullopt;
    return code;
}

}  // namespace velmora
