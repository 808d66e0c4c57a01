#include "families/serialunit.h"

#include "families/lockbits.h"
#include "prog/framed.h"
#include "prog/readpipeline.h"
#include "prog/serialprimitives.h"

namespace velmora {

namespace {

// A write instruction and the fixed programming time the chip needs after it. Nothing else
// in a write reads, so the link is checked here with an answered command (checkLink): the
// answer shows the gateway alive and done with the instruction, and the programming time
// starts from it. Pages, erase, lock and fuse writes check every time, the byte-by-byte
// writes every CheckEveryBytes bytes (the command's last packet checks the rest).
constexpr std::uint32_t CheckEveryBytes = 32;
constexpr bool CheckDue(std::uint32_t pos) { return pos % CheckEveryBytes == CheckEveryBytes - 1; }

bool Program(const ProgContext& ctx, const SerialInstruction& instruction, int programmingMs, bool checkLink = true)
{
    if (!SpiInstruction(ctx, instruction))
        return false;
    if (checkLink && !ctx.CheckLink())
        return false;
    ctx.Sleep(programmingMs);
    return true;
}

// A read instruction; the data byte (answer byte 0) ORed with the bits the chip does not have.
bool ReadByte(const ProgContext& ctx, const SerialInstruction& instruction, std::uint8_t orMask, std::uint8_t& value)
{
    SpiAnswerBytes answer;
    if (!SpiRead(ctx, instruction, answer))
        return false;
    value = std::uint8_t(answer.byte0 | orMask);
    return true;
}

// A memory byte read: stores into the image, or with verify compares (false, no line, at a
// difference). In a pass the fetch's answer may be collected behind the reads that follow.
bool ReadImageByte(const ProgContext& ctx, const SerialInstruction& instruction, std::uint8_t& cell, bool verify,
                   std::uint32_t pos)
{
    return SpiInstruction(ctx, instruction) &&
           ReadMemoryByte(ctx, PacketBuilder().SpiFetch(), LoneCommandText(GatewayCommand::SpiFetch), AnswerSpi,
                          {.cell = &cell, .verify = verify, .pos = pos});
}

// The instructions, I1 to I4 as the chips' serial instruction set orders them. H in a text
// is the byte select of a flash word (0x20 low byte, 0x28 high byte, likewise 0x40/0x48).
constexpr std::uint8_t ByteSelect(std::uint32_t pos) { return std::uint8_t((pos & 1) << 3); }
constexpr std::uint8_t WordLow(std::uint32_t pos) { return std::uint8_t((pos >> 1) & 0xFF); }

// The address bits, as many as the chip's row says it has (sizes and pages are powers of two).
// Flash: the word address bits above its low byte.
constexpr std::uint8_t FlashHigh(const ChipEntry& e, std::uint32_t pos)
{
    return std::uint8_t((pos >> 9) & ((e.flashSize / 2 - 1) >> 8));
}
// The word's place in the chip's flash page, and the word address without it.
constexpr std::uint8_t InPageWord(const ChipEntry& e, std::uint32_t pos)
{
    return std::uint8_t(WordLow(pos) & (e.flashPageBytes / 2 - 1));
}
constexpr std::uint8_t PageWordLow(const ChipEntry& e, std::uint32_t pos)
{
    return std::uint8_t(WordLow(pos) & ~(e.flashPageBytes / 2 - 1));
}
// EEPROM: the address bits in the low byte, the high byte, the byte's place in the page buffer.
constexpr std::uint8_t EepromLow(const ChipEntry& e, std::uint32_t pos) { return std::uint8_t(pos & (e.eepromSize - 1)); }
constexpr std::uint8_t EepromHigh(std::uint32_t pos) { return std::uint8_t((pos >> 8) & 0xFF); }
constexpr std::uint8_t InEepromPage(const ChipEntry& e, std::uint32_t pos)
{
    return std::uint8_t(pos & (e.eepromPageBytes - 1u));
}
constexpr std::uint8_t EepromPageLow(const ChipEntry& e, std::uint32_t pos)
{
    return std::uint8_t(EepromLow(e, pos) & ~(e.eepromPageBytes - 1u));
}

constexpr SerialInstruction ChipEraseInstruction{.i1 = 0xAC, .i2 = 0x80, .failText = " 0x44 0x00 0x00 0x80 0xAC"};
constexpr SerialInstruction ReadLockInstruction{.i1 = 0x58, .i2 = 0x00, .failText = " 0x44 0x00 0x00 0x00 0x58"};
constexpr SerialInstruction ReadFuseLowInstruction{.i1 = 0x50, .i2 = 0x00, .failText = " 0x44 0x00 0x00 0x00 0x50"};
constexpr SerialInstruction ReadFuseHighInstruction{.i1 = 0x58, .i2 = 0x08, .failText = " 0x44 0x00 0x00 0x08 0x58"};
constexpr SerialInstruction ReadFuseExtendedInstruction{.i1 = 0x50, .i2 = 0x08,
                                                        .failText = " 0x44 0x00 0x00 0x08 0x50"};

constexpr SerialInstruction WriteFuseLowInstruction(std::uint8_t v)
{
    return {.i1 = 0xAC, .i2 = 0xA0, .i3 = 0x00, .i4 = v, .failText = " 0x44 Fuse 0x00 0xA0 0xAC"};
}

// Write Fuse bits of the AT90S2323/2343 and ATtiny22: 1010 1100 1011 111A. Any other second
// byte of the 100x xxxx form is Chip Erase on these parts, so nothing but bit 0 may vary.
constexpr std::uint8_t OldFuseByte(std::uint8_t slot) { return std::uint8_t((slot & 0x01) | 0xBE); }

// Write Lock Bits of the older parts: 1010 1100 1111 1211, the lock bits in the second byte.
// Only bits 2 and 1 may vary there: 100x xxxx is Chip Erase and 101x xxxx Write Fuse bits, so
// any other bit of a lock value sent as it is would erase the chip or rewrite its fuse.
constexpr std::uint8_t OldLockByte(std::uint8_t lock) { return std::uint8_t(lock | OnlyLockBits12); }

}  // namespace

bool SerialUnit::EnterProgrammingMode(const ProgContext& ctx, ChipTarget&) const
{
    return SpiProgrammingEnable(ctx, t_.startText);
}

bool SerialUnit::ChipErase(const ProgContext& ctx, ChipTarget&) const
{
    return Framed(ctx, " erase the chip", [&] { return Program(ctx, ChipEraseInstruction, t_.eraseMs); });
}

bool SerialUnit::ReadFlashByte(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos, bool verify) const
{
    const SerialInstruction read{.i1 = std::uint8_t(0x20 | ByteSelect(pos)), .i2 = FlashHigh(chip.entry, pos), .i3 = WordLow(pos),
                                 .i4 = 0x00, .failText = " 0x44 0x00 b a 0x2H"};
    return ReadImageByte(ctx, read, chip.flash[pos], verify, pos);
}

bool SerialUnit::WriteFlashByte(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const
{
    const SerialInstruction write{.i1 = std::uint8_t(0x40 | ByteSelect(pos)), .i2 = FlashHigh(chip.entry, pos), .i3 = WordLow(pos),
                                  .i4 = chip.flash[pos], .failText = " 0x44 Data b a 0x4H"};
    return Program(ctx, write, t_.flashByteMs, CheckDue(pos));
}

bool SerialUnit::LoadFlashByte(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const
{
    const std::uint8_t select = std::uint8_t(0x40 | ByteSelect(pos));
    if (t_.loadPageFullAddress)
        return SpiInstruction(ctx, {.i1 = select, .i2 = FlashHigh(chip.entry, pos), .i3 = WordLow(pos), .i4 = chip.flash[pos],
                                    .failText = " 0x44 Data b a 0x4H"});
    // Only the word's place in the page buffer; the page comes with Write flash page.
    return SpiInstruction(ctx, {.i1 = select, .i2 = 0x00, .i3 = InPageWord(chip.entry, pos),
                                .i4 = chip.flash[pos], .failText = " 0x44 Data b 0x00 0x4H"});
}

bool SerialUnit::WriteFlashPage(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const
{
    const std::uint8_t low = t_.loadPageFullAddress ? WordLow(pos) : PageWordLow(chip.entry, pos);
    const SerialInstruction write{.i1 = 0x4C, .i2 = FlashHigh(chip.entry, pos), .i3 = low, .i4 = 0x00,
                                  .failText = " 0x44 0x00 b a 0x4C"};
    return Program(ctx, write, t_.flashPageMs);
}

bool SerialUnit::WriteFlashZeroWord(const ProgContext& ctx, ChipTarget&) const
{
    // 0xFF into the low byte of word 0: between the ATtiny12's two chip erases.
    return Program(ctx, {.i1 = 0x40, .i2 = 0x00, .i3 = 0x00, .i4 = 0xFF, .failText = " 0x44 0xFF 0 0 0x40"},
                   t_.flashByteMs);
}

bool SerialUnit::ReadEepromByte(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos, bool verify) const
{
    const std::uint8_t low = EepromLow(chip.entry, pos);
    const SerialInstruction read =
        chip.entry.eepromAddressHigh
            ? SerialInstruction{.i1 = 0xA0, .i2 = EepromHigh(pos), .i3 = low, .i4 = 0x00, .failText = " 0x44 0x00 b a 0xA0"}
            : SerialInstruction{.i1 = 0xA0, .i2 = 0x00, .i3 = low, .i4 = 0x00, .failText = " 0x44 0x00 b 0x00 0xA0"};
    return ReadImageByte(ctx, read, chip.eeprom[pos], verify, pos);
}

bool SerialUnit::WriteEepromByte(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const
{
    // Paged: the byte waits in the page buffer until WriteEepromPage.
    if (Has(ChipOperation::WriteEepromPage))
        return SpiInstruction(ctx, {.i1 = 0xC1, .i2 = 0x00, .i3 = InEepromPage(chip.entry, pos), .i4 = chip.eeprom[pos],
                                    .failText = " 0x44 Data b 0x00 0xC1"});
    return Program(ctx,
                   {.i1 = 0xC0, .i2 = 0x00, .i3 = EepromLow(chip.entry, pos), .i4 = chip.eeprom[pos],
                    .failText = " 0x44 Data b 0x00 0xC0"},
                   t_.eepromByteMs, CheckDue(pos));
}

bool SerialUnit::WriteEepromPage(const ProgContext& ctx, ChipTarget& chip, std::uint32_t pos) const
{
    const std::uint8_t page = EepromPageLow(chip.entry, pos);
    const SerialInstruction write =
        chip.entry.eepromAddressHigh
            ? SerialInstruction{.i1 = 0xC2, .i2 = EepromHigh(pos), .i3 = page, .i4 = 0x00, .failText = " 0x44 0x00 b a 0xC2"}
            : SerialInstruction{.i1 = 0xC2, .i2 = 0x00, .i3 = page, .i4 = 0x00, .failText = " 0x44 0x00 b 0x00 0xC2"};
    return Program(ctx, write, t_.eepromPageMs);
}

bool SerialUnit::ReadLockBits(const ProgContext& ctx, ChipTarget& chip) const
{
    return Framed(ctx, " read lock-bits",
                  [&] { return ReadByte(ctx, ReadLockInstruction, t_.lockOr, chip.fuses[chip.entry.LockSlot()]); });
}

bool SerialUnit::WriteLockBits(const ProgContext& ctx, ChipTarget& chip) const
{
    const std::uint8_t lock = std::uint8_t(chip.fuses[chip.entry.LockSlot()] | t_.lockOr);
    const SerialInstruction write =
        t_.lockWriteOldForm
            ? SerialInstruction{.i1 = 0xAC, .i2 = OldLockByte(lock), .i3 = 0x00, .i4 = 0x00,
                                .failText = " 0x44 0x00 0x00 Lock 0xAC"}
            : SerialInstruction{.i1 = 0xAC, .i2 = 0xE0, .i3 = 0x00, .i4 = lock, .failText = " 0x44 Lock 0x00 0xE0 0xAC"};
    return Framed(ctx, " write lock-bits", [&] { return Program(ctx, write, t_.lockFuseMs); });
}

bool SerialUnit::ReadFuseLow(const ProgContext& ctx, ChipTarget& chip) const
{
    return Framed(ctx, " read fuse low byte",
                    [&] { return ReadByte(ctx, ReadFuseLowInstruction, t_.fuseLowOr, chip.fuses[0]); });
}

bool SerialUnit::WriteFuseLow(const ProgContext& ctx, ChipTarget& chip) const
{
    const SerialInstruction write = WriteFuseLowInstruction(std::uint8_t(chip.fuses[0] | t_.fuseLowOr));
    return Framed(ctx, " write fuse low byte", [&] { return Program(ctx, write, t_.lockFuseMs); });
}

bool SerialUnit::ReadFuseHigh(const ProgContext& ctx, ChipTarget& chip) const
{
    return Framed(ctx, " read fuse high byte",
                    [&] { return ReadByte(ctx, ReadFuseHighInstruction, t_.fuseHighOr, chip.fuses[1]); });
}

bool SerialUnit::WriteFuseHigh(const ProgContext& ctx, ChipTarget& chip) const
{
    const SerialInstruction write{.i1 = 0xAC, .i2 = 0xA8, .i3 = 0x00, .i4 = std::uint8_t(chip.fuses[1] | t_.fuseHighOr),
                                  .failText = " 0x44 Fuse High 0x00 0xA8 0xAC"};
    return Framed(ctx, " write fuse high byte", [&] { return Program(ctx, write, t_.lockFuseMs); });
}

bool SerialUnit::ReadFuseExtended(const ProgContext& ctx, ChipTarget& chip) const
{
    return Framed(ctx, " read fuse extended byte",
                    [&] { return ReadByte(ctx, ReadFuseExtendedInstruction, 0x00, chip.fuses[2]); });
}

bool SerialUnit::WriteFuseExtended(const ProgContext& ctx, ChipTarget& chip) const
{
    const SerialInstruction write{.i1 = 0xAC, .i2 = 0xA4, .i3 = 0x00, .i4 = chip.fuses[2],
                                  .failText = " 0x44 Fuse Extended 0x00 0xA4 0xAC"};
    return Framed(ctx, " write fuse extended byte", [&] { return Program(ctx, write, t_.lockFuseMs); });
}

bool SerialUnit::ReadFuseByte(const ProgContext& ctx, ChipTarget& chip) const
{
    return Framed(ctx, " read fuse byte",
                    [&] { return ReadByte(ctx, ReadFuseLowInstruction, t_.fuseLowOr, chip.fuses[0]); });
}

bool SerialUnit::WriteFuseByte(const ProgContext& ctx, ChipTarget& chip) const
{
    const SerialInstruction write =
        t_.fuseWriteOldForm
            ? SerialInstruction{.i1 = 0xAC, .i2 = OldFuseByte(chip.fuses[0]), .i3 = 0x00, .i4 = 0x00,
                                .failText = " 0x44 0x00 0x00 FSTRT 0xAC"}
            : WriteFuseLowInstruction(std::uint8_t(chip.fuses[0] | t_.fuseLowOr));
    return Framed(ctx, " write fuse byte", [&] { return Program(ctx, write, t_.lockFuseMs); });
}

bool SerialUnit::ReadFuseAndLockBits(const ProgContext& ctx, ChipTarget& chip) const
{
    return Framed(ctx, " read lock- & fuse-bits", [&] {
        std::uint8_t b = 0;
        if (!ReadByte(ctx, ReadLockInstruction, 0x00, b))
            return false;
        StoreFuseAndLockByte(b, chip);
        return true;
    });
}

bool SerialUnit::ReadCalibration(const ProgContext& ctx, ChipTarget& chip) const
{
    return Framed(
        ctx, " read calibration bytes",
        [&] {
            for (std::uint8_t i = 0; i < chip.calibrationCount && i < chip.calibration.size(); ++i) {
                const SerialInstruction read{.i1 = 0x38, .i2 = 0x00, .i3 = i, .i4 = 0x00, .failText = " 0x44 0x00 i 0x00 0x38"};
                if (!ReadByte(ctx, read, 0x00, chip.calibration[i]))
                    return false;
            }
            return true;
        },
        "");
}

}  // namespace velmora
