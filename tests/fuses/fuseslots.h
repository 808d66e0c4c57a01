#pragma once
// The lock and fuse slots of a test: the first ones given, every other one erased (FF).

#include "fuses/fusecheck.h"

#include <algorithm>
#include <initializer_list>

namespace velmora {

inline FuseBytes Slots(std::initializer_list<std::uint8_t> first)
{
    FuseBytes f;
    f.fill(0xFF);
    std::copy(first.begin(), first.end(), f.begin());
    return f;
}

}  // namespace velmora
