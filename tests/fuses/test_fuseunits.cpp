// The lock and fuse sequences with the real family units: each chip's read and write orders,
// its lock slot against its layout, and for every chip a write, a read-back and a fresh read
// on the simulated chip, which must hold exactly the shown bits written.
#include "chips/selection.h"
#include "fuses/fusecommands.h"
#include "log/operationlog.h"
#include "sim/simlink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <span>
#include <string>

namespace velmora {
namespace {

using Op = ChipOperation;
using Order = std::vector<Op>;

struct Orders {
    Order read;
    Order write;
};

// The orders by chip, in the groups the chips share them in.
std::map<std::string, Orders> ExpectedOrders()
{
    const Orders at90s = {{Op::ReadFuseAndLockBits}, {Op::WriteFuseByte, Op::WriteLockBits}};
    const Orders tiny12 = {{Op::ReadLockBits, Op::ReadFuseByte}, {Op::WriteFuseByte, Op::WriteLockBits}};
    const Orders tiny2313 = {{Op::ReadFuseAndLockBits}, {Op::WriteFuseExtended, Op::WriteFuseHigh, Op::WriteFuseLow, Op::WriteLockBits}};
    const Orders mega103 = {{Op::ReadLockBits, Op::ReadFuseLow}, {Op::WriteFuseLow, Op::WriteLockBits}};
    const Orders mega8 = {{Op::ReadLockBits, Op::ReadFuseHigh, Op::ReadFuseLow}, {Op::WriteFuseHigh, Op::WriteFuseLow, Op::WriteLockBits}};
    const Orders extended = {{Op::ReadLockBits, Op::ReadFuseExtended, Op::ReadFuseHigh, Op::ReadFuseLow},
                             {Op::WriteFuseExtended, Op::WriteFuseHigh, Op::WriteFuseLow, Op::WriteLockBits}};
    std::map<std::string, Orders> orders;
    auto add = [&](const Orders& o, std::initializer_list<const char*> chips) {
        for (const char* c : chips)
            orders[c] = o;
    };
    add(at90s, {"AT90S1200", "AT90S2313", "AT90S2323", "AT90S2343", "AT90S4414", "AT90S4434", "AT90S8515", "AT90S8535",
                "AT90S2333", "AT90S4433", "ATtiny22"});
    add(tiny12, {"ATtiny12", "ATtiny15"});
    add(tiny2313, {"ATtiny2313"});
    add(mega103, {"ATmega103", "ATmega603", "ATmega161"});
    add(mega8, {"ATmega8", "ATmega16", "ATmega32", "ATmega163", "ATmega323", "ATmega8515", "ATmega8535", "ATtiny13",
                "ATtiny26", "1887ВЕ4У"});
    add(extended, {"ATmega48", "ATmega48PA", "ATmega88", "ATmega88PA", "ATmega168", "ATmega168PA", "ATmega162", "ATmega164",
                   "ATmega324", "ATmega644", "ATmega169", "ATmega64", "ATmega128", "ATmega640", "ATmega1280", "ATmega1281",
                   "ATmega2560", "ATmega2561", "ATtiny25", "ATtiny45", "ATtiny85", "ATtiny261", "ATtiny461", "ATtiny861",
                   "AT90CAN32", "AT90CAN64", "AT90CAN128", "1887ВЕ7Т"});
    return orders;
}

// How many fuse bytes the unit's lock and fuse orders read and write (slots 0, 1, 2 for the
// low, high and extended byte): the row's lock slot must come right after them, or the lock
// byte would land on a fuse byte's slot or leave a hole.
std::uint8_t FuseBytesOf(const FamilyUnit& unit)
{
    std::uint8_t count = 0;
    const auto covers = [&](std::span<const Op> order) {
        for (Op op : order)
            switch (op) {
            case Op::ReadFuseLow: case Op::WriteFuseLow: case Op::ReadFuseByte: case Op::WriteFuseByte:
            case Op::ReadFuseAndLockBits:
                count = std::max<std::uint8_t>(count, 1);
                break;
            case Op::ReadFuseHigh: case Op::WriteFuseHigh:
                count = std::max<std::uint8_t>(count, 2);
                break;
            case Op::ReadFuseExtended: case Op::WriteFuseExtended:
                count = std::max<std::uint8_t>(count, 3);
                break;
            default:
                break;
            }
    };
    covers(unit.LockFuseReadOrder());
    covers(unit.LockFuseWriteOrder());
    return count;
}

TEST(LockFuseOrders, EveryChipReadsAndWritesItsLayoutsBytesInItsOrder)
{
    const auto expected = ExpectedOrders();
    for (const ChipEntry& e : ChipCatalogue()) {
        const std::string name(e.name);
        const FamilyUnit& unit = UnitOf(e);
        const FuseLayout& layout = *LayoutOf(&e);
        ASSERT_EQ(expected.count(name), 1u) << name;
        const auto read = unit.LockFuseReadOrder();
        const auto write = unit.LockFuseWriteOrder();
        EXPECT_EQ(Order(read.begin(), read.end()), expected.at(name).read) << name;
        EXPECT_EQ(Order(write.begin(), write.end()), expected.at(name).write) << name;
        EXPECT_EQ(FuseBytesOf(unit), e.LockSlot()) << name;
        EXPECT_EQ(layout.LockSlot(), e.LockSlot()) << name;
        for (Op op : expected.at(name).read)
            EXPECT_TRUE(unit.Has(op)) << name;
        for (Op op : expected.at(name).write)
            EXPECT_TRUE(unit.Has(op)) << name;
    }
}

// Values every chip of a layout can take: each enabled shown bit flipped, except SPIEN,
// RSTDISBL and DWEN (serial programming cannot change them, and they would cut it off), and
// of the lock bits only the lowest programmed (lock bits can only be programmed).
FuseBytes Changed(const FuseLayout& layout, FuseBytes values)
{
    for (int g = 0; g < layout.groupCount; ++g) {
        const FuseGroup& group = layout.groups[std::size_t(g)];
        std::uint8_t& v = values[std::size_t(g)];
        if (g == layout.LockSlot()) {
            for (int b = 0; b < FuseBitsPerGroup; ++b)
                if (group.bits[std::size_t(b)].Shown()) {
                    v = std::uint8_t(v & ~(1u << b));
                    break;
                }
            continue;
        }
        for (int b = 0; b < FuseBitsPerGroup; ++b) {
            const FuseBit& bit = group.bits[std::size_t(b)];
            if (bit.Shown() && !bit.disabled && HazardOf(layout, g, b).risk == BitRisk::None)
                v = std::uint8_t(v ^ (1u << b));
        }
    }
    return values;
}

TEST(LockFuseSimulator, EveryChipTakesWhatIsWrittenAndReadsItBack)
{
    for (const ChipEntry& entry : ChipCatalogue()) {
        const std::string name(entry.name);
        const FuseLayout& layout = *LayoutOf(&entry);
        SCOPED_TRACE(name);
        const sim::SimChipModel* model = sim::FindSimChip(name);
        ASSERT_NE(model, nullptr) << "the simulator has no model of the chip";
        sim::SimLink link(*model, /*virtualTime=*/true);
        link.Open(QStringLiteral("virtual"));
        OperationLog log;
        const ProgContext ctx{link, log, 0, link.Sleeper()};
        ChipState state;
        SelectMenuEntry(state, entry, log, {});

        ChipJob first(state);
        ASSERT_EQ(ReadLockFuses(ctx, first), FuseOutcome::Done) << log.Lines().join('\n').toStdString();
        const FuseBytes factory = first.Chip().FuseDefaults;

        state.CurrentChip.FuseDefaults = Changed(layout, factory);
        ChipJob write(state);
        const FuseWriteReport report = WriteLockFuses(ctx, write);
        EXPECT_EQ(report.outcome, FuseOutcome::Done) << log.Lines().join('\n').toStdString();
        ASSERT_TRUE(report.chipValues);
        EXPECT_TRUE(ShownDifferences(layout, state.CurrentChip.FuseDefaults, *report.chipValues).empty());

        // A fresh read after the supplies went off: what the chip keeps.
        ChipJob again(state);
        ASSERT_EQ(ReadLockFuses(ctx, again), FuseOutcome::Done);
        EXPECT_TRUE(ShownDifferences(layout, state.CurrentChip.FuseDefaults, again.Chip().FuseDefaults).empty());
        EXPECT_FALSE(ShownDifferences(layout, factory, again.Chip().FuseDefaults).empty()) << "the write changed the chip";
    }
}

}  // namespace
}  // namespace velmora
