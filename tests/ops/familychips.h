#pragma once
// One chip of every family unit, the largest where a family spans several sizes: the chips
// the simulator runs of the memory commands go through.

#include <array>

namespace velmora::testing {

inline constexpr std::array<const char*, 29> OneChipPerFamily{
    "ATmega8",   "ATmega8535", "ATmega32",  "ATmega163",  "ATmega323",  "ATmega168",  "ATmega162", "ATmega644",
    "ATmega169", "ATmega128",  "ATmega2560", "AT90CAN128", "ATtiny861", "ATtiny2313", "ATmega161", "ATmega103",
    "AT90S1200", "AT90S2313",  "AT90S8515", "AT90S8535",  "AT90S4433",  "ATtiny13",   "ATtiny26",  "ATtiny85",
    "ATtiny12",  "ATtiny15",   "AT90S2323", "AT90S2343",  "ATtiny22"};

}  // namespace velmora::testing
