// The memory commands over the real family units against the simulated chip, one chip of each
// family: what Write Program and Write Data leave in the chip's memories is what the view held,
// Verify and Read see it again, Chip Erase blanks the chip, Read Calibration reads the chip's
// bytes, and a parallel chip is left without supplies.

#include "ops/memorycommands.h"

#include "ops/familychips.h"

#include "chips/selection.h"
#include "log/operationlog.h"
#include "sim/simlink.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace velmora {
namespace {

struct SimBench {
    explicit SimBench(const char* chipName)
        : entry(*FindChipByName(chipName)), link(*sim::FindSimChip(chipName), /*virtualTime=*/true)
    {
        link.Open(QStringLiteral("virtual"));
        OperationLog selection;
        SelectChip(chips, entry.code, selection, {});
    }
    ProgContext Ctx() { return ProgContext{link, log, 0, link.Sleeper()}; }
    bool Run(const ChipCommand& command)
    {
        ChipJob job(chips);
        const bool ok = command(Ctx(), job, {});
        job.ApplyTo(chips);
        return ok;
    }
    bool Run(MemoryCommand command)
    {
        return Run([command](const ProgContext& ctx, ChipJob& job, const ProgressFn& p) {
            return RunMemoryCommand(command, ctx, job, p);
        });
    }
    sim::SimChip& Chip() { return link.Gateway().Chip(); }
    std::span<std::uint8_t> Image(int kind) { return {chips.CurrentChip.Image(kind), chips.CurrentChip.ImageSize(kind)}; }
    QString LastLine(int back = 0) const
    {
        const QStringList lines = log.Lines();
        return lines.value(lines.size() - 1 - back);
    }

    const ChipEntry& entry;
    sim::SimLink link;
    OperationLog log;
    ChipState chips;
};

std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = std::uint8_t((i * 131 + seed) ^ (i >> 8));
    return bytes;
}

class OpsOnSimulator : public ::testing::TestWithParam<const char*> {};

TEST_P(OpsOnSimulator, WriteVerifyReadEraseCalibrate)
{
    SimBench b(GetParam());
    const bool parallel = UnitOf(b.entry).Interface() == ProgrammingInterface::Parallel;

    const std::vector<std::uint8_t> flash = Pattern(b.entry.flashSize, 7);
    std::copy(flash.begin(), flash.end(), b.Image(FlashKind).begin());
    ASSERT_TRUE(b.Run(MemoryCommand::WriteProgram)) << b.log.Lines().join(QLatin1Char('\n')).toStdString();
    ASSERT_TRUE(std::equal(flash.begin(), flash.end(), b.Chip().Flash().begin())) << "the chip holds what was written";
    if (parallel) {
        EXPECT_FALSE(b.Chip().InParallelMode()) << "supplies off after the command";
    }
    EXPECT_TRUE(b.Run(MemoryCommand::VerifyProgram));
    EXPECT_EQ(b.LastLine(1), QStringLiteral("       Finished. No differences found."));

    // The last byte differs: found at its (word) address, every digit shown.
    const std::uint32_t last = b.entry.flashSize - 1;
    b.Image(FlashKind)[last] ^= 0x40;
    EXPECT_FALSE(b.Run(MemoryCommand::VerifyProgram));
    const std::uint32_t reported = parallel ? last - 1 : last;
    EXPECT_EQ(b.LastLine(1), QStringLiteral("       Finished with fail. Address: 0x") + DifferenceAddressText(reported));

    std::fill(b.Image(FlashKind).begin(), b.Image(FlashKind).end(), 0x00);
    ASSERT_TRUE(b.Run(MemoryCommand::ReadProgram));
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), b.Image(FlashKind).begin()));

    const std::vector<std::uint8_t> eeprom = Pattern(b.entry.eepromSize, 3);
    std::copy(eeprom.begin(), eeprom.end(), b.Image(EepromKind).begin());
    ASSERT_TRUE(b.Run(MemoryCommand::WriteData)) << b.log.Lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(std::equal(eeprom.begin(), eeprom.end(), b.Chip().Eeprom().begin()));
    EXPECT_TRUE(b.Run(MemoryCommand::VerifyData));
    std::fill(b.Image(EepromKind).begin(), b.Image(EepromKind).end(), 0x00);
    ASSERT_TRUE(b.Run(MemoryCommand::ReadData));
    EXPECT_TRUE(std::equal(eeprom.begin(), eeprom.end(), b.Image(EepromKind).begin()));

    ASSERT_TRUE(b.Run(RunChipErase));
    EXPECT_TRUE(std::all_of(b.Chip().Flash().begin(), b.Chip().Flash().end(), [](std::uint8_t v) { return v == 0xFF; }));
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), b.Image(FlashKind).begin())) << "erase keeps the image";

    const bool calibration = UnitOf(UnitOf(b.entry).CalibrationUnit()).Has(ChipOperation::ReadCalibration);
    EXPECT_EQ(b.Run(RunReadCalibration), calibration);
    if (calibration) {
        QString expected;
        for (std::size_t i = 0; i < b.entry.calibrationCount; ++i)
            expected += QStringLiteral("calibration %1 = 0x%2").arg(i).arg(QString::number(b.Chip().Calibration().at(i), 16).toUpper().rightJustified(2, QLatin1Char('0')));
        EXPECT_EQ(b.LastLine(), expected);
    } else {
        EXPECT_EQ(b.LastLine(), QStringLiteral("Command is not available for this chip"));
    }
    if (parallel) {
        EXPECT_FALSE(b.Chip().InParallelMode());
    }
}

// A serial number after the whole memories were written: four bytes near the end of the flash
// (where firmware keeps them, blank in its image) and into the EEPROM, written with no erase and
// compared; flash that is not blank there shows as a difference, never as success.
TEST_P(OpsOnSimulator, PatchWriteAfterTheImage)
{
    SimBench b(GetParam());
    const auto patch = [&](int kind, std::uint32_t address, std::uint32_t value) {
        for (std::uint32_t i = 0; i < 4; ++i)
            b.Image(kind)[address + i] = std::uint8_t(value >> (8 * i));
        return b.Run([&](const ProgContext& ctx, ChipJob& job, const ProgressFn& p) {
            return RunPatchWrite(kind, address + 3, QStringLiteral(" write the serial number"), ctx, job, p);
        });
    };
    const std::uint32_t flashAt = b.entry.flashSize - 8;
    std::vector<std::uint8_t> flash = Pattern(b.entry.flashSize, 5);
    std::fill_n(flash.begin() + flashAt, 4, std::uint8_t(0xFF));
    std::copy(flash.begin(), flash.end(), b.Image(FlashKind).begin());
    ASSERT_TRUE(b.Run(MemoryCommand::WriteProgram));
    const std::vector<std::uint8_t> eeprom = Pattern(b.entry.eepromSize, 9);
    std::copy(eeprom.begin(), eeprom.end(), b.Image(EepromKind).begin());
    ASSERT_TRUE(b.Run(MemoryCommand::WriteData));

    ASSERT_TRUE(patch(FlashKind, flashAt, 0x12345678)) << b.log.Lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(b.LastLine(1), QStringLiteral("       Finished. No differences found."));
    EXPECT_TRUE(std::equal(b.Image(FlashKind).begin(), b.Image(FlashKind).end(), b.Chip().Flash().begin()));
    EXPECT_EQ(b.Chip().Flash()[flashAt], 0x78);
    EXPECT_EQ(b.Chip().Flash()[flashAt + 3], 0x12);

    const std::uint32_t eepromAt = b.entry.eepromSize - 4;
    ASSERT_TRUE(patch(EepromKind, eepromAt, 1001)) << b.log.Lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(std::equal(b.Image(EepromKind).begin(), b.Image(EepromKind).end(), b.Chip().Eeprom().begin()));
    EXPECT_EQ(b.Chip().Eeprom()[eepromAt], 1001 & 0xFF);

    EXPECT_FALSE(patch(FlashKind, 0, 0xF0F0F0F0));
    EXPECT_TRUE(b.LastLine(1).startsWith(QStringLiteral("       Finished with fail. Address: 0x")));
    EXPECT_FALSE(patch(EepromKind, b.entry.eepromSize - 3, 1)) << "beyond the memory";
}

INSTANTIATE_TEST_SUITE_P(EveryFamily, OpsOnSimulator, ::testing::ValuesIn(testing::OneChipPerFamily));

}  // namespace
}  // namespace velmora
