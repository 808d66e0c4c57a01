#pragma once
// Lock and fuse bits as the older parts give and take them, whether programmed in parallel or
// over SPI: the same bytes, so both base algorithms decode them here.

#include "chips/chiptarget.h"

#include <cstdint>

namespace velmora {

// Parts with only lock bits LB1 and LB2 keep them in bits 1 and 2 of the lock slot, where their
// lock write sends them; every other bit reads and is sent as 1 (unprogrammed).
inline constexpr std::uint8_t OnlyLockBits12 = 0xF9;

// The one byte the AT90S generation reads lock and fuse bits from: LB1 and LB2 in bits 7 and 6,
// the fuse bits below (SPIEN in bit 5, the fuse bit the dialog shows in bit 0). Slot 0 keeps
// bits 5 and 0; the lock slot (the row's) gets LB1 and LB2 in bits 1 and 2.
inline void StoreFuseAndLockByte(std::uint8_t b, ChipTarget& chip)
{
    chip.fuses[0] = std::uint8_t(b | 0xDE);
    std::uint8_t lock = 0xFF;
    if ((b & 0x80) == 0)
        lock &= std::uint8_t(~0x02);
    if ((b & 0x40) == 0)
        lock &= std::uint8_t(~0x04);
    chip.fuses[chip.entry.LockSlot()] = lock;
}

}  // namespace velmora
