#pragma once
// The chip operation set: what a family unit can do to a chip in the socket. Every supported
// chip is programmed by one unit, chosen through its catalogue row (ChipEntry::family) with
// UnitOf. Two base algorithms implement the set once: the high-voltage parallel one
// (ParallelUnit over ParallelTraits) and the serial one (SerialUnit over SerialTraits); a
// unit states only how it differs.
//
// The calling contract, kept by the memory commands and the lock and fuse dialog:
// - EnterProgrammingMode first; stop when it returns false.
// - Flash and EEPROM operations of one pass are called with ascending addresses from 0
//   (flash: pos = 0, 2, 4, ... for the word-wise parallel operations, 0, 1, 2, ... for the
//   serial byte operations); units load commands and address high bytes only when they change.
// - A read with verify compares instead of storing and returns false, with no line and the
//   link kept, at the first difference.
// - Any other false means a step failed: its line is written and the link is closed, or the
//   chip stayed busy through the ready poll (no line, link kept).
// - Only the operations in Operations() are called; the others are not part of the unit.

#include "chips/catalogue.h"
#include "chips/chiptarget.h"
#include "prog/progcontext.h"

#include <cstdint>
#include <initializer_list>
#include <span>

namespace velmora {

enum class ChipOperation : std::uint8_t {
    EnterProgrammingMode,
    ChipErase,
    ReadFlashWord,       // parallel: one flash word, pos even
    LoadFlashWord,       // parallel: latch one word into the page buffer
    WriteFlashPage,      // program the page whose last word (parallel) or byte (serial) is pos
    WriteFlashWord,      // parallel, the AT90S parts: program one word
    ReadFlashByte,       // serial: one flash byte
    WriteFlashByte,      // serial, unpaged: program one byte
    LoadFlashByte,       // serial, paged: load one byte into the page buffer
    WriteFlashZeroWord,  // serial, ATtiny12: program 0xFF into the low byte of word 0
    ReadEepromByte,
    WriteEepromByte,
    WriteEepromPage,     // serial, paged EEPROM: program the page whose last byte is pos
    ReadLockBits,
    WriteLockBits,
    ReadFuseLow,
    WriteFuseLow,
    ReadFuseHigh,
    WriteFuseHigh,
    ReadFuseExtended,
    WriteFuseExtended,
    ReadFuseByte,        // the single fuse byte (slot 0)
    WriteFuseByte,
    ReadFuseAndLockBits, // several slots in one operation
    ReadCalibration,
};
inline constexpr std::size_t ChipOperationCount = 25;

// A set of operations, one bit each.
class OperationSet {
public:
    constexpr OperationSet() = default;
    constexpr OperationSet(std::initializer_list<ChipOperation> ops)
    {
        for (ChipOperation op : ops)
            bits_ |= Bit(op);
    }
    constexpr bool Has(ChipOperation op) const { return (bits_ & Bit(op)) != 0; }
    constexpr OperationSet With(std::initializer_list<ChipOperation> ops) const
    {
        OperationSet s = *this;
        for (ChipOperation op : ops)
            s.bits_ |= Bit(op);
        return s;
    }
    constexpr OperationSet Without(std::initializer_list<ChipOperation> ops) const
    {
        OperationSet s = *this;
        for (ChipOperation op : ops)
            s.bits_ &= ~Bit(op);
        return s;
    }
    constexpr bool operator==(const OperationSet&) const = default;

private:
    static constexpr std::uint32_t Bit(ChipOperation op) { return std::uint32_t{1} << static_cast<unsigned>(op); }
    std::uint32_t bits_ = 0;
};

enum class ProgrammingInterface : std::uint8_t { Parallel, Serial };

class FamilyUnit {
public:
    virtual ~FamilyUnit() = default;

    virtual FamilyId Id() const = 0;
    std::string_view Name() const { return FamilyName(Id()); }
    virtual ProgrammingInterface Interface() const = 0;
    virtual OperationSet Operations() const = 0;
    bool Has(ChipOperation op) const { return Operations().Has(op); }
    // The operations the lock and fuse dialog calls, in order, after EnterProgrammingMode. The
    // fuse bytes have slots 0, 1, 2 (low, high, extended); the lock byte's slot is the chip's,
    // ChipEntry::LockSlot(), after its last fuse byte.
    virtual std::span<const ChipOperation> LockFuseReadOrder() const = 0;
    virtual std::span<const ChipOperation> LockFuseWriteOrder() const = 0;
    // The unit whose EnterProgrammingMode and ReadCalibration read this family's calibration
    // bytes (itself, unless the family borrows another's); no calibration when neither has
    // ReadCalibration.
    virtual FamilyId CalibrationUnit() const { return Id(); }
    // How many bytes of FlashImage Write Program loads (LoadFlashWord / LoadFlashByte) before
    // each WriteFlashPage: the chip's page (its catalogue row), or a shorter interval of a serial
    // unit that loads the full address; 0 when the flash is written word by word or byte by byte.
    virtual std::uint32_t FlashCommitBytes(const ChipEntry& entry) const { return entry.flashPageBytes; }

    // The operations. An operation outside Operations() is never called; the base versions
    // here do nothing and return false.
    virtual bool EnterProgrammingMode(const ProgContext& ctx, ChipTarget& chip) const;
    virtual bool ChipErase(const ProgContext& ctx, ChipTarget& chip) const;
    virtual bool ReadFlashWord(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos, bool verify) const;
    virtual bool LoadFlashWord(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const;
    virtual bool WriteFlashPage(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const;
    virtual bool WriteFlashWord(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const;
    virtual bool ReadFlashByte(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos, bool verify) const;
    virtual bool WriteFlashByte(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const;
    virtual bool LoadFlashByte(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const;
    virtual bool WriteFlashZeroWord(const ProgContext& ctx, ChipTarget& chip) const;
    virtual bool ReadEepromByte(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos, bool verify) const;
    virtual bool WriteEepromByte(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const;
    virtual bool WriteEepromPage(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const;
    virtual bool ReadLockBits(const ProgContext& ctx, ChipTarget& chip) const;
    virtual bool WriteLockBits(const ProgContext& ctx, ChipTarget& chip) const;
    virtual bool ReadFuseLow(const ProgContext& ctx, ChipTarget& chip) const;
    virtual bool WriteFuseLow(const ProgContext& ctx, ChipTarget& chip) const;
    virtual bool ReadFuseHigh(const ProgContext& ctx, ChipTarget& chip) const;
    virtual bool WriteFuseHigh(const ProgContext& ctx, ChipTarget& chip) const;
    virtual bool ReadFuseExtended(const ProgContext& ctx, ChipTarget& chip) const;
    virtual bool WriteFuseExtended(const ProgContext& ctx, ChipTarget& chip) const;
    virtual bool ReadFuseByte(const ProgContext& ctx, ChipTarget& chip) const;
    virtual bool WriteFuseByte(const ProgContext& ctx, ChipTarget& chip) const;
    virtual bool ReadFuseAndLockBits(const ProgContext& ctx, ChipTarget& chip) const;
    virtual bool ReadCalibration(const ProgContext& ctx, ChipTarget& chip) const;

    // Calls one of the operations without an address (EnterProgrammingMode, ChipErase, the lock,
    // fuse and calibration operations, WriteFlashZeroWord): what the lock and fuse orders are
    // run through.
    bool Run(ChipOperation op, const ProgContext& ctx, ChipTarget& chip) const;
};

// The one instance of a unit of type Unit made of the constexpr traits T, made on first use:
// what each family's file returns from its units:: function.
template <typename Unit, const auto& T>
const FamilyUnit& UnitFor()
{
    static const Unit unit(T);
    return unit;
}

// The unit of a family; the registry is in FamilyId order.
const FamilyUnit& UnitOf(FamilyId id);
// The unit of a catalogue chip.
inline const FamilyUnit& UnitOf(const ChipEntry& entry) { return UnitOf(entry.family); }

}  // namespace velmora
