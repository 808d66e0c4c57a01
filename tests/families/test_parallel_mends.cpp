// Three sequences that lose data on a chip that follows its datasheet, each shown failing on
// the simulator in its old form and passing in the form the units use.

#include "families/parallelunit.h"
#include "log/operationlog.h"
#include "sim/simlink.h"
#include "unitbuffers.h"

#include <gtest/gtest.h>

#include <functional>

namespace velmora::testing {
namespace {

using EepromWrite = std::function<bool(const ProgContext&, ChipTarget&, std::uint32_t pos)>;

// A chip in the simulator on virtual time, with the buffers of its catalogue row.
struct SimSocket {
    SimSocket(const ChipEntry& e, const sim::SimChipModel& model) : link(model, true), buffers(e)
    {
        link.Open(QStringLiteral("virtual"));
        for (std::size_t i = 0; i < buffers.eeprom.size(); ++i)
            buffers.eeprom[i] = std::uint8_t(i * 7 + 3);
        for (std::size_t i = 0; i < buffers.flash.size(); ++i)
            buffers.flash[i] = std::uint8_t(i * 13 + 1);
    }
    ProgContext Context() { return ProgContext{link, log, 0, link.Sleeper()}; }

    std::size_t EepromDifferences(const FamilyUnit& unit, const EepromWrite& write)
    {
        ChipTarget t = buffers.Target();
        EXPECT_TRUE(unit.EnterProgrammingMode(Context(), t));
        for (std::uint32_t pos = 0; pos < buffers.eeprom.size(); ++pos)
            EXPECT_TRUE(write(Context(), t, pos));
        return Differences(link.Gateway().Chip().Eeprom(), buffers.eeprom);
    }

    std::size_t FlashDifferences(const FamilyUnit& unit)
    {
        ChipTarget t = buffers.Target();
        const std::uint32_t page = buffers.entry.flashPageBytes;
        EXPECT_TRUE(unit.EnterProgrammingMode(Context(), t) && unit.ChipErase(Context(), t) &&
                    unit.EnterProgrammingMode(Context(), t));
        for (std::uint32_t pos = 0; pos < buffers.flash.size(); pos += 2) {
            EXPECT_TRUE(unit.LoadFlashWord(Context(), t, pos));
            if ((pos & (page - 1)) == page - 2) {
                EXPECT_TRUE(unit.WriteFlashPage(Context(), t, pos));
            }
        }
        return Differences(link.Gateway().Chip().Flash(), buffers.flash);
    }

    static std::size_t Differences(const std::vector<std::uint8_t>& chip, const std::vector<std::uint8_t>& image)
    {
        std::size_t n = 0;
        for (std::size_t i = 0; i < image.size(); ++i)
            n += chip[i] != image[i] ? 1u : 0u;
        return n;
    }

    sim::SimLink link;
    OperationLog log;
    UnitBuffers buffers;
};

// The old AT90CAN32 EEPROM write: data loads only, one PAGEL pulse at the end of each page of 8.
bool PagelOnlyAtPageEnd(const ProgContext& ctx, ChipTarget& t, std::uint32_t pos)
{
    if (pos == 0 && !LoadCommand(ctx, ProgCommand::WriteEeprom))
        return false;
    if ((pos & 7) == 0 && !LoadAddressHigh(ctx, std::uint8_t(pos >> 8)))
        return false;
    if (!LoadAddressLow(ctx, std::uint8_t(pos)) || !LoadDataLow(ctx, t.eeprom[pos]))
        return false;
    if (((pos + 1) & 7) != 0)
        return true;
    if (!ctx.Send(Packets::Pulse(PulseKind::GivePagelPosPulse), " GivePagelPosPulse"))
        return false;
    ctx.DelaySleep();
    return WriteAndWaitReady(ctx, Packets::Pulse(PulseKind::GiveWRNegPulse), " GiveWRNegPulse");
}

// The old ATtiny2313 EEPROM write: no latch at all, a WR pulse after every fourth byte.
bool NoLatch(const ProgContext& ctx, ChipTarget& t, std::uint32_t pos)
{
    if (pos == 0 && !LoadCommand(ctx, ProgCommand::WriteEeprom))
        return false;
    if ((pos & 3) == 0 && !LoadAddressHigh(ctx, std::uint8_t(pos >> 8)))
        return false;
    if (!LoadAddressLow(ctx, std::uint8_t(pos)) || !LoadDataLow(ctx, t.eeprom[pos]))
        return false;
    if (((pos + 1) & 3) != 0)
        return true;
    return WriteAndWaitReady(ctx, Packets::Pulse(PulseKind::GiveWRNegPulse), " GiveWRNegPulse");
}

EepromWrite UnitsWrite(const FamilyUnit& unit)
{
    return [&unit](const ProgContext& ctx, ChipTarget& t, std::uint32_t pos) { return unit.WriteEepromByte(ctx, t, pos); };
}

TEST(ParallelMends, At90can32EepromLatchesEveryByteOfItsPage)
{
    const ChipEntry& chip = Chip("AT90CAN32");
    const FamilyUnit& unit = units::At90can32();
    SimSocket old(chip, *sim::FindSimChip("AT90CAN32"));
    // Only the byte latched at the page end reaches the EEPROM: seven of eight are lost.
    EXPECT_GE(old.EepromDifferences(unit, PagelOnlyAtPageEnd), std::size_t(chip.eepromSize * 7 / 8 - chip.eepromSize / 64));
    SimSocket mended(chip, *sim::FindSimChip("AT90CAN32"));
    EXPECT_EQ(mended.EepromDifferences(unit, UnitsWrite(unit)), 0u);
}

TEST(ParallelMends, Attiny2313EepromLatchesByRaisingBs1)
{
    const ChipEntry& chip = Chip("ATtiny2313");
    const FamilyUnit& unit = units::Attiny2313();
    SimSocket old(chip, *sim::FindSimChip("ATtiny2313"));
    EXPECT_GE(old.EepromDifferences(unit, NoLatch), std::size_t(chip.eepromSize / 2));
    SimSocket mended(chip, *sim::FindSimChip("ATtiny2313"));
    EXPECT_EQ(mended.EepromDifferences(unit, UnitsWrite(unit)), 0u);
}

TEST(ParallelMends, Attiny2313PageCommitLowersBs1First)
{
    const ChipEntry& chip = Chip("ATtiny2313");
    const auto& mendedUnit = static_cast<const ParallelUnit&>(units::Attiny2313());
    ParallelTraits oldTraits = mendedUnit.Traits();
    oldTraits.pageCommit = PageCommit::AsLoaded;  // 1D 03 with BS1 still high from the last load
    const ParallelUnit oldUnit(oldTraits);

    // A chip whose shared BS1/PAGEL latch takes the data on the falling edge misses the last
    // word of every page: 2 bytes of each 32-byte page, reported as success.
    const sim::SimChipModel& fallingEdge = *sim::FindSimChip("ATtiny2313");
    ASSERT_TRUE(fallingEdge.pagelLatchesOnFall);
    SimSocket old(chip, fallingEdge);
    EXPECT_EQ(old.FlashDifferences(oldUnit), std::size_t(chip.flashSize / chip.flashPageBytes * 2));
    SimSocket mended(chip, fallingEdge);
    EXPECT_EQ(mended.FlashDifferences(mendedUnit), 0u);

    // On a latch that follows BS1 while it is high, both forms work: the edge is what shows it.
    static const sim::SimChipModel transparent = [&] {
        sim::SimChipModel m = fallingEdge;
        m.pagelLatchesOnFall = false;
        return m;
    }();
    SimSocket oldTransparent(chip, transparent);
    EXPECT_EQ(oldTransparent.FlashDifferences(oldUnit), 0u);
}

}  // namespace
}  // namespace velmora::testing
