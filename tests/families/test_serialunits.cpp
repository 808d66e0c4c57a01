// The serial units byte for byte on a recording link: one table per behaviour, a row per trait
// value (address rule, paging form, time, mask, lock and fuse form).
#include "families/serialunit.h"
#include "families/serialfixture.h"
#include "support/recordinglink.h"

#include <gtest/gtest.h>

namespace velmora::testing {
namespace {

using Op = ChipOperation;
constexpr std::uint8_t Data = 0xA5;  // what the image holds at pos
constexpr std::uint8_t Answer = 0x5A;  // answer byte 0 of every read
constexpr int Delays = 2;

// One operation on a fresh recording link and chip.
struct UnitRun {
    explicit UnitRun(const char* chipName) : chip(chipName), target(chip.Target())
    {
        link.Open(QStringLiteral("rec"));
        log.SetClock([] { return QTime(12, 0, 0); });
    }
    ProgContext Context() { return ProgContext{link, log, Delays, [this](int ms) { sleeps.push_back(ms); }}; }
    bool Do(Op op, std::uint32_t pos = 0, bool verify = false)
    {
        return RunOperation(chip.Unit(), op, Context(), target, pos, verify);
    }

    SelectedChip chip;
    ChipTarget target;
    RecordingLink link;
    OperationLog log;
    std::vector<int> sleeps;
};

bool IsRead(Op op) { return op == Op::ReadFlashByte || op == Op::ReadEepromByte; }

// The answered link check (a lone PINC read) between a write instruction and its programming
// time: after every page, erase, lock and fuse write, and after every 32nd byte of the
// byte-by-byte writes.
const Bytes LinkCheck{0x18};
bool ChecksLink(Op op, std::uint32_t pos, int programmingMs)
{
    if (programmingMs < 0)
        return false;
    const bool byteWrite = op == Op::WriteFlashByte || op == Op::WriteEepromByte;
    return !byteWrite || pos % 32 == 31;
}

struct AddressCase {
    const char* chip;
    Op op;
    std::uint32_t pos;
    Bytes load;         // the SpiLoad packet
    int programmingMs;  // the fixed wait after the instruction's DelaysValue wait; -1 none
    const char* failText;
};

TEST(SerialUnits, PerAddressInstructionsWaitsAndFailureTexts)
{
    const AddressCase cases[] = {
        // Read flash byte: H selects the byte of the word, the word address follows.
        {"ATtiny13", Op::ReadFlashByte, 1, {0x44, 0x00, 0x00, 0x00, 0x28}, -1, " 0x44 0x00 b a 0x2H"},
        {"ATtiny13", Op::ReadFlashByte, 2, {0x44, 0x00, 0x01, 0x00, 0x20}, -1, " 0x44 0x00 b a 0x2H"},
        {"ATtiny13", Op::ReadFlashByte, 0x3FF, {0x44, 0x00, 0xFF, 0x01, 0x28}, -1, " 0x44 0x00 b a 0x2H"},
        {"ATtiny26", Op::ReadFlashByte, 0x7FE, {0x44, 0x00, 0xFF, 0x03, 0x20}, -1, " 0x44 0x00 b a 0x2H"},
        {"ATtiny85", Op::ReadFlashByte, 0x1FFF, {0x44, 0x00, 0xFF, 0x0F, 0x28}, -1, " 0x44 0x00 b a 0x2H"},
        {"ATtiny12", Op::ReadFlashByte, 0x201, {0x44, 0x00, 0x00, 0x01, 0x28}, -1, " 0x44 0x00 b a 0x2H"},
        {"AT90S2323", Op::ReadFlashByte, 0x7FF, {0x44, 0x00, 0xFF, 0x03, 0x28}, -1, " 0x44 0x00 b a 0x2H"},
        // Load flash page byte: the in-page word only, or (ATtiny25/45/85) the full address.
        {"ATtiny13", Op::LoadFlashByte, 0x23, {0x44, Data, 0x01, 0x00, 0x48}, -1, " 0x44 Data b 0x00 0x4H"},
        {"ATtiny26", Op::LoadFlashByte, 0x7DE, {0x44, Data, 0x0F, 0x00, 0x40}, -1, " 0x44 Data b 0x00 0x4H"},
        {"ATtiny85", Op::LoadFlashByte, 0x1023, {0x44, Data, 0x11, 0x08, 0x48}, -1, " 0x44 Data b a 0x4H"},
        // Write flash page: the page bits of the word address.
        {"ATtiny13", Op::WriteFlashPage, 0x23F, {0x44, 0x00, 0x10, 0x01, 0x4C}, 5, " 0x44 0x00 b a 0x4C"},
        {"ATtiny26", Op::WriteFlashPage, 0x7FF, {0x44, 0x00, 0xF0, 0x03, 0x4C}, 5, " 0x44 0x00 b a 0x4C"},
        {"ATtiny45", Op::WriteFlashPage, 0x3F, {0x44, 0x00, 0x1F, 0x00, 0x4C}, 5, " 0x44 0x00 b a 0x4C"},
        {"ATtiny85", Op::WriteFlashPage, 0x103F, {0x44, 0x00, 0x1F, 0x08, 0x4C}, 5, " 0x44 0x00 b a 0x4C"},
        // Write flash byte of the unpaged parts.
        {"ATtiny12", Op::WriteFlashByte, 0x3FF, {0x44, Data, 0xFF, 0x01, 0x48}, 4, " 0x44 Data b a 0x4H"},
        {"ATtiny15", Op::WriteFlashByte, 0x002, {0x44, Data, 0x01, 0x00, 0x40}, 4, " 0x44 Data b a 0x4H"},
        {"AT90S2323", Op::WriteFlashByte, 0x7FE, {0x44, Data, 0xFF, 0x03, 0x40}, 9, " 0x44 Data b a 0x4H"},
        {"ATtiny22", Op::WriteFlashByte, 0x401, {0x44, Data, 0x00, 0x02, 0x48}, 9, " 0x44 Data b a 0x4H"},
        // Read EEPROM byte: the unit's mask, and the high byte on the ATtiny25/45/85.
        {"ATtiny13", Op::ReadEepromByte, 0x3F, {0x44, 0x00, 0x3F, 0x00, 0xA0}, -1, " 0x44 0x00 b 0x00 0xA0"},
        {"ATtiny26", Op::ReadEepromByte, 0x7F, {0x44, 0x00, 0x7F, 0x00, 0xA0}, -1, " 0x44 0x00 b 0x00 0xA0"},
        {"AT90S2343", Op::ReadEepromByte, 0x65, {0x44, 0x00, 0x65, 0x00, 0xA0}, -1, " 0x44 0x00 b 0x00 0xA0"},
        {"ATtiny85", Op::ReadEepromByte, 0x1FF, {0x44, 0x00, 0xFF, 0x01, 0xA0}, -1, " 0x44 0x00 b a 0xA0"},
        // Write EEPROM: into the page buffer (ATtiny13, ATtiny25/45/85), else byte by byte.
        {"ATtiny13", Op::WriteEepromByte, 7, {0x44, Data, 0x03, 0x00, 0xC1}, -1, " 0x44 Data b 0x00 0xC1"},
        {"ATtiny85", Op::WriteEepromByte, 0x1FE, {0x44, Data, 0x02, 0x00, 0xC1}, -1, " 0x44 Data b 0x00 0xC1"},
        {"ATtiny26", Op::WriteEepromByte, 0x7F, {0x44, Data, 0x7F, 0x00, 0xC0}, 9, " 0x44 Data b 0x00 0xC0"},
        {"ATtiny12", Op::WriteEepromByte, 0x3F, {0x44, Data, 0x3F, 0x00, 0xC0}, 7, " 0x44 Data b 0x00 0xC0"},
        {"AT90S2323", Op::WriteEepromByte, 0x7F, {0x44, Data, 0x7F, 0x00, 0xC0}, 9, " 0x44 Data b 0x00 0xC0"},
        {"ATtiny13", Op::WriteEepromPage, 7, {0x44, 0x00, 0x04, 0x00, 0xC2}, 5, " 0x44 0x00 b 0x00 0xC2"},
        {"ATtiny13", Op::WriteEepromPage, 0x3F, {0x44, 0x00, 0x3C, 0x00, 0xC2}, 5, " 0x44 0x00 b 0x00 0xC2"},
        {"ATtiny85", Op::WriteEepromPage, 0x1FF, {0x44, 0x00, 0xFC, 0x01, 0xC2}, 5, " 0x44 0x00 b a 0xC2"},
        // The address-less writes.
        {"ATtiny12", Op::WriteFlashZeroWord, 0, {0x44, 0xFF, 0x00, 0x00, 0x40}, 4, " 0x44 0xFF 0 0 0x40"},
        {"ATtiny13", Op::ChipErase, 0, {0x44, 0x00, 0x00, 0x80, 0xAC}, 9, " 0x44 0x00 0x00 0x80 0xAC"},
        {"ATtiny15", Op::ChipErase, 0, {0x44, 0x00, 0x00, 0x80, 0xAC}, 9, " 0x44 0x00 0x00 0x80 0xAC"},
        {"AT90S2343", Op::ChipErase, 0, {0x44, 0x00, 0x00, 0x80, 0xAC}, 18, " 0x44 0x00 0x00 0x80 0xAC"},
    };
    for (const AddressCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.chip << " op " << int(c.op) << " pos 0x" << std::hex << c.pos);
        UnitRun run(c.chip);
        run.link.answerLinkChecks = true;
        ASSERT_TRUE(run.chip.Unit().Has(c.op));
        run.target.flash[c.pos] = Data;
        run.target.eeprom[c.pos % run.target.eeprom.size()] = Data;
        if (IsRead(c.op))
            run.link.QueueAnswer({Answer, 0x00, 0x00, 0x00});
        EXPECT_TRUE(run.Do(c.op, c.pos));
        std::vector<Bytes> packets{c.load, {0x46}};
        if (IsRead(c.op))
            packets.push_back({0x45});
        if (ChecksLink(c.op, c.pos, c.programmingMs))
            packets.push_back(LinkCheck);
        EXPECT_EQ(run.link.sent, packets);
        std::vector<int> sleeps{Delays};
        if (c.programmingMs >= 0)
            sleeps.push_back(c.programmingMs);
        EXPECT_EQ(run.sleeps, sleeps);
        if (c.op == Op::ReadFlashByte) {
            EXPECT_EQ(run.target.flash[c.pos], Answer);
        } else if (c.op == Op::ReadEepromByte) {
            EXPECT_EQ(run.target.eeprom[c.pos], Answer);
        }

        // The same step on a link that refuses the load: its failure text, letters included.
        UnitRun failing(c.chip);
        failing.link.FailSendsFrom(0);
        EXPECT_FALSE(failing.Do(c.op, c.pos));
        EXPECT_EQ(failing.log.Lines().last(), QStringLiteral("Error executing commands: ") + QString::fromLatin1(c.failText));
        EXPECT_FALSE(failing.link.IsOpen());
    }
}

// The address bits and pages come from the catalogue row: the ATtiny13's unit over a row twice
// its size in every respect (flash 4 KiB in 64-byte pages, 256 bytes of EEPROM in 8-byte pages
// with the address high byte) sends the wider addresses, with nothing of its own to change.
TEST(SerialUnits, AddressBitsAndPagesFollowTheRow)
{
    ChipEntry row = *FindChipByName("ATtiny13");
    row.flashSize = 4096;
    row.flashPageBytes = 64;
    row.eepromSize = 256;
    row.eepromPageBytes = 8;
    row.eepromAddressHigh = true;
    struct RowCase {
        Op op;
        std::uint32_t pos;
        Bytes load;
    };
    const RowCase cases[] = {
        {Op::ReadFlashByte, 0xFFF, {0x44, 0x00, 0xFF, 0x07, 0x28}},
        {Op::LoadFlashByte, 0x47, {0x44, Data, 0x03, 0x00, 0x48}},
        {Op::LoadFlashByte, 0x7F, {0x44, Data, 0x1F, 0x00, 0x48}},
        {Op::WriteFlashPage, 0xFFF, {0x44, 0x00, 0xE0, 0x07, 0x4C}},
        {Op::ReadEepromByte, 0xC5, {0x44, 0x00, 0xC5, 0x00, 0xA0}},
        {Op::WriteEepromByte, 0xC5, {0x44, Data, 0x05, 0x00, 0xC1}},
        {Op::WriteEepromPage, 0xCF, {0x44, 0x00, 0xC8, 0x00, 0xC2}},
    };
    EXPECT_EQ(UnitOf(row).FlashCommitBytes(row), 64u);
    for (const RowCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "op " << int(c.op) << " pos 0x" << std::hex << c.pos);
        ChipState state;
        state.CurrentChip.FlashImage[c.pos] = Data;
        state.CurrentChip.EepromImage[c.pos] = Data;
        ChipTarget target = TargetOf(state.CurrentChip, row);
        RecordingLink link;
        link.Open(QStringLiteral("rec"));
        link.answerLinkChecks = true;
        if (IsRead(c.op))
            link.QueueAnswer({Answer, 0x00, 0x00, 0x00});
        OperationLog log;
        EXPECT_TRUE(RunOperation(UnitOf(row), c.op, ProgContext{link, log, 0, [](int) {}}, target, c.pos));
        ASSERT_FALSE(link.sent.empty());
        EXPECT_EQ(link.sent.front(), c.load);
    }
}

struct LockFuseCase {
    const char* chip;
    Op op;
    std::vector<std::pair<int, std::uint8_t>> slotsBefore;  // slot, value
    std::uint8_t answer;                                    // answer byte 0 (reads)
    Bytes load;
    std::vector<std::pair<int, std::uint8_t>> slotsAfter;
    const char* text;  // the operation's start text
    const char* failText;
};

TEST(SerialUnits, LockAndFuseReadsAndWrites)
{
    const LockFuseCase cases[] = {
        // ATtiny13 and ATtiny26: the bits the chip lacks read and written as 1.
        {"ATtiny13", Op::ReadLockBits, {}, 0x00, {0x44, 0x00, 0x00, 0x00, 0x58}, {{2, 0xFC}}, " read lock-bits",
         " 0x44 0x00 0x00 0x00 0x58"},
        {"ATtiny13", Op::ReadFuseHigh, {}, 0x00, {0x44, 0x00, 0x00, 0x08, 0x58}, {{1, 0xE0}}, " read fuse high byte",
         " 0x44 0x00 0x00 0x08 0x58"},
        {"ATtiny26", Op::ReadFuseLow, {}, 0x12, {0x44, 0x00, 0x00, 0x00, 0x50}, {{0, 0x12}}, " read fuse low byte",
         " 0x44 0x00 0x00 0x00 0x50"},
        {"ATtiny13", Op::WriteLockBits, {{2, 0x00}}, 0, {0x44, 0xFC, 0x00, 0xE0, 0xAC}, {}, " write lock-bits",
         " 0x44 Lock 0x00 0xE0 0xAC"},
        {"ATtiny26", Op::WriteFuseHigh, {{1, 0x00}}, 0, {0x44, 0xE0, 0x00, 0xA8, 0xAC}, {}, " write fuse high byte",
         " 0x44 Fuse High 0x00 0xA8 0xAC"},
        {"ATtiny13", Op::WriteFuseLow, {{0, 0x6A}}, 0, {0x44, 0x6A, 0x00, 0xA0, 0xAC}, {}, " write fuse low byte",
         " 0x44 Fuse 0x00 0xA0 0xAC"},
        // ATtiny25/45/85: as read and written, the lock byte in slot 3, an extended byte.
        {"ATtiny45", Op::ReadLockBits, {}, 0x00, {0x44, 0x00, 0x00, 0x00, 0x58}, {{3, 0x00}}, " read lock-bits",
         " 0x44 0x00 0x00 0x00 0x58"},
        {"ATtiny85", Op::ReadFuseHigh, {}, 0x00, {0x44, 0x00, 0x00, 0x08, 0x58}, {{1, 0x00}}, " read fuse high byte",
         " 0x44 0x00 0x00 0x08 0x58"},
        {"ATtiny25", Op::ReadFuseExtended, {}, 0xFE, {0x44, 0x00, 0x00, 0x08, 0x50}, {{2, 0xFE}},
         " read fuse extended byte", " 0x44 0x00 0x00 0x08 0x50"},
        {"ATtiny85", Op::WriteFuseExtended, {{2, 0xFE}}, 0, {0x44, 0xFE, 0x00, 0xA4, 0xAC}, {},
         " write fuse extended byte", " 0x44 Fuse Extended 0x00 0xA4 0xAC"},
        {"ATtiny85", Op::WriteLockBits, {{3, 0x00}}, 0, {0x44, 0x00, 0x00, 0xE0, 0xAC}, {}, " write lock-bits",
         " 0x44 Lock 0x00 0xE0 0xAC"},
        {"ATtiny25", Op::WriteFuseHigh, {{1, 0x5F}}, 0, {0x44, 0x5F, 0x00, 0xA8, 0xAC}, {}, " write fuse high byte",
         " 0x44 Fuse High 0x00 0xA8 0xAC"},
        // ATtiny12 and ATtiny15: lock bits 2..1 in the old form, one fuse byte.
        {"ATtiny12", Op::ReadLockBits, {}, 0x00, {0x44, 0x00, 0x00, 0x00, 0x58}, {{1, 0xF9}}, " read lock-bits",
         " 0x44 0x00 0x00 0x00 0x58"},
        {"ATtiny12", Op::WriteLockBits, {{1, 0x00}}, 0, {0x44, 0x00, 0x00, 0xF9, 0xAC}, {}, " write lock-bits",
         " 0x44 0x00 0x00 Lock 0xAC"},
        {"ATtiny12", Op::ReadFuseByte, {}, 0x52, {0x44, 0x00, 0x00, 0x00, 0x50}, {{0, 0x52}}, " read fuse byte",
         " 0x44 0x00 0x00 0x00 0x50"},
        {"ATtiny12", Op::WriteFuseByte, {{0, 0x52}}, 0, {0x44, 0x52, 0x00, 0xA0, 0xAC}, {}, " write fuse byte",
         " 0x44 Fuse 0x00 0xA0 0xAC"},
        // ATtiny15: bits 3 and 2 are the unused ones; CKSEL1 (bit 1) reads and writes as it is.
        {"ATtiny15", Op::ReadFuseByte, {}, 0x50, {0x44, 0x00, 0x00, 0x00, 0x50}, {{0, 0x5C}}, " read fuse byte",
         " 0x44 0x00 0x00 0x00 0x50"},
        {"ATtiny15", Op::ReadFuseByte, {}, 0x52, {0x44, 0x00, 0x00, 0x00, 0x50}, {{0, 0x5E}}, " read fuse byte",
         " 0x44 0x00 0x00 0x00 0x50"},
        {"ATtiny15", Op::WriteFuseByte, {{0, 0x5C}}, 0, {0x44, 0x5C, 0x00, 0xA0, 0xAC}, {}, " write fuse byte",
         " 0x44 Fuse 0x00 0xA0 0xAC"},
        {"ATtiny15", Op::WriteFuseByte, {{0, 0x40}}, 0, {0x44, 0x4C, 0x00, 0xA0, 0xAC}, {}, " write fuse byte",
         " 0x44 Fuse 0x00 0xA0 0xAC"},
        // AT90S2323/2343, ATtiny22: lock and fuse bits in one byte, old write forms.
        {"AT90S2323", Op::ReadFuseAndLockBits, {}, 0x3F, {0x44, 0x00, 0x00, 0x00, 0x58}, {{0, 0xFF}, {1, 0xF9}},
         " read lock- & fuse-bits", " 0x44 0x00 0x00 0x00 0x58"},
        {"ATtiny22", Op::ReadFuseAndLockBits, {}, 0x9E, {0x44, 0x00, 0x00, 0x00, 0x58}, {{0, 0xDE}, {1, 0xFB}},
         " read lock- & fuse-bits", " 0x44 0x00 0x00 0x00 0x58"},
        {"AT90S2343", Op::ReadFuseAndLockBits, {}, 0xC1, {0x44, 0x00, 0x00, 0x00, 0x58}, {{0, 0xDF}, {1, 0xFF}},
         " read lock- & fuse-bits", " 0x44 0x00 0x00 0x00 0x58"},
        {"AT90S2343", Op::WriteFuseByte, {{0, 0x00}}, 0, {0x44, 0x00, 0x00, 0xBE, 0xAC}, {}, " write fuse byte",
         " 0x44 0x00 0x00 FSTRT 0xAC"},
        {"AT90S2323", Op::WriteFuseByte, {{0, 0xFF}}, 0, {0x44, 0x00, 0x00, 0xBF, 0xAC}, {}, " write fuse byte",
         " 0x44 0x00 0x00 FSTRT 0xAC"},
        // The factory value, SPIEN programmed: Write Fuse bits, never 100x xxxx (Chip Erase).
        {"AT90S2323", Op::WriteFuseByte, {{0, 0xDE}}, 0, {0x44, 0x00, 0x00, 0xBE, 0xAC}, {}, " write fuse byte",
         " 0x44 0x00 0x00 FSTRT 0xAC"},
        {"ATtiny22", Op::WriteFuseByte, {{0, 0xDF}}, 0, {0x44, 0x00, 0x00, 0xBF, 0xAC}, {}, " write fuse byte",
         " 0x44 0x00 0x00 FSTRT 0xAC"},
        {"AT90S2323", Op::WriteLockBits, {{1, 0xF9}}, 0, {0x44, 0x00, 0x00, 0xF9, 0xAC}, {}, " write lock-bits",
         " 0x44 0x00 0x00 Lock 0xAC"},
        // Only lock bits 2..1 go into the second byte: 0x9F sent as it is would be Chip Erase,
        // 0xBD Write Fuse bits.
        {"AT90S2323", Op::WriteLockBits, {{1, 0x9F}}, 0, {0x44, 0x00, 0x00, 0xFF, 0xAC}, {}, " write lock-bits",
         " 0x44 0x00 0x00 Lock 0xAC"},
        {"ATtiny22", Op::WriteLockBits, {{1, 0xBD}}, 0, {0x44, 0x00, 0x00, 0xFD, 0xAC}, {}, " write lock-bits",
         " 0x44 0x00 0x00 Lock 0xAC"},
    };
    for (const LockFuseCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.chip << c.text);
        UnitRun run(c.chip);
        run.link.answerLinkChecks = true;
        for (auto [slot, value] : c.slotsBefore)
            run.target.fuses[std::size_t(slot)] = value;
        const bool read = c.slotsAfter.size() > 0;
        if (read)
            run.link.QueueAnswer({c.answer, 0x00, 0x58, 0x00});
        EXPECT_TRUE(run.Do(c.op));
        std::vector<Bytes> packets{c.load, {0x46}};
        packets.push_back(read ? Bytes{0x45} : LinkCheck);
        EXPECT_EQ(run.link.sent, packets);
        EXPECT_EQ(run.sleeps, read ? std::vector<int>{Delays} : (std::vector<int>{Delays, 5}));
        for (auto [slot, value] : c.slotsAfter)
            EXPECT_EQ(run.target.fuses[std::size_t(slot)], value) << "slot " << slot;
        EXPECT_EQ(run.log.Lines(), (QStringList{QStringLiteral("Trying to") + QString::fromLatin1(c.text),
                                                QStringLiteral("       Finished with success.")}));

        UnitRun failing(c.chip);
        failing.link.FailSendsFrom(0);
        EXPECT_FALSE(failing.Do(c.op));
        EXPECT_EQ(failing.log.Lines(), (QStringList{QStringLiteral("Trying to") + QString::fromLatin1(c.text),
                                                    QStringLiteral("Error executing commands: ") +
                                                        QString::fromLatin1(c.failText)}));
    }
}

TEST(SerialUnits, ChipEraseAndCalibrationLines)
{
    UnitRun erase("ATtiny22");
    erase.link.answerLinkChecks = true;
    EXPECT_TRUE(erase.Do(Op::ChipErase));
    EXPECT_EQ(erase.log.Lines(), (QStringList{QStringLiteral("Trying to erase the chip"),
                                              QStringLiteral("       Finished with success.")}));

    // Calibration bytes 0 .. CalibrationCount-1, each stored; the closing line has no text.
    UnitRun cal("ATtiny26");
    ASSERT_EQ(cal.target.calibrationCount, 4);
    for (std::uint8_t i = 0; i < 4; ++i)
        cal.link.QueueAnswer({std::uint8_t(0x90 + i), 0x00, i, 0x00});
    EXPECT_TRUE(cal.Do(Op::ReadCalibration));
    std::vector<Bytes> packets;
    for (std::uint8_t i = 0; i < 4; ++i)
        packets.insert(packets.end(), {{0x44, 0x00, i, 0x00, 0x38}, {0x46}, {0x45}});
    EXPECT_EQ(cal.link.sent, packets);
    EXPECT_EQ((std::vector<std::uint8_t>(cal.target.calibration.begin(), cal.target.calibration.begin() + 5)),
              (std::vector<std::uint8_t>{0x90, 0x91, 0x92, 0x93, 0xFF}));
    EXPECT_EQ(cal.log.Lines(),
              (QStringList{QStringLiteral("Trying to read calibration bytes"), QStringLiteral("       Finished")}));

    // A calibration answer that never comes: the fetch's line, the link closed, no closing line.
    UnitRun silent("ATtiny13");
    EXPECT_FALSE(silent.Do(Op::ReadCalibration));
    EXPECT_EQ(silent.log.Lines(), (QStringList{QStringLiteral("Trying to read calibration bytes"),
                                               QStringLiteral("Error reading the answer (SPI paket)")}));
    EXPECT_FALSE(silent.link.IsOpen());

    // A write whose link check finds no gateway: the check's line, the link closed, no
    // programming time waited, no closing line.
    UnitRun dead("ATtiny85");
    EXPECT_FALSE(dead.Do(Op::ChipErase));
    EXPECT_EQ(dead.log.Lines(), (QStringList{QStringLiteral("Trying to erase the chip"),
                                             QStringLiteral("Error reading the answer (PINC)")}));
    EXPECT_EQ(dead.sleeps, std::vector<int>{Delays});
    EXPECT_FALSE(dead.link.IsOpen());
}

TEST(SerialUnits, ProgrammingEnableStartTextsAndWrongEcho)
{
    struct Case {
        const char* chip;
        const char* text;
    };
    const Case cases[] = {
        {"ATtiny13", " execute the sinchronization with chip"}, {"ATtiny85", " execute the sinchronization with chip"},
        {"ATtiny12", " execute the sinchronization with chip"}, {"ATtiny15", " execute the sinchronization with chip"},
        {"ATtiny26", " execute the sinchronization with chip"}, {"AT90S2323", " execute Programming Enable"},
        {"AT90S2343", " execute Programming Enable"},           {"ATtiny22", " execute Programming Enable"},
    };
    for (const Case& c : cases) {
        UnitRun ok(c.chip);
        ok.link.QueueAnswer({0x00, 0x53, 0xAC, 0x00});
        EXPECT_TRUE(ok.Do(Op::EnterProgrammingMode)) << c.chip;
        EXPECT_EQ(ok.log.Lines().first(), QStringLiteral("Trying to") + QString::fromLatin1(c.text));

        // A wrong echo: false, no further line, the link stays open.
        UnitRun wrong(c.chip);
        wrong.link.QueueAnswer({0x00, 0x00, 0xAC, 0x00});
        EXPECT_FALSE(wrong.Do(Op::EnterProgrammingMode)) << c.chip;
        EXPECT_EQ(wrong.log.Lines(), QStringList{QStringLiteral("Trying to") + QString::fromLatin1(c.text)});
        EXPECT_TRUE(wrong.link.IsOpen());
    }
}

TEST(SerialUnits, ReadsVerifyOrStoreAndAnEmptyFetchDropsTheLink)
{
    UnitRun run("ATtiny13");
    run.target.flash[4] = 0x11;
    run.link.QueueAnswer({0x11, 0x00, 0x02, 0x00});
    EXPECT_TRUE(run.Do(Op::ReadFlashByte, 4, /*verify=*/true));
    run.link.QueueAnswer({0x12, 0x00, 0x02, 0x00});
    EXPECT_FALSE(run.Do(Op::ReadFlashByte, 4, /*verify=*/true)) << "a difference";
    EXPECT_EQ(run.target.flash[4], 0x11) << "verify never stores";
    EXPECT_TRUE(run.log.Lines().isEmpty());
    EXPECT_TRUE(run.link.IsOpen());

    run.link.QueueAnswer({0x33, 0x00, 0x20, 0x00});
    EXPECT_TRUE(run.Do(Op::ReadEepromByte, 0x20, /*verify=*/false));
    EXPECT_EQ(run.target.eeprom[0x20], 0x33);

    EXPECT_FALSE(run.Do(Op::ReadEepromByte, 0x21, /*verify=*/false)) << "nothing queued: an empty fetch";
    EXPECT_EQ(run.log.Lines(), QStringList{QStringLiteral("Error reading the answer (SPI paket)")});
    EXPECT_FALSE(run.link.IsOpen());
}

TEST(SerialUnits, DialogOrdersLockSlotAndCommitIntervalFitTheChip)
{
    for (const char* name : SerialChips) {
        SCOPED_TRACE(name);
        const SelectedChip chip(name);
        const FamilyUnit& unit = chip.Unit();
        EXPECT_EQ(unit.Id(), chip.entry.family);
        EXPECT_EQ(unit.Interface(), ProgrammingInterface::Serial);
        for (Op op : unit.LockFuseReadOrder())
            EXPECT_TRUE(unit.Has(op));
        for (Op op : unit.LockFuseWriteOrder())
            EXPECT_TRUE(unit.Has(op));
        // Paged flash: 32 bytes per commit, which divides the chip's own page (ATtiny45/85: 64).
        if (unit.Has(Op::LoadFlashByte)) {
            EXPECT_TRUE(unit.Has(Op::WriteFlashPage));
            EXPECT_EQ(unit.FlashCommitBytes(chip.entry), 32u);
            EXPECT_EQ(chip.entry.flashPageBytes % 32, 0);
        } else {
            EXPECT_TRUE(unit.Has(Op::WriteFlashByte));
            EXPECT_EQ(unit.FlashCommitBytes(chip.entry), 0u);
        }
        EXPECT_EQ(unit.Has(Op::WriteEepromPage), chip.entry.eepromPageBytes == 4);
        if (unit.Has(Op::ReadCalibration)) {
            EXPECT_GT(chip.entry.calibrationCount, 0);
        }
    }
}

}  // namespace
}  // namespace velmora::testing
