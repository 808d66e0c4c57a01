#include "sim/simchip.h"

#include <algorithm>

namespace velmora::sim {

namespace {

// Datasheet timing of the entry for parts that need +12 V right after +5 V.
constexpr std::int64_t TimedEntryWindowUs = 60;
// A chip leaves reset for serial programming only 20 ms after RESET went low.
constexpr std::int64_t SerialStartUs = 20000;
// Long WR pulses needed by the older parts: chip erase 10 ms, fuse programming 1 ms.
constexpr std::uint32_t LongEraseUs = 10000;
constexpr std::uint32_t LongFuseUs = 1000;

enum : std::uint8_t {
    CmdChipErase = 0x80,
    CmdWriteFuse = 0x40,
    CmdWriteLock = 0x20,
    CmdWriteFlash = 0x10,
    CmdWriteEeprom = 0x11,
    CmdReadSignature = 0x08,
    CmdReadFuseLock = 0x04,
    CmdReadFlash = 0x02,
    CmdReadEeprom = 0x03,
};

}  // namespace

SimChip::SimChip(const SimChipModel& model)
    : model_(model), flash_(model.flashBytes, ErasedValue()), eeprom_(model.eepromBytes, ErasedValue())
{
    const int fuseCount = model.FuseCount();
    for (int i = 0; i < fuseCount && i < 3; ++i)
        fuses_[std::size_t(i)] = model.factory[std::size_t(i)];
    lock_ = model.factory[std::size_t(fuseCount)];
    // Factory oscillator calibration values: distinct per chip and per byte, as a real
    // part's are, so a test sees which byte came from where.
    for (int i = 0; i < model.calibrationCount; ++i)
        calibration_.push_back(std::uint8_t(0x80 + ((model.signature[2] * 13 + i * 29) & 0x7F)));
    ResetRegisters();
}

void SimChip::ResetRegisters()
{
    command_ = 0;
    addressLow_ = addressHigh_ = addressExtended_ = 0;
    dataLow_ = dataHigh_ = 0xFF;
    flashPage_.assign(model_.flashPageBytes, ErasedValue());
    eepromPage_.assign(model_.eepromPageBytes, ErasedValue());
    eepromPageLoaded_.assign(model_.eepromPageBytes, false);
}

void SimChip::Program(std::uint8_t& cell, std::uint8_t value) const
{
    // Flash cells only change from the erased state: programming clears bits (sets them
    // on the NIIET parts, whose erased cells read 0x00); only a chip erase brings them back.
    if (model_.niiet)
        cell |= value;
    else
        cell &= value;
}

void SimChip::EraseAll()
{
    std::fill(flash_.begin(), flash_.end(), ErasedValue());
    std::fill(eeprom_.begin(), eeprom_.end(), ErasedValue());
    lock_ = 0xFF;
}

std::uint32_t SimChip::WordAddress() const
{
    const std::uint32_t address = std::uint32_t(addressExtended_) << 16 | std::uint32_t(addressHigh_) << 8 | addressLow_;
    return address & (FlashWords() - 1);
}

// ---------------------------------------------------------------- parallel programming

void SimChip::SetSupplies(bool vcc, bool hv, std::int64_t now)
{
    if (model_.interface != SimInterface::Parallel) {
        vcc_ = vcc;
        hv_ = hv;
        return;
    }
    if (vcc && !vcc_) {
        vccOnAt_ = now;
        xtalPulsesSincePowerUp_ = 0;
    }
    if (!vcc) {
        // Without supply the chip forgets its latches and page buffers.
        parallelMode_ = false;
        ResetRegisters();
    }
    if (vcc && hv && !hv_) {
        // +12 V on RESET: programming mode only if the datasheet's entry conditions hold.
        const bool enableLow = !lines_.xa1 && !lines_.xa0 && !lines_.bs1 && !lines_.pagel;
        bool entryOk = false;
        switch (model_.entry) {
        case SimEntry::XtalToggle:
            entryOk = xtalPulsesSincePowerUp_ >= 6;
            break;
        case SimEntry::Plain:
            entryOk = true;
            break;
        case SimEntry::Timed:
            entryOk = now - vccOnAt_ <= TimedEntryWindowUs;
            break;
        }
        parallelMode_ = enableLow && entryOk;
        if (parallelMode_)
            ResetRegisters();
    }
    if (!hv)
        parallelMode_ = false;
    vcc_ = vcc;
    hv_ = hv;
}

void SimChip::SetLines(const SimLines& lines, std::int64_t now)
{
    const SimLines before = lines_;
    lines_ = lines;
    if (!parallelMode_)
        return;
    // PAGEL on a port pin (shared with BS1): a transparent latch while high, or one that
    // takes the data when the line falls.
    const bool latch = model_.pagelLatchesOnFall ? (before.pagel && !lines_.pagel) : (lines_.pagel && !before.pagel);
    if (latch)
        LatchPage();
    if (before.wr && !lines_.wr)
        WriteStrobe(1, now);
}

void SimChip::XtalPulse(std::uint8_t bus, std::int64_t now)
{
    if (vcc_ && !hv_)
        ++xtalPulsesSincePowerUp_;
    if (!parallelMode_ || Busy(now))
        return;  // a latch during a write is lost
    if (lines_.xa1 && !lines_.xa0) {
        command_ = bus;
    } else if (!lines_.xa1 && !lines_.xa0) {
        if (lines_.bs2 && !lines_.bs1 && model_.HasExtendedAddress())
            addressExtended_ = bus;
        else if (lines_.bs1)
            addressHigh_ = bus;
        else
            addressLow_ = bus;
    } else if (!lines_.xa1 && lines_.xa0) {
        (lines_.bs1 ? dataHigh_ : dataLow_) = bus;
    }
    if (lines_.pagel && !model_.pagelLatchesOnFall)
        LatchPage();
}

void SimChip::PagelPulse(std::int64_t now)
{
    // Chips with PAGEL on BS1 have nothing on the gateway's PAGEL line.
    if (model_.pagelOnBs1 || !parallelMode_ || Busy(now))
        return;
    LatchPage();
}

void SimChip::LatchPage()
{
    if (command_ == CmdWriteFlash && model_.flashPageBytes) {
        const std::uint32_t index = addressLow_ & (model_.flashPageBytes / 2 - 1);
        flashPage_[2 * index] = dataLow_;
        flashPage_[2 * index + 1] = dataHigh_;
    } else if (command_ == CmdWriteEeprom && model_.eepromPageBytes) {
        const std::uint32_t index = addressLow_ & (model_.eepromPageBytes - 1u);
        eepromPage_[index] = dataLow_;
        eepromPageLoaded_[index] = true;
    }
}

void SimChip::WrPulse(std::uint32_t widthUs, std::int64_t now)
{
    if (parallelMode_ && lines_.wr)
        WriteStrobe(widthUs, now);
}

void SimChip::CommitFlashPage(std::uint32_t wordAddress)
{
    const std::uint32_t pageWords = model_.flashPageBytes / 2;
    const std::uint32_t first = (wordAddress & ~(pageWords - 1)) * 2;
    for (std::uint32_t i = 0; i < model_.flashPageBytes; ++i)
        Program(flash_[(first + i) % flash_.size()], flashPage_[i]);
    std::fill(flashPage_.begin(), flashPage_.end(), ErasedValue());
}

void SimChip::CommitEepromPage(std::uint32_t address)
{
    // Only the loaded bytes of an EEPROM page change; each is erased and written.
    const std::uint32_t first = address & ~(model_.eepromPageBytes - 1u);
    for (std::uint32_t i = 0; i < model_.eepromPageBytes; ++i) {
        if (eepromPageLoaded_[i])
            eeprom_[(first + i) % eeprom_.size()] = eepromPage_[i];
    }
    std::fill(eepromPage_.begin(), eepromPage_.end(), ErasedValue());
    std::fill(eepromPageLoaded_.begin(), eepromPageLoaded_.end(), false);
}

void SimChip::WriteStrobe(std::uint32_t widthUs, std::int64_t now)
{
    if (Busy(now))
        return;
    const bool bs1 = lines_.bs1;
    const bool bs2 = lines_.bs2;
    std::uint32_t busy = 0;
    switch (command_) {
    case CmdChipErase:
        if (model_.longWrPulses) {
            if (widthUs < LongEraseUs)
                return;  // too short to erase the older parts
            EraseAll();
        } else {
            EraseAll();
            busy = model_.eraseUs;
        }
        break;
    case CmdWriteFlash:
        if (WritesLocked())
            return;  // the page buffer is dropped with nothing programmed
        if (model_.flashPageBytes) {
            if (model_.commitNeedsBs1Low && bs1)
                return;  // the page stays in the buffer, not in the flash
            CommitFlashPage(WordAddress());
        } else {
            // Word-wise parts: BS1 selects which byte of the word this pulse programs.
            Program(flash_[2 * WordAddress() + (bs1 ? 1 : 0)], bs1 ? dataHigh_ : dataLow_);
        }
        busy = model_.flashWriteUs;
        break;
    case CmdWriteEeprom: {
        if (WritesLocked())
            return;
        const std::uint32_t address = (std::uint32_t(addressHigh_) << 8 | addressLow_) & (model_.eepromBytes - 1);
        if (model_.eepromPageBytes) {
            if (model_.commitNeedsBs1Low && bs1)
                return;
            CommitEepromPage(address);
        } else {
            eeprom_[address] = dataLow_;
        }
        busy = model_.eepromWriteUs;
        break;
    }
    case CmdWriteFuse:
        if (model_.longWrPulses && widthUs < LongFuseUs)
            return;
        if (model_.fuses == SimFuseLayout::Modern && WritesLocked())
            return;
        if (model_.fuses == SimFuseLayout::Combined) {
            fuses_[0] = std::uint8_t((dataLow_ & 0x21) | 0xDE);
        } else if (model_.fuses == SimFuseLayout::Separate) {
            fuses_[0] = dataLow_;
        } else if (!bs1 && !bs2) {
            fuses_[0] = dataLow_;
        } else if (bs1 && !bs2 && model_.FuseCount() >= 2) {
            fuses_[1] = dataLow_;
        } else if (!bs1 && bs2 && model_.FuseCount() >= 3) {
            fuses_[2] = dataLow_;
        }
        busy = model_.longWrPulses ? 0 : model_.fuseWriteUs;
        break;
    case CmdWriteLock:
        // Lock bits can only be programmed; a chip erase clears them.
        lock_ &= model_.fuses == SimFuseLayout::Modern ? dataLow_ : std::uint8_t(dataLow_ | 0xF9);
        busy = model_.fuseWriteUs;
        break;
    default:
        return;
    }
    busyUntil_ = now + busy;
}

bool SimChip::WritesLocked() const
{
    // LB1 and LB2 are bits 0 and 1 of the modern lock byte, bits 1 and 2 of the older parts'.
    const std::uint8_t lockBits = model_.fuses == SimFuseLayout::Modern ? 0x03 : 0x06;
    return (lock_ & lockBits) != lockBits;
}

bool SimChip::FuseBitProgrammed(SimFuseBit bit) const
{
    return bit.mask != 0 && (fuses_[bit.fuse] & bit.mask) == 0;
}

bool SimChip::SerialEntryAllowed() const
{
    const bool spienProgrammed = model_.spien.mask == 0 || FuseBitProgrammed(model_.spien);
    return spienProgrammed && !FuseBitProgrammed(model_.rstdisbl) && !FuseBitProgrammed(model_.dwen);
}

void SimChip::SerialFuseWrite(int fuse, std::uint8_t value)
{
    // SPIEN cannot be changed in serial programming mode: the chip keeps it as it is.
    std::uint8_t keep = 0;
    if (model_.spien.mask != 0 && model_.spien.fuse == fuse)
        keep = model_.spien.mask;
    std::uint8_t& cell = fuses_[std::size_t(fuse)];
    cell = std::uint8_t((value & ~keep) | (cell & keep));
}

std::uint8_t SimChip::CombinedFuseLock() const
{
    return std::uint8_t((fuses_[0] & 0x3F) | ((lock_ & 0x02) ? 0x80 : 0) | ((lock_ & 0x04) ? 0x40 : 0));
}

std::uint8_t SimChip::ReadFuseSelection(bool bs1, bool bs2) const
{
    switch (model_.fuses) {
    case SimFuseLayout::Combined:
        return CombinedFuseLock();
    case SimFuseLayout::Separate:
        return bs1 ? lock_ : fuses_[0];
    case SimFuseLayout::Modern:
        break;
    }
    if (!bs2)
        return bs1 ? lock_ : fuses_[0];
    if (bs1)
        return model_.FuseCount() >= 2 ? fuses_[1] : 0xFF;
    return model_.FuseCount() >= 3 ? fuses_[2] : 0xFF;
}

std::optional<std::uint8_t> SimChip::DrivenBus(std::int64_t now) const
{
    if (!parallelMode_ || lines_.oe)
        return std::nullopt;
    if (Busy(now))
        return std::uint8_t(0xFF);
    const bool bs1 = lines_.bs1;
    switch (command_) {
    case CmdReadFlash:
        return flash_[2 * WordAddress() + (bs1 ? 1 : 0)];
    case CmdReadEeprom:
        return eeprom_[(std::uint32_t(addressHigh_) << 8 | addressLow_) & (model_.eepromBytes - 1)];
    case CmdReadSignature:
        if (bs1)
            return addressLow_ < calibration_.size() ? calibration_[addressLow_] : std::uint8_t(0xFF);
        return addressLow_ < 3 ? model_.signature[addressLow_] : std::uint8_t(0xFF);
    case CmdReadFuseLock:
        return ReadFuseSelection(bs1, lines_.bs2);
    default:
        return std::uint8_t(0xFF);
    }
}

bool SimChip::Ready(std::int64_t now) const
{
    return parallelMode_ && !busyForever && !Busy(now);
}

// ---------------------------------------------------------------- serial programming

void SimChip::SpiPrepare(std::int64_t)
{
    serialPowered_ = true;
    serialMode_ = false;
    resetLowAt_ = -1;
}

void SimChip::SpiStart(std::int64_t now)
{
    if (!serialPowered_)
        return;
    resetLowAt_ = now;
    serialMode_ = false;
}

std::array<std::uint8_t, 4> SimChip::SpiExchange(const std::array<std::uint8_t, 4>& in, std::int64_t now)
{
    // MISO is only driven by a serial part out of reset; elsewhere it floats high.
    std::array<std::uint8_t, 4> out{0xFF, 0xFF, 0xFF, 0xFF};
    if (model_.interface != SimInterface::Serial || !serialPowered_ || resetLowAt_ < 0)
        return out;
    const bool enable = in[0] == 0xAC && in[1] == 0x53;
    if (!serialMode_) {
        if (!enable || (checkTiming && now - resetLowAt_ < SerialStartUs - timingSlackUs) || !SerialEntryAllowed())
            return out;  // not listening yet, out of step, or serial programming disabled: no echo
        serialMode_ = true;
    }
    // Each byte shifted in comes back while the next goes out; a read's data replaces the
    // echo of the third byte.
    out = {lastSerialIn_, in[0], in[1], in[2]};
    lastSerialIn_ = in[3];
    if (enable) {
        if (wrongEnableEcho)
            out[2] = 0x00;
        return out;
    }
    bool isRead = false;
    const std::uint8_t data = SerialRead(in, isRead);
    if (isRead)
        out[3] = Busy(now) ? std::uint8_t(0xFF) : data;
    else if (!Busy(now))
        SerialWrite(in, now);
    return out;
}

std::uint8_t SimChip::SerialRead(const std::array<std::uint8_t, 4>& in, bool& isRead) const
{
    isRead = true;
    const std::uint32_t word = (std::uint32_t(in[1]) << 8 | in[2]) & (FlashWords() - 1);
    switch (in[0]) {
    case 0x20:
        return flash_[2 * word];
    case 0x28:
        return flash_[2 * word + 1];
    case 0xA0:
        return eeprom_[(std::uint32_t(in[1]) << 8 | in[2]) & (model_.eepromBytes - 1)];
    case 0x30:
        return in[2] < 3 ? model_.signature[in[2]] : std::uint8_t(0xFF);
    case 0x38:
        return in[2] < calibration_.size() ? calibration_[in[2]] : std::uint8_t(0xFF);
    case 0x58:
        if (model_.fuses == SimFuseLayout::Combined)
            return CombinedFuseLock();
        if (in[1] == 0x08)
            return model_.FuseCount() >= 2 ? fuses_[1] : 0xFF;
        return lock_;
    case 0x50:
        if (in[1] == 0x08)
            return model_.FuseCount() >= 3 ? fuses_[2] : 0xFF;
        return fuses_[0];
    default:
        isRead = false;
        return 0xFF;
    }
}

void SimChip::SerialWrite(const std::array<std::uint8_t, 4>& in, std::int64_t now)
{
    const std::uint32_t word = (std::uint32_t(in[1]) << 8 | in[2]) & (FlashWords() - 1);
    const bool high = in[0] & 0x08;
    std::uint32_t busy = 0;
    switch (in[0]) {
    case 0x40:
    case 0x48:
        if (model_.flashPageBytes) {
            // Loads the page buffer: only the in-page bits of the address count.
            const std::uint32_t index = word & (model_.flashPageBytes / 2 - 1);
            flashPage_[2 * index + (high ? 1 : 0)] = in[3];
        } else {
            if (WritesLocked())
                return;
            Program(flash_[2 * word + (high ? 1 : 0)], in[3]);
            busy = model_.flashWriteUs;
        }
        break;
    case 0x4C:
        if (!model_.flashPageBytes)
            return;
        if (WritesLocked()) {
            std::fill(flashPage_.begin(), flashPage_.end(), ErasedValue());
            return;
        }
        CommitFlashPage(word);
        busy = model_.flashWriteUs;
        break;
    case 0xC0:
        if (WritesLocked())
            return;
        eeprom_[(std::uint32_t(in[1]) << 8 | in[2]) & (model_.eepromBytes - 1)] = in[3];
        busy = model_.eepromWriteUs;
        break;
    case 0xC1:
        if (!model_.eepromPageBytes)
            return;
        eepromPage_[in[2] & (model_.eepromPageBytes - 1u)] = in[3];
        eepromPageLoaded_[in[2] & (model_.eepromPageBytes - 1u)] = true;
        break;
    case 0xC2:
        if (!model_.eepromPageBytes || WritesLocked())
            return;
        CommitEepromPage((std::uint32_t(in[1]) << 8 | in[2]) & (model_.eepromBytes - 1));
        busy = model_.eepromWriteUs;
        break;
    case 0xAC:
        // Chip Erase is AC 80 on the newer parts; the older ones decode only the top three
        // bits of the second byte (1010 1100 100x xxxx).
        if (model_.fuses == SimFuseLayout::Modern ? in[1] == 0x80 : (in[1] & 0xE0) == 0x80) {
            EraseAll();
            busy = model_.eraseUs;
        } else if (model_.fuses == SimFuseLayout::Modern) {
            const bool fuseWrite = in[1] == 0xA0 || in[1] == 0xA8 || in[1] == 0xA4;
            if (fuseWrite && WritesLocked())
                return;
            switch (in[1]) {
            case 0xA0: SerialFuseWrite(0, in[3]); break;
            case 0xA8: SerialFuseWrite(1, in[3]); break;
            case 0xA4: SerialFuseWrite(2, in[3]); break;
            case 0xE0: lock_ &= in[3]; break;
            default: return;
            }
            busy = model_.fuseWriteUs;
        } else {
            // The older instruction forms carry the bits in the second byte.
            if ((in[1] & 0xF9) == 0xF9)
                lock_ &= std::uint8_t(in[1] | 0xF9);
            else if (model_.fuses == SimFuseLayout::Separate && in[1] == 0xA0)
                SerialFuseWrite(0, in[3]);
            else if (model_.fuses == SimFuseLayout::Combined && (in[1] & 0xFE) == 0xBE)
                fuses_[0] = std::uint8_t((fuses_[0] & ~0x01) | (in[1] & 0x01));
            else
                return;
            busy = model_.fuseWriteUs;
        }
        break;
    default:
        return;
    }
    busyUntil_ = now + busy;
}

}  // namespace velmora::sim
