#pragma once
// The high-voltage parallel programming algorithm, written once. Every parallel unit is a
// ParallelTraits value: the defaults are the complete ATmega8 unit, and each other unit states
// only where its chips' datasheets (or its log texts) differ. Differences between chips of
// one unit come from the catalogue row (ChipTarget::entry): flash and EEPROM page sizes,
// whether the EEPROM address high byte exists, flash above 128 KiB, the lock byte's slot.

#include "families/familyunit.h"
#include "prog/parallelprimitives.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace velmora {

// When an address high byte is loaded, relative to the calls of one ascending pass.
enum class AddressHighRule : std::uint8_t {
    OnWrap,       // when the low byte is 0 (a new high byte begins)
    EveryCall,
    OnPageStart,  // on the first byte of each EEPROM page
};

// How LoadFlashWord latches a word into the page buffer.
enum class FlashLatch : std::uint8_t {
    OnePagel,   // PAGEL pulse after the data high byte
    TwoPagel,   // PAGEL pulse after each data byte (the older paged ATmegas)
    SharedBs1,  // PAGEL is the BS1 pin: the data high load (BS1 = 1) latches it
};

// The packet of the WR pulse that programs a flash page.
enum class PageCommit : std::uint8_t {
    Bs1Low,          // 11 08 1D 03: BS1 = 0, WR
    AsLoaded,        // 1D 03: the chip programs the page whatever BS1 holds
    Bs1LowPortDWork, // 11 08 15 14 1D 03: BS1 = 0 and BS2 = 0 (an extended address load set it), WR
};

// How a byte of a paged EEPROM reaches the page buffer.
enum class EepromLatch : std::uint8_t {
    Pagel,      // a PAGEL pulse after the data byte
    SharedBs1,  // PAGEL is the BS1 pin: raise it after the data byte, lower it before WR
};

// The forms of reading fuse and lock bits in one operation.
enum class FuseLockRead : std::uint8_t {
    None,
    Combined,  // one byte: lock bits 2 and 1 in bits 7 and 6, the fuse bits below (AT90S)
    Separate,  // the fuse byte with BS1 = 0, the lock byte with BS1 = 1 (AT90S2333/4433)
    FourReads, // fuse low, high, extended and lock with OE held low (ATtiny2313)
};

enum class CalibrationRead : std::uint8_t {
    PerByte,        // each byte with BS1 = 1 in the read packet
    FirstByteOnly,  // one byte at address 0, whatever the chip's count says
    SelectFirst,    // BS1 = 1 in a packet of its own before each read
};

inline constexpr OperationSet Atmega8Operations{
    ChipOperation::EnterProgrammingMode, ChipOperation::ChipErase,     ChipOperation::ReadFlashWord,
    ChipOperation::LoadFlashWord,        ChipOperation::WriteFlashPage, ChipOperation::ReadEepromByte,
    ChipOperation::WriteEepromByte,      ChipOperation::ReadLockBits,   ChipOperation::WriteLockBits,
    ChipOperation::WriteFuseLow,         ChipOperation::WriteFuseHigh,  ChipOperation::ReadFuseLow,
    ChipOperation::ReadFuseHigh,         ChipOperation::ReadCalibration,
};
inline constexpr OperationSet ExtendedFuseOperations =
    Atmega8Operations.With({ChipOperation::ReadFuseExtended, ChipOperation::WriteFuseExtended});

// The older units without calibration or extended fuse byte (ATmega161, ATmega603/103).
inline constexpr OperationSet Atmega161Operations{
    ChipOperation::EnterProgrammingMode, ChipOperation::ChipErase,      ChipOperation::ReadFlashWord,
    ChipOperation::LoadFlashWord,        ChipOperation::WriteFlashPage, ChipOperation::ReadEepromByte,
    ChipOperation::WriteEepromByte,      ChipOperation::ReadLockBits,   ChipOperation::WriteLockBits,
    ChipOperation::ReadFuseLow,          ChipOperation::WriteFuseLow,
};
// The AT90S parts: flash programmed word by word, one fuse byte read together with the lock bits.
inline constexpr OperationSet At90sOperations{
    ChipOperation::EnterProgrammingMode, ChipOperation::ChipErase,       ChipOperation::ReadFlashWord,
    ChipOperation::WriteFlashWord,       ChipOperation::ReadEepromByte,  ChipOperation::WriteEepromByte,
    ChipOperation::ReadFuseAndLockBits,  ChipOperation::WriteFuseByte,   ChipOperation::WriteLockBits,
};

struct ParallelTraits {
    FamilyId id = FamilyId::Atmega8;
    OperationSet operations = Atmega8Operations;
    // The unit whose ReadCalibration serves this family when it has none of its own.
    std::optional<FamilyId> calibrationFrom{};

    EntryPower entryPower = EntryPower::Pc;
    EntryTexts entryTexts = NamedEntryTexts;
    // Chip erase by the gateway's long WR pulse (0x1D 0x08), no RDY/BSY poll.
    bool longErasePulse = false;

    AddressHighRule flashReadAddressHigh = AddressHighRule::OnWrap;
    FlashLatch flashLatch = FlashLatch::OnePagel;
    PageCommit pageCommit = PageCommit::Bs1Low;
    std::string_view pageCommitText = " GiveWRNegPulse";
    // WriteFlashWord: the failure text of the low byte's WR pulse.
    std::string_view wordLowPulseText = " GiveWRNegPulse";

    AddressHighRule eepromWriteAddressHigh = AddressHighRule::OnPageStart;
    EepromLatch eepromLatch = EepromLatch::Pagel;

    std::string_view lockReadText = " set BS2=0, BS1=1";
    std::uint8_t lockReadMask = 0x00;  // ORed into the byte read: bits the chip does not have
    std::string_view fuseLowReadText = " read Low Fuse byte";
    // Fuse low (or the single fuse byte) written by the gateway's fixed pulse 0x1D 0x09.
    bool fixedFusePulse = false;
    // BS2 is carried on the XA1 line (port C bit 4) instead of port D bit 7.
    bool bs2OnXa1 = false;
    std::string_view fuseHighSelectText = " set BS1=1, BS2=0";
    std::string_view fuseHighPulseText = " GiveWRNegPulse";
    std::string_view fuseExtendedSelectText = " set BS2=1";
    // WriteFuseByte writes its LogTrying line.
    bool fuseByteTryingLine = true;
    FuseLockRead fuseLockRead = FuseLockRead::None;
    std::string_view fuseLockReadTrying = " read fuse- & lock-bits";

    CalibrationRead calibrationRead = CalibrationRead::PerByte;
};

// What the five AT90S units share: the gateway's entry, erase and fuse writes by the long WR
// pulses (the chips have no RDY/BSY during them), the address high byte on every flash read.
constexpr ParallelTraits At90sGeneration(FamilyId id)
{
    ParallelTraits t;
    t.id = id;
    t.operations = At90sOperations;
    t.entryPower = EntryPower::Gateway;
    t.entryTexts = CodeEntryTexts;
    t.longErasePulse = true;
    t.flashReadAddressHigh = AddressHighRule::EveryCall;
    t.eepromWriteAddressHigh = AddressHighRule::EveryCall;
    t.fixedFusePulse = true;
    t.fuseLockRead = FuseLockRead::Combined;
    return t;
}

class ParallelUnit : public FamilyUnit {
public:
    explicit ParallelUnit(const ParallelTraits& traits);

    const ParallelTraits& Traits() const { return traits_; }

    FamilyId Id() const override { return traits_.id; }
    ProgrammingInterface Interface() const override { return ProgrammingInterface::Parallel; }
    OperationSet Operations() const override { return traits_.operations; }
    std::span<const ChipOperation> LockFuseReadOrder() const override;
    std::span<const ChipOperation> LockFuseWriteOrder() const override;
    FamilyId CalibrationUnit() const override { return traits_.calibrationFrom.value_or(traits_.id); }

    bool EnterProgrammingMode(const ProgContext& ctx, ChipTarget& chip) const override;
    bool ChipErase(const ProgContext& ctx, ChipTarget& chip) const override;
    bool ReadFlashWord(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos, bool verify) const override;
    bool LoadFlashWord(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const override;
    bool WriteFlashPage(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const override;
    bool WriteFlashWord(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const override;
    bool ReadEepromByte(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos, bool verify) const override;
    bool WriteEepromByte(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const override;
    bool ReadLockBits(const ProgContext& ctx, ChipTarget& chip) const override;
    bool WriteLockBits(const ProgContext& ctx, ChipTarget& chip) const override;
    bool ReadFuseLow(const ProgContext& ctx, ChipTarget& chip) const override;
    bool WriteFuseLow(const ProgContext& ctx, ChipTarget& chip) const override;
    bool ReadFuseHigh(const ProgContext& ctx, ChipTarget& chip) const override;
    bool WriteFuseHigh(const ProgContext& ctx, ChipTarget& chip) const override;
    bool ReadFuseExtended(const ProgContext& ctx, ChipTarget& chip) const override;
    bool WriteFuseExtended(const ProgContext& ctx, ChipTarget& chip) const override;
    bool WriteFuseByte(const ProgContext& ctx, ChipTarget& chip) const override;
    bool ReadFuseAndLockBits(const ProgContext& ctx, ChipTarget& chip) const override;
    bool ReadCalibration(const ProgContext& ctx, ChipTarget& chip) const override;

private:
    // One lock or fuse byte read into its slot (ORed with mask: bits the chip does not have).
    struct SlotRead {
        std::string_view trying;
        std::uint8_t portC;
        std::uint8_t portD;
        std::string_view failText;
        std::size_t slot;
        std::uint8_t mask;
    };
    // One lock or fuse byte written from its slot: command, data, an optional packet that
    // selects the byte, the WR pulse. No trying text: no LogTrying line.
    struct SlotWrite {
        std::string_view trying;
        ProgCommand command;
        std::size_t slot;
        PacketBuilder select;
        std::string_view selectText;
        bool fixedPulse;
        std::string_view pulseText;
    };
    bool ReadSlot(const ProgContext& ctx, ChipTarget& chip, const SlotRead& read) const;
    bool WriteSlot(const ProgContext& ctx, ChipTarget& chip, const SlotWrite& write) const;

    // The lock and fuse orders follow from the operation set: reads lock first, then the
    // fuse bytes from the extended one down; writes the fuse bytes first and lock last, so a
    // lock that forbids further writes comes after them.
    using Order = std::array<ChipOperation, 5>;
    static std::size_t MakeOrder(OperationSet ops, std::initializer_list<ChipOperation> candidates, Order& out);

    const ParallelTraits traits_;
    Order readOrder_{};
    std::size_t readCount_ = 0;
    Order writeOrder_{};
    std::size_t writeCount_ = 0;
};

}  // namespace velmora
