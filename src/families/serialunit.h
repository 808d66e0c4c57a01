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
    std::span<const ChipOperation> lockFuseReadOrder = LockFuseReadLockHighLow;
    std::span<const ChipOperation> lockFuseWriteOrder = LockFuseWriteHighLowLock;

    // The geometry comes from the catalogue row of the chip programmed (ChipTarget::entry): the
    // flash word address bits above its low byte that go into I2 (as many as the flash size
    // needs), the flash and EEPROM pages, the EEPROM address bits (the low byte in I3 within the
    // EEPROM size; with ChipEntry::eepromAddressHigh the high byte in I2).

    // Load flash page byte: false loads only the word's place in the chip's page (I2 = 0, I3 =
    // word within the page), and Write flash page gives the page (I3 = the word address
    // without its in-page bits); true loads the full word address (I2 high bits, I3 low byte),
    // and Write flash page carries the full word address of the byte it follows.
    bool loadPageFullAddress = false;
    // Write Program commits a page after this many loaded bytes (units with LoadFlashByte;
    // the others write every byte on its own); 0: after each of the chip's pages. Only a unit
    // that loads the full address may commit less than a page at a time.
    std::uint32_t flashCommitBytes = 0;

    // Units with WriteEepromPage load the EEPROM into the chip's page buffer (C1) and program
    // it page by page (C2); the others write each byte on its own (C0).

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
    std::span<const ChipOperation> LockFuseReadOrder() const override { return t_.lockFuseReadOrder; }
    std::span<const ChipOperation> LockFuseWriteOrder() const override { return t_.lockFuseWriteOrder; }
    std::uint32_t FlashCommitBytes(const ChipEntry& entry) const override
    {
        if (!Has(ChipOperation::LoadFlashByte))
            return 0;
        return t_.flashCommitBytes != 0 ? t_.flashCommitBytes : entry.flashPageBytes;
    }
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
    SerialTraits t_;
};

}  // namespace velmora
