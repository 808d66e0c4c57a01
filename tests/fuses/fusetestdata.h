#pragma once
// What the fuse tests share: a catalogue chip by name, and lock and fuse slots.

#include "chips/catalogue.h"
#include "fuses/fusecheck.h"

#include <algorithm>
#include <initializer_list>
#include <stdexcept>
#include <string>

namespace velmora {

// The catalogue row of a chip the test names; an unknown name fails the test at once.
inline const ChipEntry& ChipNamed(const char* name)
{
    const ChipEntry* e = FindChipByName(name);
    if (!e)
        throw std::invalid_argument(std::string("no catalogue chip named ") + name);
    return *e;
}

// The lock and fuse slots: the first ones given, every other one erased (FF).
inline FuseBytes Slots(std::initializer_list<std::uint8_t> first)
{
    FuseBytes f;
    f.fill(0xFF);
    std::copy(first.begin(), first.end(), f.begin());
    return f;
}

}  // namespace velmora
