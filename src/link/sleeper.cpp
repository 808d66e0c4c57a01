#include "link/sleeper.h"

#include <chrono>
#include <thread>

namespace velmora {

void SleepMilliseconds(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace velmora
