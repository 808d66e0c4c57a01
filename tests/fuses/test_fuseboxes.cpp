// The layouts and the dialog's box logic, without widgets.
#include "fuses/fuseboxes.h"
#include "fuses/fusecheck.h"
#include "fusetestdata.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <set>
#include <string>

namespace velmora {
namespace {

const FuseLayout& LayoutFor(const char* name)
{
    const FuseLayout* l = LayoutOf(&ChipNamed(name));
    EXPECT_NE(l, nullptr) << name;
    return *l;
}

// "Lock bits: - - BLB12 BLB11 BLB02 BLB01 LB2 LB1", bit 7 first, as the datasheets draw it.
std::string GroupText(const FuseGroup& g)
{
    std::string s(g.caption);
    s += ":";
    for (int b = FuseBitsPerGroup - 1; b >= 0; --b) {
        const FuseBit& bit = g.bits[std::size_t(b)];
        s += " ";
        s += bit.Shown() ? std::string(bit.name) + (bit.disabled ? "(disabled)" : "") : "-";
    }
    return s;
}

// The checked boxes as names, bit 7 of group 0 first.
QStringList Checked(const FuseBoxes& boxes)
{
    QStringList names;
    for (int g = 0; g < FuseGroupCount; ++g)
        for (int b = FuseBitsPerGroup - 1; b >= 0; --b)
            if (boxes.Box(g, b).checked)
                names << QString::fromUtf8(boxes.Box(g, b).caption.data(), qsizetype(boxes.Box(g, b).caption.size()));
    return names;
}

TEST(FuseLayouts, EveryChipHasOneWithAsManyGroupsAsFactoryBytes)
{
    std::set<int> used;
    for (const ChipEntry& e : ChipCatalogue()) {
        const FuseLayout* l = LayoutOf(&e);
        ASSERT_NE(l, nullptr) << e.name;
        EXPECT_EQ(l->number, e.fuseLayout) << e.name;
        EXPECT_EQ(l->groupCount, e.factoryCount) << e.name;
        EXPECT_EQ(l->LockSlot(), e.LockSlot()) << e.name;
        used.insert(l->number);
    }
    EXPECT_EQ(used.size(), FuseLayouts().size()) << "every layout serves a catalogue chip";
    EXPECT_EQ(LayoutOf(nullptr), nullptr);
    // The NIIET parts share their counterparts' layouts.
    EXPECT_EQ(LayoutOf(&ChipNamed("1887ВЕ4У")), &LayoutFor("ATmega8535"));
    EXPECT_EQ(LayoutOf(&ChipNamed("1887ВЕ7Т")), &LayoutFor("ATmega128"));
}

// The chips of each layout as the layout table lists them: the rows carry only the number, so
// a row given a neighbour's number shows this table's difference.
TEST(FuseLayouts, ChipsAsTheLayoutTableListsThem)
{
    const std::vector<std::vector<std::string>> chips = {
        {"AT90S1200", "AT90S2343", "ATtiny22"},
        {"AT90S2313", "AT90S2323", "AT90S4414", "AT90S4434", "AT90S8515", "AT90S8535"},
        {"AT90S2333", "AT90S4433"},
        {"ATtiny12"},
        {"ATtiny15"},
        {"ATtiny13"},
        {"ATtiny26"},
        {"ATtiny2313"},
        {"ATtiny25", "ATtiny45", "ATtiny85", "ATtiny261", "ATtiny461", "ATtiny861", "ATmega48"},
        {"ATmega48PA"},
        {"ATmega88", "ATmega88PA", "ATmega168", "ATmega168PA"},
        {"ATmega103", "ATmega603"},
        {"ATmega161"},
        {"ATmega163"},
        {"ATmega323"},
        {"ATmega8"},
        {"ATmega16", "ATmega32"},
        {"ATmega8515"},
        {"ATmega8535", "1887ВЕ4У"},
        {"ATmega64", "ATmega128", "1887ВЕ7Т"},
        {"ATmega162"},
        {"ATmega169"},
        {"ATmega164", "ATmega324", "ATmega644", "ATmega640", "ATmega1280", "ATmega1281", "ATmega2560", "ATmega2561"},
        {"AT90CAN32", "AT90CAN64", "AT90CAN128"},
    };
    ASSERT_EQ(chips.size(), FuseLayouts().size());
    std::size_t listed = 0;
    for (std::size_t i = 0; i < chips.size(); ++i) {
        const FuseLayout& layout = FuseLayouts()[i];
        for (const std::string& name : chips[i])
            EXPECT_EQ(LayoutOf(&ChipNamed(name.c_str())), &layout) << name << " in layout " << layout.number;
        EXPECT_EQ(LayoutOf(&FirstChipOf(layout)), &layout) << layout.number;
        listed += chips[i].size();
    }
    EXPECT_EQ(listed, ChipCount) << "every chip in one list";
}

TEST(FuseLayouts, BitsWhereTheDatasheetsPutThem)
{
    struct Case {
        const char* chip;
        int slot;
        std::string text;
    };
    const Case cases[] = {
        {"ATmega8", 0, "Low Fuses: BODLEVEL BODEN SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0"},
        {"ATmega8", 1, "High Fuses: RSTDISBL WDTON SPIEN CKOPT EESAVE BOOTSZ1 BOOTSZ0 BOOTRST"},
        {"ATmega8", 2, "Lock bits: - - BLB12 BLB11 BLB02 BLB01 LB2 LB1"},
        {"AT90S1200", 0, "Fuse Bits: - - SPIEN - - - - RCEN"},
        {"AT90S8515", 0, "Fuse Bits: - - SPIEN - - - - FSTRT"},
        {"AT90S4433", 1, "Lock bits: - - - - - LB2 LB1 -"},
        {"ATtiny12", 1, "Lock bits: - - - - - LB2 LB1 -"},
        {"ATmega603", 0, "Fuse Bits: - - SPIEN - EESAVE - SUT1 SUT0"},
        {"ATmega103", 1, "Lock bits: - - - - - LB2 LB1 -"},
        {"ATtiny15", 0, "Fuse Bits: BODLEVEL BODEN SPIEN RSTDISBL - - CKSEL1 CKSEL0"},
        {"ATtiny13", 0, "Low Fuses: SPIEN EESAVE WDTON CKDIV8 SUT1 SUT0 CKSEL1 CKSEL0"},
        {"ATtiny13", 2, "Lock bits: - - - - - - LB2 LB1"},
        {"ATtiny26", 1, "High Fuses: - - - RSTDISBL SPIEN EESAVE BODLEVEL BODEN"},
        {"ATmega163", 0, "Low Fuses: BODLEVEL BODEN SPIEN - CKSEL3 CKSEL2 CKSEL1 CKSEL0"},
        {"ATmega161", 0, "Fuses: - BOOTRST SPIEN BODLEVEL BODEN CKSEL2 CKSEL1 CKSEL0"},
        {"ATtiny2313", 1, "High Fuses: DWEN EESAVE SPIEN WDTON BODLEVEL2 BODLEVEL1 BODLEVEL0 RSTDISBL"},
        {"ATtiny85", 1, "High Fuses: RSTDISBL DWEN SPIEN WDTON EESAVE BODLEVEL2 BODLEVEL1 BODLEVEL0"},
        {"ATmega168PA", 2, "Extended Fuses: - - - - - BOOTSZ1 BOOTSZ0 BOOTRST"},
        {"ATmega128", 2, "Extended Fuses: - - - - - - M103C WDTON"},
        {"ATmega162", 2, "Extended Fuses: - - - M161C BODLEVEL2 BODLEVEL1 BODLEVEL0 -"},
        {"ATmega169", 2, "Extended Fuses: - - - - BODLEVEL2 BODLEVEL1 BODLEVEL0 RESERVED(disabled)"},
        {"ATmega2560", 2, "Extended Fuses: - - - - - BODLEVEL2 BODLEVEL1 BODLEVEL0"},
        {"AT90CAN64", 2, "Extended Fuses: - - - - BODLEVEL2 BODLEVEL1 BODLEVEL0 TA0SEL"},
        {"ATmega8515", 1, "High Fuses: S8515C WDTON SPIEN CKOPT EESAVE BOOTSZ1 BOOTSZ0 BOOTRST"},
        {"ATmega8535", 1, "High Fuses: S8535C WDTON SPIEN CKOPT EESAVE BOOTSZ1 BOOTSZ0 BOOTRST"},
        {"ATmega323", 1, "High Fuses: OCDEN JTAGEN SPIEN - EESAVE BOOTSZ1 BOOTSZ0 BOOTRST"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GroupText(LayoutFor(c.chip).groups[std::size_t(c.slot)]), c.text) << c.chip << " slot " << c.slot;
}

TEST(FuseLayouts, TipsOnlyWhereTheBitMeansSomething)
{
    const FuseLayout& mega8 = LayoutFor("ATmega8");
    EXPECT_EQ(TipOf(mega8.groups[1].bits[7]),
              "Programmed: the reset pin is an I/O pin; high-voltage programming is needed to reprogram the chip");
    EXPECT_FALSE(TipOf(mega8.groups[2].bits[2]).empty());  // BLB01
    // The ATmega48PA has no boot loader section, so its boot lock bits explain nothing.
    EXPECT_TRUE(TipOf(LayoutFor("ATmega48PA").groups[3].bits[2]).empty());
    EXPECT_TRUE(TipOf(LayoutFor("ATmega169").groups[2].bits[0]).empty());  // RESERVED
}

TEST(FuseBoxes, ResetHidesUnchecksAndEnablesEverything)
{
    FuseBoxes boxes = OpenedFuseBoxes(&LayoutFor("ATmega169"), Slots({0x00, 0x00, 0x00, 0x00}));
    ResetFuseBoxes(boxes);
    EXPECT_FALSE(boxes.panelVisible);
    for (int g = 0; g < FuseGroupCount; ++g)
        EXPECT_FALSE(boxes.groupVisible[std::size_t(g)]);
    for (const FuseBox& box : boxes.boxes) {
        EXPECT_FALSE(box.visible);
        EXPECT_FALSE(box.checked);
        EXPECT_TRUE(box.enabled);
    }
}

TEST(FuseBoxes, OpeningShowsTheLayoutAndTheBitRule)
{
    const FuseLayout& layout = LayoutFor("ATmega8");
    FuseBoxes boxes = OpenedFuseBoxes(&layout, Slots({0xE1, 0xD9, 0xFC}));
    EXPECT_TRUE(boxes.panelVisible);
    EXPECT_EQ(boxes.groupVisible, (std::array<bool, 4>{true, true, true, false}));
    EXPECT_EQ(boxes.groupCaption[2], "Lock bits");
    EXPECT_EQ(boxes.Box(2, 0).caption, "LB1");  // CheckBox17
    EXPECT_FALSE(boxes.Box(2, 6).visible);
    EXPECT_FALSE(boxes.Box(3, 0).visible);
    // 0xE1: BODLEVEL 1, BODEN 1, SUT1 1, SUT0 0, CKSEL3..1 0, CKSEL0 1.
    EXPECT_EQ(Checked(boxes), (QStringList{"SUT0", "CKSEL3", "CKSEL2", "CKSEL1", "SPIEN", "BOOTSZ1", "BOOTSZ0", "LB2", "LB1"}));

    ShowFuses(&layout, Slots({0xFF, 0xFF, 0xFB}), boxes);
    EXPECT_EQ(Checked(boxes), QStringList{"BLB01"});
}

TEST(FuseBoxes, UncheckingEveryAtmega8BoxWritesFfAndLeavesTheOtherSlots)
{
    const FuseLayout& layout = LayoutFor("ATmega8");
    FuseBytes fuses = {0xE1, 0xD9, 0xFC, 0x12, 0x34, 0x56, 0x78, 0x9A};
    FuseBoxes boxes = OpenedFuseBoxes(&layout, fuses);
    UncheckFuseBoxes(boxes);
    BoxesToFuses(&layout, boxes, fuses);
    EXPECT_EQ(fuses, (FuseBytes{0xFF, 0xFF, 0xFF, 0x12, 0x34, 0x56, 0x78, 0x9A}));
}

TEST(FuseBoxes, BoxesToFusesChangesOnlyTheShownSlots)
{
    // Two groups: slots 2 and 3 keep whatever they hold.
    const FuseLayout& layout = LayoutFor("AT90S2313");
    FuseBytes fuses = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    const FuseBoxes boxes = OpenedFuseBoxes(&layout, fuses);
    BoxesToFuses(&layout, boxes, fuses);
    // Only SPIEN, FSTRT and LB1, LB2 have boxes; every other bit of the two slots becomes 1.
    EXPECT_EQ(fuses, (FuseBytes{0xDE, 0xF9, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
}

TEST(FuseBoxes, OkRightAfterOpeningKeepsTheValuesButHiddenBitsBecomeOne)
{
    struct Case {
        const char* chip;
        FuseBytes before;
        FuseBytes after;
    };
    const Case cases[] = {
        // ATmega162: extended bit 0 has no box.
        {"ATmega162", {0x62, 0x99, 0xFE, 0xFC, 0x00, 0x00, 0x00, 0x00}, {0x62, 0x99, 0xFF, 0xFC, 0x00, 0x00, 0x00, 0x00}},
        {"ATmega8", {0xE1, 0xD9, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, {0xE1, 0xD9, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {"ATmega8", {0xE1, 0xD9, 0x3C, 0x55, 0xFF, 0xFF, 0xFF, 0xFF}, {0xE1, 0xD9, 0xFC, 0x55, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"ATtiny15", {0x50, 0x5A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, {0x5C, 0xFB, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {"ATtiny13", {0x6A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, {0x6A, 0xE0, 0xFC, 0x00, 0x00, 0x00, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        const FuseLayout& layout = LayoutFor(c.chip);
        FuseBytes fuses = c.before;
        const FuseBoxes boxes = OpenedFuseBoxes(&layout, fuses);
        BoxesToFuses(&layout, boxes, fuses);
        EXPECT_EQ(fuses, c.after) << c.chip;
    }
}

TEST(FuseBoxes, ReservedBitIsShownAsReadAndWrittenBackUnchanged)
{
    const FuseLayout& layout = LayoutFor("ATmega169");
    for (std::uint8_t extended : {std::uint8_t(0xFE), std::uint8_t(0xFF)}) {
        FuseBytes fuses = Slots({0x62, 0x99, extended, 0xFF});
        FuseBoxes boxes = OpenedFuseBoxes(&layout, fuses);
        const FuseBox& reserved = boxes.Box(2, 0);
        EXPECT_TRUE(reserved.visible);
        EXPECT_FALSE(reserved.enabled);
        EXPECT_EQ(reserved.caption, "RESERVED");
        EXPECT_EQ(reserved.checked, extended == 0xFE);
        BoxesToFuses(&layout, boxes, fuses);
        EXPECT_EQ(fuses[2], extended);
    }
}

TEST(FuseBoxes, NoChipShowsNoGroupAndChangesNothing)
{
    FuseBytes fuses = {1, 2, 3, 4, 5, 6, 7, 8};
    FuseBoxes boxes = OpenedFuseBoxes(nullptr, fuses);
    EXPECT_TRUE(boxes.panelVisible);
    EXPECT_EQ(boxes.groupVisible, (std::array<bool, 4>{}));
    for (const FuseBox& box : boxes.boxes)
        EXPECT_FALSE(box.visible);
    BoxesToFuses(nullptr, boxes, fuses);
    EXPECT_EQ(fuses, (FuseBytes{1, 2, 3, 4, 5, 6, 7, 8}));
}

}  // namespace
}  // namespace velmora
