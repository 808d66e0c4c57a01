// Every parallel chip of the catalogue, through its unit, against the simulated chip of the
// same name on virtual time: the datasheet-level simulator loses data on any sequence a real
// chip would not take.

#include "families/parallelunit.h"
#include "log/operationlog.h"
#include "sim/simlink.h"
#include "unitbuffers.h"

#include <gtest/gtest.h>

#include <random>

namespace velmora::testing {
namespace {

using Op = ChipOperation;

// One chip in the simulator's socket, driven through its unit as the memory commands and
// the lock and fuse dialog drive it.
class SimBench {
public:
    explicit SimBench(const ChipEntry& entry)
        : entry_(entry), model_(sim::FindSimChip(entry.name)), link_(*model_, true), unit_(ParallelUnitOf(entry.family)),
          buffers_(entry)
    {
        link_.Open(QStringLiteral("virtual"));
    }

    const FamilyUnit& Unit() const { return unit_; }
    sim::SimChip& SimChip() { return link_.Gateway().Chip(); }
    UnitBuffers& Buffers() { return buffers_; }
    ProgContext Context() { return ProgContext{link_, log_, 0, link_.Sleeper()}; }
    bool LinkOpen() const { return link_.IsOpen(); }
    const OperationLog& Log() const { return log_; }

    bool Enter(const FamilyUnit& unit)
    {
        ChipTarget t = buffers_.Target();
        return unit.EnterProgrammingMode(Context(), t);
    }

    bool WriteProgram()
    {
        ChipTarget t = buffers_.Target();
        const ProgContext ctx = Context();
        if (!Enter(unit_) || !unit_.ChipErase(ctx, t) || !Enter(unit_))
            return false;
        const std::uint32_t page = entry_.flashPageBytes;
        for (std::uint32_t pos = 0; pos < entry_.flashSize; pos += 2) {
            if (unit_.Has(Op::WriteFlashWord)) {
                if (!unit_.WriteFlashWord(ctx, t, pos))
                    return false;
            } else if (!unit_.LoadFlashWord(ctx, t, pos) ||
                       ((pos & (page - 1)) == page - 2 && !unit_.WriteFlashPage(ctx, t, pos))) {
                return false;
            }
        }
        return true;
    }

    bool ReadProgram(bool verify)
    {
        return Pass(entry_.flashSize, 2, [&](ChipTarget& t, std::uint32_t pos) {
            return unit_.ReadFlashWord(Context(), t, pos, verify);
        });
    }

    bool WriteData()
    {
        return Pass(entry_.eepromSize, 1,
                    [&](ChipTarget& t, std::uint32_t pos) { return unit_.WriteEepromByte(Context(), t, pos); });
    }

    bool ReadData(bool verify)
    {
        return Pass(entry_.eepromSize, 1, [&](ChipTarget& t, std::uint32_t pos) {
            return unit_.ReadEepromByte(Context(), t, pos, verify);
        });
    }

    bool Run(const FamilyUnit& unit, std::span<const ChipOperation> order)
    {
        ChipTarget t = buffers_.Target();
        if (!Enter(unit))
            return false;
        for (ChipOperation op : order) {
            if (!unit.Run(op, Context(), t))
                return false;
        }
        return true;
    }

private:
    // EnterProgrammingMode, then step for pos = 0, stride, ... below size.
    template <typename Step>
    bool Pass(std::uint32_t size, std::uint32_t stride, Step step)
    {
        ChipTarget t = buffers_.Target();
        if (!Enter(unit_))
            return false;
        for (std::uint32_t pos = 0; pos < size; pos += stride) {
            if (!step(t, pos))
                return false;
        }
        return true;
    }

    const ChipEntry& entry_;
    const sim::SimChipModel* model_;
    sim::SimLink link_;
    const FamilyUnit& unit_;
    UnitBuffers buffers_;
    OperationLog log_;
};

std::vector<std::uint8_t> RandomImage(std::size_t size, std::mt19937& rng)
{
    std::vector<std::uint8_t> image(size);
    for (auto& b : image)
        b = std::uint8_t(rng());
    return image;
}

class ParallelConformance : public ::testing::TestWithParam<const ChipEntry*> {};

TEST_P(ParallelConformance, WritesReadsVerifiesFusesCalibrationAndErases)
{
    const ChipEntry& entry = *GetParam();
    SCOPED_TRACE(std::string(entry.name));
    ASSERT_NE(sim::FindSimChip(entry.name), nullptr);
    SimBench bench(entry);
    const FamilyUnit& unit = bench.Unit();
    std::mt19937 rng(static_cast<std::uint32_t>(entry.code));
    const std::uint8_t blank = entry.niiet ? 0x00 : 0xFF;

    // Flash: written, found in the chip, read back equal, verified; a changed byte fails
    // the verify with the link kept.
    const std::vector<std::uint8_t> program = RandomImage(entry.flashSize, rng);
    bench.Buffers().flash = program;
    ASSERT_TRUE(bench.WriteProgram());
    // NIIET cells only gain bits from the erased 0x00, AVR cells only lose them from 0xFF;
    // either way one pass writes the image exactly.
    EXPECT_TRUE(bench.SimChip().Flash() == program);
    bench.Buffers().flash.assign(entry.flashSize, 0x5A);
    ASSERT_TRUE(bench.ReadProgram(false));
    EXPECT_TRUE(bench.Buffers().flash == program);
    ASSERT_TRUE(bench.ReadProgram(true));
    bench.Buffers().flash[entry.flashSize - 1] ^= 0x01;
    EXPECT_FALSE(bench.ReadProgram(true));
    EXPECT_TRUE(bench.LinkOpen());

    // EEPROM the same way.
    const std::vector<std::uint8_t> data = RandomImage(entry.eepromSize, rng);
    bench.Buffers().eeprom = data;
    ASSERT_TRUE(bench.WriteData());
    EXPECT_TRUE(bench.SimChip().Eeprom() == data);
    bench.Buffers().eeprom.assign(entry.eepromSize, 0x5A);
    ASSERT_TRUE(bench.ReadData(false));
    EXPECT_TRUE(bench.Buffers().eeprom == data);
    ASSERT_TRUE(bench.ReadData(true));

    // Lock and fuses: values every layout keeps as they are (the AT90S parts hold only fuse
    // bits 0 and 5 and lock bits 1 and 2).
    auto& fuses = bench.Buffers().fuses;
    fuses = {0xDE, 0xD1, 0xFD, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    fuses[entry.LockSlot()] = 0xF9;
    const auto written = fuses;
    ASSERT_TRUE(bench.Run(unit, unit.LockFuseWriteOrder()));
    fuses.fill(0x00);
    ASSERT_TRUE(bench.Run(unit, unit.LockFuseReadOrder()));
    for (std::size_t slot = 0; slot <= entry.LockSlot(); ++slot)
        EXPECT_EQ(fuses[slot], written[slot]) << "slot " << slot;

    // Calibration, through the unit that reads it for this family.
    const FamilyUnit& calibrationUnit = ParallelUnitOf(unit.CalibrationUnit());
    if (calibrationUnit.Has(Op::ReadCalibration)) {
        ASSERT_TRUE(bench.Run(calibrationUnit, std::array{Op::ReadCalibration}));
        const auto& expected = bench.SimChip().Calibration();
        ASSERT_EQ(expected.size(), entry.calibrationCount);
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(bench.Buffers().calibration[i], expected[i]) << "calibration byte " << i;
    } else {
        EXPECT_EQ(entry.calibrationCount, 0);
    }

    // Erase: the chip and what is read from it are blank again.
    ASSERT_TRUE(bench.Run(unit, std::array{Op::ChipErase}));
    EXPECT_TRUE(std::all_of(bench.SimChip().Flash().begin(), bench.SimChip().Flash().end(),
                            [&](std::uint8_t b) { return b == blank; }));
    bench.Buffers().flash.assign(entry.flashSize, std::uint8_t(~blank));
    ASSERT_TRUE(bench.ReadProgram(false));
    EXPECT_TRUE(std::all_of(bench.Buffers().flash.begin(), bench.Buffers().flash.end(),
                            [&](std::uint8_t b) { return b == blank; }));
    EXPECT_TRUE(bench.LinkOpen());
}

std::vector<const ChipEntry*> ParallelChips()
{
    std::vector<const ChipEntry*> chips;
    for (const ChipEntry& e : ChipCatalogue()) {
        if (IsParallel(e.family))
            chips.push_back(&e);
    }
    return chips;
}

std::string ChipTestName(const ::testing::TestParamInfo<const ChipEntry*>& info)
{
    std::string name;
    for (char c : info.param->name)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(EveryParallelChip, ParallelConformance, ::testing::ValuesIn(ParallelChips()), ChipTestName);

TEST(ParallelConformanceSet, CoversTheFortyFiveParallelChips)
{
    EXPECT_EQ(ParallelChips().size(), 45u);
}

}  // namespace
}  // namespace velmora::testing
