#pragma once
// The serial (SPI) base algorithm: every step is one 4-byte serial programming instruction
// (SpiInstruction), a read followed by the fetch of its answer, a write by the fixed
// programming time the datasheets give; the chips are never polled. The traits' defaults are
// the complete Attiny13 unit; every other serial unit states only how it differs.

#include "families/familyunit.h"

#include <array>
#include <span>
#include <string_view>

namespace velmora {

// The orders the lock and fuse dialog calls after EnterProgrammingMode.
inline constexpr std::array<ChipOperation, 3> LockFuseReadLockHighLow{
    ChipOperation::ReadLockBits, ChipOperation::ReadFuseHigh, ChipOperation::ReadFuseLow};
inline constexpr std::array<ChipOperation, 3> LockFuseWriteHighLowLock{
    ChipOperation::WriteFuseHigh, ChipOperation::WriteFuseLow, ChipOperation::WriteLockBits};
inline constexpr std::array<ChipOperation, 2> LockFuseWriteFuseLock{ChipOperation::WriteFuseByte,
                                                                    ChipOperation::WriteLockBits};

// The operations of the ATtiny13: paged flash and EEPROM, lock, fuse low and high bytes,
// calibration.
inline constexpr OperationSet Attiny13Operations{
    ChipOperation::EnterProgrammingMode, ChipOperation::ChipErase,       ChipOperation::ReadFlashByte,
    ChipOperation::LoadFlashByte,        ChipOperation::WriteFlashPage,  ChipOperation::ReadEepromByte,
    ChipOperation::WriteEepromByte,      ChipOperation::WriteEepromPage, ChipOperation::ReadLockBits,
    ChipOperation::WriteLockBits,        ChipOperation::ReadFuseLow,     ChipOperation::ReadFuseHigh,
    ChipOperation::WriteFuseLow,         ChipOperation::WriteFuseHigh,   ChipOperation::ReadCalibration,
};

// How a unit addresses, pages, times and masks; constexpr data, one value per unit.
struct SerialTraits {
    FamilyId id = FamilyId::Attiny13;
    std::string_view startText = " execute the sinchronization with chip";
    OperationSet operations = Attiny13Operations;
    std::uint8_t lockSlot = 2;
    std::span<const ChipOperation> lockFuseReadOrder = LockFuseReadLockHighLow;
    std::span<const ChipOperation> lockFuseWriteOrder = LockFuseWriteHighLowLock;

    // Flash addressing: the bits of the word address above its low byte that go into I2.
    std::uint8_t flashHighMask = 0x01;
    // Load flash page byte: false loads only the in-page word (I2 = 0, I3 = word AND 0x0F),
    // true the full word address (I2 high bits, I3 low byte).
    bool loadPageFullAddress = false;
    // Write flash page: I3 = low byte of the word address AND this (the page bits).
    std::uint8_t flashPageAddressMask = 0xF0;
    // Write Program commits a page after this many loaded bytes; 0: every byte is written alone.
    std::uint32_t flashCommitBytes = 32;

    // EEPROM addressing: I3 = pos AND eepromMask; with eepromHighAddress I2 = pos >> 8.
    std::uint8_t eepromMask = 0x3F;
    bool eepromHighAddress = false;
    // The EEPROM is loaded into a 4-byte page buffer (C1) and programmed by WriteEepromPage
    // (C2); otherwise each byte is written on its own (C0).
    bool eepromPaged = true;

    // Fixed programming times in ms, waited after the instruction's DelaysValue wait.
    int eraseMs = 9;
    int flashByteMs = 4;   // Write flash byte, and the zero-word write of the ATtiny12
    int flashPageMs = 5;
    int eepromByteMs = 9;
    int eepromPageMs = 5;
    int lockFuseMs = 5;

    // Lock and fuse bytes: the bits a chip does not implement are ORed in on read and write,
    // so the dialog shows and sends them unprogrammed.
    std::uint8_t lockOr = 0xFC;
    std::uint8_t fuseLowOr = 0x00;   // fuse low byte, or the single fuse byte
    std::uint8_t fuseHighOr = 0xE0;
    // Write lock bits with the value in I2 (AC v 00 00, the older parts) instead of in I4
    // (AC E0 00 v).
    bool lockWriteOldForm = false;
    // Write the single fuse byte as Write Fuse bits of the older parts, AC (1011 111A) 00 00,
    // with the one fuse bit the dialog shows (bit 0) as A; otherwise as AC A0 00 v.
    bool fuseWriteOldForm = false;
};

class SerialUnit final : public FamilyUnit {
public:
    explicit constexpr SerialUnit(const SerialTraits& traits) : t_(traits) {}

    FamilyId Id() const override { return t_.id; }
    ProgrammingInterface Interface() const override { return ProgrammingInterface::Serial; }
    OperationSet Operations() const override { return t_.operations; }
    std::uint8_t LockSlot() const override { return t_.lockSlot; }
    std::span<const ChipOperation> LockFuseReadOrder() const override { return t_.lockFuseReadOrder; }
    std::span<const ChipOperation> LockFuseWriteOrder() const override { return t_.lockFuseWriteOrder; }
    std::uint32_t FlashCommitBytes(const ChipEntry&) const override { return t_.flashCommitBytes; }
    const SerialTraits& Traits() const { return t_; }

    bool EnterProgrammingMode(const ProgContext& ctx, ChipTarget& chip) const override;
    bool ChipErase(const ProgContext& ctx, ChipTarget& chip) const override;
    bool ReadFlashByte(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos, bool verify) const override;
    bool WriteFlashByte(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const override;
    bool LoadFlashByte(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const override;
    bool WriteFlashPage(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const override;
    bool WriteFlashZeroWord(const ProgContext& ctx, ChipTarget& chip) const override;
    bool ReadEepromByte(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos, bool verify) const override;
    bool WriteEepromByte(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const override;
    bool WriteEepromPage(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const override;
    bool ReadLockBits(const ProgContext& ctx, ChipTarget& chip) const override;
    bool WriteLockBits(const ProgContext& ctx, ChipTarget& chip) const override;
    bool ReadFuseLow(const ProgContext& ctx, ChipTarget& chip) const override;
    bool WriteFuseLow(const ProgContext& ctx, ChipTarget& chip) const override;
    bool ReadFuseHigh(const ProgContext& ctx, ChipTarget& chip) const override;
    bool WriteFuseHigh(const ProgContext& ctx, ChipTarget& chip) const override;
    bool ReadFuseExtended(const ProgContext& ctx, ChipTarget& chip) const override;
    bool WriteFuseExtended(const ProgContext& ctx, ChipTarget& chip) const override;
    bool ReadFuseByte(const ProgContext& ctx, ChipTarget& chip) const override;
    bool WriteFuseByte(const ProgContext& ctx, ChipTarget& chip) const override;
    bool ReadFuseAndLockBits(const ProgContext& ctx, ChipTarget& chip) const override;
    bool ReadCalibration(const ProgContext& ctx, ChipTarget& chip) const override;

private:
    std::uint8_t FlashHigh(std::uint32_t pos) const { return std::uint8_t((pos >> 9) & t_.flashHighMask); }

    SerialTraits t_;
};

}  // namespace velmora
