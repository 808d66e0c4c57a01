#include "families/parallelunit.h"

#include "families/lockbits.h"
#include "prog/framed.h"
#include "prog/readpipeline.h"

#include <algorithm>

namespace velmora {

namespace {

// Flash above 128 KiB needs a third address byte (ATmega2560/2561).
constexpr std::uint32_t ExtendedAddressFlash = 0x20000;

// Port C / port D selections of the byte read by a ReadSelected packet.
struct Selection {
    std::uint8_t portC;
    std::uint8_t portD;
};
constexpr Selection SelectFuseLow{0x08, PortDReadLow};        // BS1 = 0, BS2 = 0
constexpr Selection SelectLock{0x0A, PortDReadLow};           // BS1 = 1, BS2 = 0 (also calibration)
constexpr Selection SelectFuseHigh{0x0A, 0x90};               // BS1 = 1, BS2 = 1
constexpr Selection SelectFuseExtended{0x08, 0x90};           // BS1 = 0, BS2 = 1
constexpr Selection SelectFuseHighOnXa1{0x1A, PortDReadLow};  // BS1 = 1, BS2 (XA1) = 1
constexpr Selection SelectFuseExtendedOnXa1{0x18, PortDReadLow};  // BS1 = 0, BS2 (XA1) = 1

// Sends a packet holding one pin B read and gives its byte.
bool ReadByteInto(const ProgContext& ctx, const PacketBuilder& packet, std::string_view failText, std::uint8_t& out)
{
    GatewayPacket answer;
    if (!ctx.Exchange(packet, failText, AnswerPinB, answer))
        return false;
    out = answer.data[0];
    return true;
}

// PAGEL: latch the data bytes into the page buffer.
bool GivePagel(const ProgContext& ctx)
{
    return ctx.Send(Packets::Pulse(PulseKind::GivePagelPosPulse), PulseText(PulseKind::GivePagelPosPulse));
}

bool WrPulseAndWaitReady(const ProgContext& ctx, std::string_view failText)
{
    return WriteAndWaitReady(ctx, Packets::Pulse(PulseKind::GiveWRNegPulse), failText);
}


bool AddressHighDue(AddressHighRule rule, std::uint32_t pos, std::uint8_t low, std::uint32_t pageBytes)
{
    switch (rule) {
    case AddressHighRule::EveryCall:
        return true;
    case AddressHighRule::OnPageStart:
        if (pageBytes != 0)
            return (pos & (pageBytes - 1)) == 0;
        break;
    case AddressHighRule::OnWrap:
        break;
    }
    return low == 0;
}

}  // namespace

ParallelUnit::ParallelUnit(const ParallelTraits& traits) : traits_(traits)
{
    using Op = ChipOperation;
    readCount_ = MakeOrder(traits_.operations,
                           {Op::ReadLockBits, Op::ReadFuseAndLockBits, Op::ReadFuseExtended, Op::ReadFuseHigh,
                            Op::ReadFuseLow},
                           readOrder_);
    writeCount_ = MakeOrder(traits_.operations,
                            {Op::WriteFuseByte, Op::WriteFuseExtended, Op::WriteFuseHigh, Op::WriteFuseLow,
                             Op::WriteLockBits},
                            writeOrder_);
}

std::size_t ParallelUnit::MakeOrder(OperationSet ops, std::initializer_list<ChipOperation> candidates, Order& out)
{
    std::size_t n = 0;
    for (ChipOperation op : candidates) {
        if (ops.Has(op) && n < out.size())
            out[n++] = op;
    }
    return n;
}

std::span<const ChipOperation> ParallelUnit::LockFuseReadOrder() const { return {readOrder_.data(), readCount_}; }
std::span<const ChipOperation> ParallelUnit::LockFuseWriteOrder() const { return {writeOrder_.data(), writeCount_}; }

bool ParallelUnit::EnterProgrammingMode(const ProgContext& ctx, ChipTarget&) const
{
    return EnterParallelMode(ctx, traits_.entryTexts, traits_.entryPower);
}

bool ParallelUnit::ChipErase(const ProgContext& ctx, ChipTarget&) const
{
    return Framed(ctx, " erase the chip", [&] {
        if (!LoadCommand(ctx, ProgCommand::ChipErase))
            return false;
        if (traits_.longErasePulse)
            return FixedWritePulse(ctx, PulseKind::GiveWR100NegPulse);
        return WrPulseAndWaitReady(ctx, " GiveWRNegPulse");
    });
}

bool ParallelUnit::ReadFlashWord(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos, bool verify) const
{
    const auto low = std::uint8_t(pos >> 1);
    const auto high = std::uint8_t(pos >> 9);
    if (pos == 0 && !LoadCommand(ctx, ProgCommand::ReadFlash))
        return false;
    if (chip.FlashSize() > ExtendedAddressFlash && high == 0 && low == 0 &&
        !LoadAddressExtended(ctx, std::uint8_t(pos >> 17)))
        return false;
    if (AddressHighDue(traits_.flashReadAddressHigh, pos, low, 0) && !LoadAddressHigh(ctx, high))
        return false;
    if (!LoadAddressLow(ctx, low))
        return false;
    // OE low with BS1 = 0 gives the low byte; a mismatch leaves OE low, which the next
    // load's control line packet ends. A difference in either byte is reported at the word.
    return ReadMemoryByte(ctx, Packets::ReadLowByte(), " read flash word low byte", AnswerPinB,
                          {.cell = &chip.flash[pos], .verify = verify, .pos = pos, .completes = false}) &&
           ReadMemoryByte(ctx, Packets::ReadHighByte(), " read flash word high byte", AnswerPinB,
                          {.cell = &chip.flash[pos + 1], .verify = verify, .pos = pos});
}

bool ParallelUnit::LoadFlashWord(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const
{
    if (pos == 0 && !LoadCommand(ctx, ProgCommand::WriteFlash))
        return false;
    if (!LoadAddressLow(ctx, std::uint8_t(pos >> 1)) || !LoadDataLow(ctx, chip.flash[pos]))
        return false;
    if (traits_.flashLatch == FlashLatch::TwoPagel && !GivePagel(ctx))
        return false;
    if (!LoadDataHigh(ctx, chip.flash[pos + 1]))
        return false;
    if (traits_.flashLatch != FlashLatch::SharedBs1 && !GivePagel(ctx))
        return false;
    ctx.DelaySleep();
    return true;
}

bool ParallelUnit::WriteFlashPage(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const
{
    // The page's low address byte came with its last word; the high bytes select the page.
    if (!LoadAddressHigh(ctx, std::uint8_t(pos >> 9)))
        return false;
    if (chip.FlashSize() > ExtendedAddressFlash && !LoadAddressExtended(ctx, std::uint8_t(pos >> 17)))
        return false;
    PacketBuilder commit;
    switch (traits_.pageCommit) {
    case PageCommit::Bs1Low:
        commit.SetPortC(0x08);
        break;
    case PageCommit::Bs1LowPortDWork:
        commit.SetPortC(0x08).SetPortD(PortDWork);
        break;
    case PageCommit::AsLoaded:
        break;
    }
    commit.Pulse(PulseKind::GiveWRNegPulse);
    if (!WriteAndWaitReady(ctx, commit, traits_.pageCommitText))
        return false;
    // After the last page the No Operation command ends the page writes.
    return pos + 2 != chip.FlashSize() || LoadCommand(ctx, ProgCommand::NoOperation);
}

bool ParallelUnit::WriteFlashWord(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const
{
    const auto low = std::uint8_t(pos >> 1);
    if (pos == 0 && !LoadCommand(ctx, ProgCommand::WriteFlash))
        return false;
    if (low == 0 && !LoadAddressHigh(ctx, std::uint8_t(pos >> 9)))
        return false;
    // BS1 = 0 while the low byte is loaded: its WR pulse programs the low byte; the data
    // high load sets BS1 = 1 for the second.
    return LoadAddressLow(ctx, low) && LoadDataLow(ctx, chip.flash[pos]) &&
           WrPulseAndWaitReady(ctx, traits_.wordLowPulseText) && LoadDataHigh(ctx, chip.flash[pos + 1]) &&
           WrPulseAndWaitReady(ctx, " GiveWRNegPulse");
}

bool ParallelUnit::ReadEepromByte(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos, bool verify) const
{
    if (pos == 0 && !LoadCommand(ctx, ProgCommand::ReadEeprom))
        return false;
    if (chip.entry.eepromAddressHigh && !LoadAddressHigh(ctx, std::uint8_t(pos >> 8)))
        return false;
    return LoadAddressLow(ctx, std::uint8_t(pos)) &&
           ReadMemoryByte(ctx, Packets::ReadByte(), " read EEPROM byte", AnswerPinB,
                          {.cell = &chip.eeprom[pos], .verify = verify, .pos = pos});
}

bool ParallelUnit::WriteEepromByte(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const
{
    const auto low = std::uint8_t(pos);
    const std::uint32_t page = chip.entry.eepromPageBytes;
    if (pos == 0 && !LoadCommand(ctx, ProgCommand::WriteEeprom))
        return false;
    if (chip.entry.eepromAddressHigh && AddressHighDue(traits_.eepromWriteAddressHigh, pos, low, page) &&
        !LoadAddressHigh(ctx, std::uint8_t(pos >> 8)))
        return false;
    if (!LoadAddressLow(ctx, low) || !LoadDataLow(ctx, chip.eeprom[pos]))
        return false;
    if (page == 0)
        return WrPulseAndWaitReady(ctx, " GiveWRNegPulse");
    // Paged: latch the byte into the page buffer, program the page after its last byte.
    if (traits_.eepromLatch == EepromLatch::SharedBs1) {
        if (!ctx.Send(PacketBuilder().SetPortC(0x0A), " set BS1=1"))
            return false;
        ctx.DelaySleep();
    } else if (!GivePagel(ctx)) {
        return false;
    }
    if (((pos + 1) & (page - 1)) != 0)
        return true;
    if (traits_.eepromLatch == EepromLatch::SharedBs1 && !ctx.Send(PacketBuilder().SetPortC(0x08), " set BS1=0"))
        return false;
    return WrPulseAndWaitReady(ctx, " GiveWRNegPulse");
}

bool ParallelUnit::ReadSlot(const ProgContext& ctx, ChipTarget& chip, const SlotRead& read) const
{
    return Framed(ctx, read.trying, [&] {
        std::uint8_t byte = 0;
        if (!LoadCommand(ctx, ProgCommand::ReadFuseAndLockBits) ||
            !ReadByteInto(ctx, Packets::ReadSelected(read.portC, read.portD), read.failText, byte))
            return false;
        chip.fuses[read.slot] = std::uint8_t(byte | read.mask);
        return true;
    });
}

bool ParallelUnit::WriteSlot(const ProgContext& ctx, ChipTarget& chip, const SlotWrite& write) const
{
    auto steps = [&] {
        if (!LoadCommand(ctx, write.command) || !LoadDataLow(ctx, chip.fuses[write.slot]))
            return false;
        if (write.select.Packet().count > 0 && !ctx.Send(write.select, write.selectText))
            return false;
        if (write.fixedPulse)
            return FixedWritePulse(ctx, PulseKind::GiveWR15NegPulse);
        return WrPulseAndWaitReady(ctx, write.pulseText);
    };
    return Framed(ctx, write.trying, steps);
}

bool ParallelUnit::ReadLockBits(const ProgContext& ctx, ChipTarget& chip) const
{
    return ReadSlot(ctx, chip,
                    {" read lock-bits", SelectLock.portC, SelectLock.portD, traits_.lockReadText, chip.entry.LockSlot(),
                     traits_.lockReadMask});
}

bool ParallelUnit::ReadFuseLow(const ProgContext& ctx, ChipTarget& chip) const
{
    return ReadSlot(ctx, chip, {" read fuse low byte", SelectFuseLow.portC, SelectFuseLow.portD, traits_.fuseLowReadText, 0, 0});
}

bool ParallelUnit::ReadFuseHigh(const ProgContext& ctx, ChipTarget& chip) const
{
    const Selection s = traits_.bs2OnXa1 ? SelectFuseHighOnXa1 : SelectFuseHigh;
    return ReadSlot(ctx, chip, {" read fuse high byte", s.portC, s.portD, " read Fuse High byte", 1, 0});
}

bool ParallelUnit::ReadFuseExtended(const ProgContext& ctx, ChipTarget& chip) const
{
    const Selection s = traits_.bs2OnXa1 ? SelectFuseExtendedOnXa1 : SelectFuseExtended;
    return ReadSlot(ctx, chip, {" read fuse extended byte", s.portC, s.portD, " read Fuse Extended byte", 2, 0});
}

bool ParallelUnit::WriteLockBits(const ProgContext& ctx, ChipTarget& chip) const
{
    return WriteSlot(ctx, chip,
                     {" write lock-bits", ProgCommand::WriteLockBits, chip.entry.LockSlot(), {}, {}, false, " GiveWRNegPulse"});
}

bool ParallelUnit::WriteFuseLow(const ProgContext& ctx, ChipTarget& chip) const
{
    return WriteSlot(ctx, chip,
                     {" write fuse low byte", ProgCommand::WriteFuseBits, 0, {}, {}, traits_.fixedFusePulse,
                      " GiveWRNegPulse"});
}

bool ParallelUnit::WriteFuseByte(const ProgContext& ctx, ChipTarget& chip) const
{
    return WriteSlot(ctx, chip,
                     {traits_.fuseByteTryingLine ? " write fuse byte" : "", ProgCommand::WriteFuseBits, 0, {}, {},
                      traits_.fixedFusePulse, " GiveWRNegPulse"});
}

bool ParallelUnit::WriteFuseHigh(const ProgContext& ctx, ChipTarget& chip) const
{
    return WriteSlot(ctx, chip,
                     {" write fuse high byte", ProgCommand::WriteFuseBits, 1, PacketBuilder().SetPortC(0x0A),
                      traits_.fuseHighSelectText, false, traits_.fuseHighPulseText});
}

bool ParallelUnit::WriteFuseExtended(const ProgContext& ctx, ChipTarget& chip) const
{
    // BS2 = 1 selects the extended byte: port D bit 7, or the XA1 line (port C 0x18 keeps
    // BS1 = 0) on the chips that share it.
    const PacketBuilder select = traits_.bs2OnXa1 ? PacketBuilder().SetPortC(0x18) : PacketBuilder().SetPortD(0x94);
    return WriteSlot(ctx, chip,
                     {" write fuse extended byte", ProgCommand::WriteFuseBits, 2, select,
                      traits_.fuseExtendedSelectText, false, " GiveWRNegPulse"});
}

bool ParallelUnit::ReadFuseAndLockBits(const ProgContext& ctx, ChipTarget& chip) const
{
    auto& fuseBytes = chip.fuses;
    return Framed(ctx, traits_.fuseLockReadTrying, [&] {
        if (!LoadCommand(ctx, ProgCommand::ReadFuseAndLockBits))
            return false;
        std::uint8_t b = 0;
        switch (traits_.fuseLockRead) {
        case FuseLockRead::Combined:
            if (!ReadByteInto(ctx, Packets::ReadSelected(SelectLock.portC, SelectLock.portD), " read Fuse & Lock byte", b))
                return false;
            StoreFuseAndLockByte(b, chip);
            return true;
        case FuseLockRead::Separate:
            // BS1 is still 0 from the command load: the fuse byte; then BS1 = 1: the lock byte.
            if (!ReadByteInto(ctx, Packets::ReadLowByte(), " read Fuse byte", b))
                return false;
            fuseBytes[0] = std::uint8_t(b | 0xC0);
            if (!ReadByteInto(ctx, Packets::ReadHighByte(), " read Lock byte", b))
                return false;
            fuseBytes[chip.entry.LockSlot()] = std::uint8_t(b | OnlyLockBits12);
            return true;
        case FuseLockRead::FourReads: {
            // OE stays low through the four reads; BS1 and BS2 (on XA1) select each byte.
            struct Step {
                PacketBuilder packet;
                std::string_view failText;
                std::size_t slot;
            };
            const Step steps[] = {
                {PacketBuilder().SetDdrB(0x00).SetPortC(0x08).SetPortD(PortDReadLow).ReadPinB(), " read Fuse Low bits", 0},
                {PacketBuilder().SetPortC(0x1A).ReadPinB(), " read Fuse High bits", 1},
                {PacketBuilder().SetPortC(0x18).ReadPinB(), " read Fuse Extended bits", 2},
                {Packets::ReadHighByte(), " read Lock bits", chip.entry.LockSlot()},
            };
            for (const Step& step : steps) {
                if (!ReadByteInto(ctx, step.packet, step.failText, fuseBytes[step.slot]))
                    return false;
            }
            return true;
        }
        case FuseLockRead::None:
            break;
        }
        return false;
    });
}

bool ParallelUnit::ReadCalibration(const ProgContext& ctx, ChipTarget& chip) const
{
    auto steps = [&] {
        if (!LoadCommand(ctx, ProgCommand::ReadSignatureAndCalibration))
            return false;
        std::size_t count = std::min<std::size_t>(chip.calibrationCount, chip.calibration.size());
        if (traits_.calibrationRead == CalibrationRead::FirstByteOnly)
            count = 1;
        for (std::size_t i = 0; i < count; ++i) {
            // Calibration bytes are addressed by the low address byte alone.
            if (!LoadAddressLow(ctx, std::uint8_t(i)))
                return false;
            bool read = false;
            if (traits_.calibrationRead == CalibrationRead::SelectFirst)
                read = ctx.Send(PacketBuilder().SetPortC(0x0A), " set BS1=1, BS2(XA1)=0") &&
                       ReadByteInto(ctx, Packets::ReadByte(), " read Calibration Bytes", chip.calibration[i]);
            else
                read = ReadByteInto(ctx, Packets::ReadSelected(SelectLock.portC, SelectLock.portD), " read Calibration byte",
                                    chip.calibration[i]);
            if (!read)
                return false;
        }
        return true;
    };
    return Framed(ctx, " read calibration bytes", steps, "");
}

}  // namespace velmora
