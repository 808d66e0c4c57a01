#pragma once
// One memory command timed as a benchmark iteration, on a fresh job.

#include "ops/memorycommands.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace velmora::bench {

// Clears the link's counters and waitedMs, runs command and sets the iteration's manual time
// to measuredUs. False, with the run skipped with an error, when the command failed.
inline bool TimedMemoryCommand(benchmark::State& state, MemoryCommand command, const ProgContext& ctx, ChipState& chips,
                               double& waitedMs, double& measuredUs)
{
    ctx.link.ResetCounters();
    waitedMs = 0;
    ChipJob job(chips);
    const auto start = std::chrono::steady_clock::now();
    const bool ok = RunMemoryCommand(command, ctx, job, {});
    measuredUs = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(measuredUs / 1e6);
    if (!ok)
        state.SkipWithError("the command failed");
    return ok;
}

}  // namespace velmora::bench
