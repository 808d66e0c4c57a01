// Every serial catalogue chip through every operation of its unit, on the simulated gateway
// (virtual time), in the orders the memory commands and the lock and fuse dialog call them.
// The simulated chip knows only the datasheets' instruction set, so a wrong byte, address or
// page commit shows as lost or corrupted data.
#include "families/serialfixture.h"
#include "prog/serialprimitives.h"
#include "sim/simlink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace velmora::testing {
namespace {

using Op = ChipOperation;

struct SimRun {
    explicit SimRun(const char* name)
        : chip(name), target(chip.Target()), link(*sim::FindSimChip(name), /*virtualTime=*/true),
          unit(chip.Unit())
    {
        link.Open(QStringLiteral("virtual"));
    }
    ProgContext Context() { return ProgContext{link, log, 1, link.Sleeper()}; }
    sim::SimChip& Sim() { return link.Gateway().Chip(); }
    bool Do(Op op, std::uint32_t pos = 0, bool verify = false)
    {
        return RunOperation(unit, op, Context(), target, pos, verify);
    }

    // The memory commands' call orders.
    bool Erase()
    {
        if (!Do(Op::EnterProgrammingMode) || !Do(Op::ChipErase))
            return false;
        // The ATtiny12 erases twice, with the zero word written between.
        return !unit.Has(Op::WriteFlashZeroWord) ||
               (Do(Op::EnterProgrammingMode) && Do(Op::WriteFlashZeroWord) && Do(Op::ChipErase));
    }
    bool WriteProgram()
    {
        if (!Erase() || !Do(Op::EnterProgrammingMode))
            return false;
        const std::uint32_t commit = unit.FlashCommitBytes(chip.entry);
        for (std::uint32_t pos = 0; pos < target.FlashSize(); ++pos) {
            const bool ok = commit ? Do(Op::LoadFlashByte, pos) && ((pos + 1) % commit != 0 || Do(Op::WriteFlashPage, pos))
                                   : Do(Op::WriteFlashByte, pos);
            if (!ok)
                return false;
        }
        return true;
    }
    // Verify stops at the first difference and reports its position (-1: none, -2: failed).
    std::int64_t ReadProgram(bool verify)
    {
        if (!Do(Op::EnterProgrammingMode))
            return -2;
        for (std::uint32_t pos = 0; pos < target.FlashSize(); ++pos)
            if (!Do(Op::ReadFlashByte, pos, verify))
                return link.IsOpen() && verify ? std::int64_t(pos) : -2;
        return -1;
    }
    bool WriteData()
    {
        if (!Do(Op::EnterProgrammingMode))
            return false;
        for (std::uint32_t pos = 0; pos < target.EepromSize(); ++pos) {
            if (!Do(Op::WriteEepromByte, pos))
                return false;
            if (unit.Has(Op::WriteEepromPage) && (pos & 3) == 3 && !Do(Op::WriteEepromPage, pos))
                return false;
        }
        return true;
    }
    bool ReadData(bool verify)
    {
        if (!Do(Op::EnterProgrammingMode))
            return false;
        for (std::uint32_t pos = 0; pos < target.EepromSize(); ++pos)
            if (!Do(Op::ReadEepromByte, pos, verify))
                return false;
        return true;
    }
    bool LockFuses(std::span<const Op> order)
    {
        if (!Do(Op::EnterProgrammingMode))
            return false;
        return std::all_of(order.begin(), order.end(), [this](Op op) { return Do(op); });
    }

    SelectedChip chip;
    ChipTarget target;
    sim::SimLink link;
    OperationLog log;
    const FamilyUnit& unit;
};

std::vector<std::uint8_t> Pattern(std::size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(n);
    for (std::uint8_t& b : bytes)
        b = std::uint8_t(random());
    return bytes;
}

std::vector<std::uint8_t> ToVector(std::span<const std::uint8_t> s) { return {s.begin(), s.end()}; }

TEST(SerialConformance, EverySerialChipProgramsReadsVerifiesFusesCalibratesAndErases)
{
    for (const char* name : SerialChips) {
        SCOPED_TRACE(name);
        SimRun run(name);
        const std::vector<std::uint8_t> flash = Pattern(run.target.FlashSize(), unsigned(run.chip.entry.code));
        const std::vector<std::uint8_t> eeprom = Pattern(run.target.EepromSize(), ~unsigned(run.chip.entry.code));

        // Program and data: written, found in the chip, read back, verified.
        std::copy(flash.begin(), flash.end(), run.target.flash.begin());
        ASSERT_TRUE(run.WriteProgram());
        EXPECT_EQ(run.Sim().Flash(), flash);
        std::fill(run.target.flash.begin(), run.target.flash.end(), 0);
        EXPECT_EQ(run.ReadProgram(false), -1);
        EXPECT_EQ(ToVector(run.target.flash), flash);
        EXPECT_EQ(run.ReadProgram(true), -1);
        const std::uint32_t changed = run.target.FlashSize() / 2 + 1;
        run.target.flash[changed] ^= 0x01;
        EXPECT_EQ(run.ReadProgram(true), std::int64_t(changed)) << "verify stops at the first difference, link kept";
        run.target.flash[changed] ^= 0x01;

        std::copy(eeprom.begin(), eeprom.end(), run.target.eeprom.begin());
        ASSERT_TRUE(run.WriteData());
        EXPECT_EQ(run.Sim().Eeprom(), eeprom);
        std::fill(run.target.eeprom.begin(), run.target.eeprom.end(), 0);
        ASSERT_TRUE(run.ReadData(false));
        EXPECT_EQ(ToVector(run.target.eeprom), eeprom);
        EXPECT_TRUE(run.ReadData(true));

        if (run.unit.Has(Op::ReadCalibration)) {
            ASSERT_TRUE(run.Do(Op::EnterProgrammingMode) && run.Do(Op::ReadCalibration));
            EXPECT_EQ(std::vector<std::uint8_t>(run.target.calibration.begin(),
                                                run.target.calibration.begin() + run.target.calibrationCount),
                      run.Sim().Calibration());
        }

        // Lock and fuses: the factory values read back as the catalogue has them...
        const auto factory = ToVector(run.target.fuses);
        std::fill(run.target.fuses.begin(), run.target.fuses.end(), 0x00);
        ASSERT_TRUE(run.LockFuses(run.unit.LockFuseReadOrder()));
        for (std::size_t slot = 0; slot <= run.target.entry.LockSlot(); ++slot)
            EXPECT_EQ(run.target.fuses[slot], factory[slot]) << "slot " << slot;
        // ...writing them back changes nothing in the chip, its memories included...
        const auto simFuses = run.Sim().Fuses();
        ASSERT_TRUE(run.LockFuses(run.unit.LockFuseWriteOrder()));
        EXPECT_EQ(run.Sim().Fuses(), simFuses);
        EXPECT_EQ(run.Sim().Lock(), 0xFF);
        EXPECT_EQ(run.Sim().Flash(), flash);
        EXPECT_EQ(run.Sim().Eeprom(), eeprom);
        // ...and a changed fuse bit 0 and a programmed lock bit 1 arrive and read back.
        const std::uint8_t lockSlot = run.target.entry.LockSlot();
        run.target.fuses[0] ^= 0x01;
        run.target.fuses[lockSlot] &= std::uint8_t(~0x02);
        const auto written = ToVector(run.target.fuses);
        ASSERT_TRUE(run.LockFuses(run.unit.LockFuseWriteOrder()));
        EXPECT_EQ(run.Sim().Lock() & 0x02, 0);
        std::fill(run.target.fuses.begin(), run.target.fuses.end(), 0x00);
        ASSERT_TRUE(run.LockFuses(run.unit.LockFuseReadOrder()));
        for (std::size_t slot = 0; slot <= lockSlot; ++slot)
            EXPECT_EQ(run.target.fuses[slot], written[slot]) << "slot " << slot;

        // Chip Erase: flash, EEPROM and lock bits back to erased.
        ASSERT_TRUE(run.Erase());
        EXPECT_EQ(run.Sim().Flash(), std::vector<std::uint8_t>(flash.size(), 0xFF));
        EXPECT_EQ(run.Sim().Lock(), 0xFF);
        EXPECT_EQ(run.ReadProgram(false), -1);
        EXPECT_TRUE(std::all_of(run.target.flash.begin(), run.target.flash.end(), [](std::uint8_t b) { return b == 0xFF; }));

        EXPECT_TRUE(run.log.Lines().filter(QStringLiteral("Error")).isEmpty()) << run.log.Lines().join(u'\n').toStdString();
        EXPECT_TRUE(run.link.IsOpen());
    }
}

// The AT90S2323 decodes AC 100x xxxx as Chip Erase. The fuse write as it once was, AC
// (slot 0 AND 0xBF) 00 00, is of that form for every value with SPIEN programmed, the
// factory state: writing the fuse erased the chip. Write Fuse bits is AC 1011 111F.
TEST(SerialConformance, At90s2323FuseWriteKeepsTheChipsMemories)
{
    SimRun run("AT90S2323");
    const std::vector<std::uint8_t> flash = Pattern(run.target.FlashSize(), 7);
    std::copy(flash.begin(), flash.end(), run.target.flash.begin());
    ASSERT_TRUE(run.WriteProgram());
    ASSERT_EQ(run.target.fuses[0], 0xDE) << "factory: SPIEN programmed, FSTRT programmed";

    ASSERT_TRUE(run.Do(Op::EnterProgrammingMode) && run.Do(Op::WriteFuseByte));
    EXPECT_EQ(run.Sim().Flash(), flash);
    EXPECT_EQ(run.Sim().Fuses()[0] & 0x21, 0x00) << "SPIEN and FSTRT as written";

    // The instruction as written, sent by hand: the chip is erased.
    const ProgContext ctx = run.Context();
    ASSERT_TRUE(SpiInstruction(ctx, {.i1 = 0xAC, .i2 = std::uint8_t(0xDE & 0xBF), .failText = " fuse"}));
    ctx.Sleep(20);
    EXPECT_EQ(run.Sim().Flash(), std::vector<std::uint8_t>(flash.size(), 0xFF));
}

// The older parts take the lock bits in the second byte of AC 1111 1211, where 100x xxxx is
// Chip Erase and 101x xxxx Write Fuse bits. Whatever lock value the user gives, only lock bits
// 2 and 1 reach the chip: never an erase, never a fuse change.
TEST(SerialConformance, LockValuesNeverBecomeAnotherInstruction)
{
    for (const char* name : {"AT90S2323", "AT90S2343", "ATtiny22", "ATtiny12", "ATtiny15"}) {
        for (const int value : {0x9F, 0x80, 0x85, 0xA0, 0xBE, 0xBF, 0x00, 0xF9, 0xFD}) {
            SCOPED_TRACE(::testing::Message() << name << " lock 0x" << std::hex << int(value));
            SimRun run(name);
            const std::vector<std::uint8_t> flash = Pattern(run.target.FlashSize(), 11);
            std::copy(flash.begin(), flash.end(), run.Sim().Flash().begin());
            const auto fuses = run.Sim().Fuses();
            run.target.fuses[run.target.entry.LockSlot()] = std::uint8_t(value);
            ASSERT_TRUE(run.Do(Op::EnterProgrammingMode) && run.Do(Op::WriteLockBits));
            EXPECT_EQ(run.Sim().Flash(), flash) << "no chip erase";
            EXPECT_EQ(run.Sim().Fuses(), fuses) << "no fuse write";
            EXPECT_EQ(run.Sim().Lock(), std::uint8_t(value | 0xF9)) << "lock bits 2 and 1 as given";
        }
    }
}

// The ATtiny15's CKSEL1 (bit 1) is programmed in the factory value 0x5C; bits 3 and 2 are
// the unused ones. Reading and writing the factory value leave CKSEL1 programmed.
TEST(SerialConformance, Attiny15FuseKeepsCksel1)
{
    SimRun run("ATtiny15");
    ASSERT_EQ(run.Sim().Fuses()[0], 0x5C);
    ASSERT_TRUE(run.LockFuses(run.unit.LockFuseWriteOrder()));
    EXPECT_EQ(run.Sim().Fuses()[0], 0x5C);
    run.target.fuses[0] = 0x00;
    ASSERT_TRUE(run.LockFuses(run.unit.LockFuseReadOrder()));
    EXPECT_EQ(run.target.fuses[0], 0x5C);
}

}  // namespace
}  // namespace velmora::testing
