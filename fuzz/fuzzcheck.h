#pragma once
// What every fuzz target of the image readers shares: a failed property ends the run, and the
// buffer behind the memory holds a byte no reader may write.

#include <cstdint>
#include <cstdlib>

namespace fuzzcheck {

inline void Check(bool ok)
{
    if (!ok)
        std::abort();
}

inline constexpr std::size_t Buffer = 262144;
inline constexpr std::uint8_t Untouched = 0xA5;

}  // namespace fuzzcheck
