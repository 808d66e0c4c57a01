#pragma once
// The ATtiny12 traits, which the ATtiny15 shares but for two differences.

#include "families/lockbits.h"
#include "families/serialunit.h"

namespace velmora {

// ATtiny12 (datasheet "Serial Programming Instruction Set"): flash written a byte at a time
// (0100 H000 0000 000a bbbb bbbb, t_WD_FLASH 4 ms), EEPROM likewise (1100 0000, 64 bytes,
// t_WD_EEPROM 7 ms); lock bits 2..1 written in the second byte (1010 1100 1111 1211), one fuse
// byte (50 00 read, AC A0 write).
inline constexpr std::array<ChipOperation, 2> LockFuseReadLockFuse{ChipOperation::ReadLockBits,
                                                                   ChipOperation::ReadFuseByte};
inline constexpr SerialTraits Attiny12Traits{
    .id = FamilyId::Attiny12,
    .operations = {ChipOperation::EnterProgrammingMode, ChipOperation::ChipErase, ChipOperation::ReadFlashByte,
                   ChipOperation::WriteFlashByte, ChipOperation::ReadEepromByte, ChipOperation::WriteEepromByte,
                   ChipOperation::ReadLockBits, ChipOperation::WriteLockBits, ChipOperation::ReadFuseByte,
                   ChipOperation::WriteFuseByte, ChipOperation::ReadCalibration, ChipOperation::WriteFlashZeroWord},
    .lockFuseReadOrder = LockFuseReadLockFuse,
    .lockFuseWriteOrder = LockFuseWriteFuseLock,
    .eepromByteMs = 7,
    .lockOr = OnlyLockBits12,
    .fuseHighOr = 0x00,
    .lockWriteOldForm = true,
};

}  // namespace velmora
