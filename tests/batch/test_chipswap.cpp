#include "batch/chipswap.h"

#include "log/operationlog.h"
#include "sim/simchips.h"
#include "sim/simlink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace velmora {
namespace {

constexpr SignatureCode Mega8 = 0x07931E;
constexpr SignatureCode Mega16 = 0x03941E;
constexpr SignatureCode Empty = 0xFFFFFF;
constexpr SignatureCode Garbage = 0x12341E;  // a chip half pushed in
constexpr SignatureCode LinkFails = -1;

struct SwapCase {
    const char* what;
    std::vector<SignatureCode> answers;  // what each check gives; LinkFails: the link failed
    int stopAfterChecks;                 // -1: never
    SwapEnd end;
    SignatureCode next;
    int checks;  // how many checks ran
};

TEST(ChipSwap, RemovalThenASteadyNewChip)
{
    const SwapCase cases[] = {
        {"plain swap", {Mega8, Empty, Empty, Mega16, Mega16}, -1, SwapEnd::NextChip, Mega16, 5},
        {"the same type again", {Mega8, Mega8, Empty, Empty, Mega8, Mega8}, -1, SwapEnd::NextChip, Mega8, 6},
        {"one empty read is a bad contact, not a removal",
         {Mega8, Empty, Mega8, Empty, Empty, Mega16, Mega16}, -1, SwapEnd::NextChip, Mega16, 7},
        {"a wobbling new chip counts once it answers steadily",
         {Empty, Empty, Garbage, Mega8, Empty, Mega8, Mega8}, -1, SwapEnd::NextChip, Mega8, 7},
        {"all zeros is no chip either", {0, 0, Mega8, Mega8}, -1, SwapEnd::NextChip, Mega8, 4},
        {"the link fails", {Mega8, Empty, LinkFails}, -1, SwapEnd::LinkLost, 0, 3},
        {"stopped while the old chip is still in", {Mega8, Mega8, Mega8, Mega8}, 3, SwapEnd::Stopped, 0, 3},
        {"stopped before any check", {Mega8}, 0, SwapEnd::Stopped, 0, 0},
    };
    for (const SwapCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::size_t checks = 0;
        std::vector<int> sleeps;
        const SignatureProbe probe = [&]() -> std::optional<SignatureCode> {
            const SignatureCode code = c.answers.at(std::min(checks, c.answers.size() - 1));
            ++checks;
            return code == LinkFails ? std::nullopt : std::optional<SignatureCode>(code);
        };
        const auto stop = [&] { return c.stopAfterChecks >= 0 && int(checks) >= c.stopAfterChecks; };
        SignatureCode next = 0;
        const SwapEnd end = WaitForNextChip(probe, stop, [&](int ms) { sleeps.push_back(ms); }, ChipSwapTiming{100, 2}, &next);
        EXPECT_EQ(end, c.end);
        EXPECT_EQ(next, c.next);
        EXPECT_EQ(int(checks), c.checks);
        // A pause between every two checks, none before the first.
        EXPECT_EQ(sleeps.size(), checks > 0 ? checks - 1 : 0);
        for (int ms : sleeps)
            EXPECT_EQ(ms, 100);
    }
}

TEST(ChipQuota, CountsChipsThatSucceededAndHoldsPlacesThatMayFree)
{
    ChipQuota quota(2);
    ASSERT_TRUE(quota.Take({}));
    ASSERT_TRUE(quota.Take({}));
    // Both places are held: a third port waits until one of them ends.
    std::atomic<int> third{-1};
    std::jthread waiter([&] { third = quota.Take({}) ? 1 : 0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(third, -1);
    quota.Done(false);  // a failed chip frees its place
    waiter.join();
    EXPECT_EQ(third, 1);
    quota.Done(true);
    quota.Done(true);
    EXPECT_EQ(quota.Succeeded(), 2);
    EXPECT_TRUE(quota.Finished());
    EXPECT_FALSE(quota.Take({}));

    ChipQuota endless;
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(endless.Take({}));
        endless.Done(true);
    }
    EXPECT_FALSE(endless.Finished());
    EXPECT_FALSE(endless.Take([] { return true; }));

    // A port waiting for a place gives up when the run is stopped.
    ChipQuota one(1);
    ASSERT_TRUE(one.Take({}));
    std::atomic<bool> stop{false};
    std::jthread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        stop = true;
    });
    EXPECT_FALSE(one.Take([&] { return stop.load(); }));
}

// +5 V is on while C2 is an output driven low, +12 V while C3 is an output driven high.
bool AnySupplyOn(const sim::SimPorts& p)
{
    const bool vcc = (p.ddrC & 0x04) && !(p.portC & 0x04);
    const bool hv = (p.ddrC & 0x08) && (p.portC & 0x08);
    return vcc || hv;
}

// On the simulated gateway: the socket is emptied and filled again between checks, and after
// every check both supplies are off.
TEST(ChipSwap, OnTheGatewayTheSuppliesAreOffBetweenChecks)
{
    for (const char* chipName : {"ATmega8", "ATtiny13"}) {
        SCOPED_TRACE(chipName);
        const sim::SimChipModel& model = *sim::FindSimChip(chipName);
        sim::SimLink link(model, /*virtualTime=*/true);
        ASSERT_TRUE(link.Open(QStringLiteral("virtual")).status == OpenStatus::Ok);
        int checks = 0;
        bool suppliesLeftOn = false;
        OperationLog log;
        const SignatureProbe probe = [&] {
            // In for two checks, out for three, in again.
            link.Gateway().Faults().emptySocket = checks >= 2 && checks < 5;
            ++checks;
            const std::optional<SignatureCode> code = ProbeSocket(ProgContext{link, log, 0, link.Sleeper()});
            suppliesLeftOn = suppliesLeftOn || AnySupplyOn(link.Gateway().Ports());
            return code;
        };
        SignatureCode next = 0;
        EXPECT_EQ(WaitForNextChip(probe, {}, link.Sleeper(), ChipSwapTiming{}, &next), SwapEnd::NextChip);
        EXPECT_EQ(next, model.Code());
        EXPECT_EQ(checks, 7);
        EXPECT_FALSE(suppliesLeftOn);
        EXPECT_FALSE(link.Gateway().Chip().InParallelMode());
        EXPECT_TRUE(log.Lines().isEmpty()) << "the checks write nothing into the run's log";
    }
}

}  // namespace
}  // namespace velmora
