#pragma once
// The AT90S2323 traits, which the AT90S2343 and the ATtiny22 share.

#include "families/serialunit.h"

namespace velmora {

// AT90S2323 (datasheet "Serial Programming Instruction Set"): flash and EEPROM written a byte
// at a time (up to 9 ms per byte at low supply voltage, a chip erase twice that); lock bits and
// fuse bits read as one byte (0101 1000 ... 12Sx xxxF) and written in the second byte: Write
// Lock Bits 1010 1100 1111 1211, Write Fuse Bits 1010 1100 1011 111F.
inline constexpr std::array<ChipOperation, 1> LockFuseReadCombined{ChipOperation::ReadFuseAndLockBits};
// The three units differ only in their id.
constexpr SerialTraits At90s2323Traits(FamilyId id)
{
    return SerialTraits{
        .id = id,
        .startText = " execute Programming Enable",
        .operations = {ChipOperation::EnterProgrammingMode, ChipOperation::ChipErase, ChipOperation::ReadFlashByte,
                       ChipOperation::WriteFlashByte, ChipOperation::ReadEepromByte, ChipOperation::WriteEepromByte,
                       ChipOperation::ReadFuseAndLockBits, ChipOperation::WriteLockBits, ChipOperation::WriteFuseByte},
        .lockFuseReadOrder = LockFuseReadCombined,
        .lockFuseWriteOrder = LockFuseWriteFuseLock,
        .eraseMs = 18,
        .flashByteMs = 9,
        .lockOr = 0x00,
        .fuseHighOr = 0x00,
        .lockWriteOldForm = true,
        .fuseWriteOldForm = true,
    };
}

}  // namespace velmora
