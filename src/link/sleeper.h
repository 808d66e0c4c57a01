#pragma once
// The millisecond sleep of the programming steps, replaceable so tests count sleeps instead of
// sleeping and a simulated chip can run on simulated time. It lives with the link because
// both the primitives and the simulator's link use it.

#include <functional>

namespace velmora {

using MillisecondSleeper = std::function<void(int ms)>;

// Sleeps the calling thread; a sleep of 0 ms is a no-op.
void SleepMilliseconds(int ms);

}  // namespace velmora
