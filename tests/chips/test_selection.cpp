#include "chips/selection.h"
#include "log/operationlog.h"
#include "views/workspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace velmora {
namespace {

using Bytes = std::vector<std::uint8_t>;

bool AllEqual(const std::vector<std::uint8_t>& image, std::uint8_t value)
{
    return std::all_of(image.begin(), image.end(), [value](std::uint8_t b) { return b == value; });
}

class Selection : public ::testing::Test {
protected:
    const ChipEntry& Entry(const char* name)
    {
        const ChipEntry* e = FindChipByName(name);
        EXPECT_NE(e, nullptr) << name;
        return *e;
    }
    const ChipEntry* Menu(const char* name) { return work.SelectMenuEntry(Entry(name), log); }
    QString LastLine() const { return log.Lines().isEmpty() ? QString() : log.Lines().back(); }

    Workspace work;
    OperationLog log;
};

TEST_F(Selection, StartsWithNoChip)
{
    EXPECT_EQ(work.CurrentChip().SignatureCode, 0);
    EXPECT_EQ(work.chipNameText, "None");
    EXPECT_EQ(work.views[0].text, "FF FF FF");
    for (std::size_t v = 1; v <= 4; ++v)
        EXPECT_TRUE(work.views[v].text.empty());
    EXPECT_EQ(work.NiietMode(), 0);
}

TEST_F(Selection, MenuItemAtmega8SetsEveryField)
{
    ASSERT_NE(Menu("ATmega8"), nullptr);
    const chip& c = work.CurrentChip();
    EXPECT_EQ(c.name, "ATmega8");
    EXPECT_EQ(c.picture, "ATmega8.jpg");
    EXPECT_EQ(c.SignatureCode, 0x07931E);
    EXPECT_EQ(c.flashSize, 8192u);
    EXPECT_EQ(c.eepromSize, 512u);
    EXPECT_EQ(c.CalibrationCount, 4);
    EXPECT_EQ(Bytes(c.FuseDefaults.begin(), c.FuseDefaults.end()), (Bytes{0xE1, 0xD9, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(c.CalibrationBytes.begin(), c.CalibrationBytes.end()), Bytes(8, 0xFF));
    EXPECT_EQ(work.chipNameText, "ATmega8");
    EXPECT_EQ(work.views[0].text, "07 93 1E");
    EXPECT_EQ(work.ViewByteCount, (std::array<std::uint32_t, 5>{0, 8192, 8192, 512, 512}));
    EXPECT_EQ(work.views[1].text.size(), 512u * 82 - 2);
    EXPECT_EQ(work.views[3].text.size(), 32u * 82 - 2);
    EXPECT_EQ(work.views[1].text, work.views[2].text);
    EXPECT_EQ(log.Lines(), QStringList{"Selected chip is  ATmega8"});
    EXPECT_TRUE(AllEqual(c.FlashImage, 0xFF));
    EXPECT_TRUE(AllEqual(c.EepromImage, 0xFF));
}

TEST_F(Selection, NiietPartAndBackToItsAvrTwin)
{
    ASSERT_NE(Menu("1887ВЕ4У"), nullptr);
    EXPECT_EQ(work.NiietMode(), 1);
    EXPECT_EQ(work.CurrentChip().SignatureCode, 561950);
    EXPECT_EQ(work.CurrentChip().eepromSize, 1024u);
    EXPECT_EQ(work.CurrentChip().picture, "1887VE4U.jpg");
    EXPECT_EQ(LastLine(), QStringLiteral("Selected chip is  1887ВЕ4У"));
    EXPECT_TRUE(AllEqual(work.CurrentChip().FlashImage, 0x00));
    EXPECT_TRUE(AllEqual(work.CurrentChip().EepromImage, 0x00));
    EXPECT_EQ(work.views[3].text.substr(0, 80),
              "00000000: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00   |                   ");
    // The NIIET part keeps the factory values of its twin.
    EXPECT_EQ(work.CurrentChip().FuseDefaults[0], 0xE1);
    EXPECT_EQ(work.CurrentChip().FuseDefaults[1], 0xD9);

    ASSERT_NE(Menu("ATmega8535"), nullptr);
    EXPECT_EQ(work.NiietMode(), 0);
    EXPECT_EQ(work.CurrentChip().name, "ATmega8535");
    EXPECT_EQ(work.CurrentChip().eepromSize, 512u);
    EXPECT_EQ(work.views[3].text.size(), 32u * 82 - 2);
    EXPECT_TRUE(AllEqual(work.CurrentChip().FlashImage, 0xFF));

    ASSERT_NE(Menu("1887ВЕ7Т"), nullptr);
    EXPECT_EQ(work.CurrentChip().name, "1887ВЕ7Т");
    EXPECT_EQ(work.views[0].text, "02 97 1E");
}

TEST_F(Selection, PictureNamesOfThePaVariants)
{
    const std::pair<const char*, const char*> cases[] = {
        {"ATmega168PA", "ATmega168.jpg"}, {"ATmega88PA", "ATmega88.jpg"}, {"ATmega48PA", "ATmega48.jpg"}};
    for (const auto& [name, picture] : cases) {
        ASSERT_NE(Menu(name), nullptr);
        EXPECT_EQ(work.CurrentChip().picture, picture);
    }
}

TEST_F(Selection, FailuresWriteTheirLineAndKeepTheCurrentChip)
{
    ASSERT_NE(Menu("ATmega8"), nullptr);
    work.CurrentChip().FlashImage[5] = 0x12;
    work.CurrentChip().FuseDefaults[0] = 0x3C;
    work.views[1].text[10] = '1';
    const std::string view1 = work.views[1].text;

    struct Case {
        int niiet;
        SignatureCode code;
        const char* line;
    } cases[] = {
        {0, 0, "No chip selected"},
        {0, 0xFFFFFF, "Selected chip is  unknown"},
        {1, 0, "No chip selected"},
        {1, 0x07931E, "Selected chip is  unknown"},  // an AVR code while a NIIET part is expected
    };
    for (const Case& c : cases) {
        work.NiietMode() = c.niiet;
        EXPECT_EQ(work.SelectChip(c.code, log), nullptr);
        EXPECT_EQ(LastLine(), QString::fromUtf8(c.line));
        EXPECT_EQ(work.CurrentChip().name, "ATmega8");
        EXPECT_EQ(work.CurrentChip().FlashImage[5], 0x12);
        EXPECT_EQ(work.CurrentChip().FuseDefaults[0], 0x3C);
        EXPECT_EQ(work.views[1].text, view1);
        EXPECT_EQ(work.views[0].text, "07 93 1E");
    }
}

// The pages are the user's working copy: the same chip again keeps them, while the chip's
// images, calibration and fuse values start afresh.
TEST_F(Selection, SelectingTheSameChipAgainResetsTheChipButKeepsThePages)
{
    ASSERT_NE(Menu("ATmega8"), nullptr);
    work.CurrentChip().FlashImage[0] = 0;
    work.CurrentChip().EepromImage[100] = 0;
    work.CurrentChip().CalibrationBytes[2] = 0xA5;
    work.CurrentChip().FuseDefaults[7] = 0;
    work.views[4].text[10] = '0';
    ASSERT_NE(Menu("ATmega8"), nullptr);
    EXPECT_TRUE(AllEqual(work.CurrentChip().FlashImage, 0xFF));
    EXPECT_TRUE(AllEqual(work.CurrentChip().EepromImage, 0xFF));
    EXPECT_EQ(work.CurrentChip().CalibrationBytes[2], 0xFF);
    EXPECT_EQ(work.CurrentChip().FuseDefaults[7], 0xFF);
    EXPECT_EQ(work.views[4].text[10], '0');
    EXPECT_EQ(log.Lines().size(), 2);
}

TEST_F(Selection, EveryMenuEntrySelectsItself)
{
    for (const ChipEntry& e : ChipCatalogue()) {
        ASSERT_EQ(work.SelectMenuEntry(e, log), &e) << e.name;
        EXPECT_EQ(work.NiietMode(), e.niiet ? 1 : 0);
        EXPECT_EQ(work.views[1].text.size(), e.flashSize / 16 * 82 - 2) << e.name;
        EXPECT_EQ(work.views[4].text.size(), e.eepromSize / 16 * 82 - 2) << e.name;
        EXPECT_EQ(work.CurrentChip().FuseDefaults[e.factoryCount - 1], e.factory[e.factoryCount - 1]);
    }
}

TEST(ResetBuffer, OtherTypesDoNothingAndBlankFollowsNiietMode)
{
    ChipState state;
    state.CurrentChip.FlashImage[3] = 1;
    state.CurrentChip.EepromImage[3] = 1;
    for (const std::uint8_t type : std::array<std::uint8_t, 3>{0, 5, 255})
        ResetBuffer(state, type);
    EXPECT_EQ(state.CurrentChip.FlashImage[3], 1);
    state.NiietMode = 1;
    ResetBuffer(state, 1);
    EXPECT_TRUE(AllEqual(state.CurrentChip.FlashImage, 0x00));
    EXPECT_EQ(state.CurrentChip.EepromImage[3], 1);
    state.NiietMode = 0;
    ResetBuffer(state, 2);
    EXPECT_TRUE(AllEqual(state.CurrentChip.EepromImage, 0xFF));
    // No chip: the fuse slots are only cleared.
    state.CurrentChip.FuseDefaults[0] = 0;
    ResetBuffer(state, 3);
    EXPECT_EQ(state.CurrentChip.FuseDefaults[0], 0xFF);
}

}  // namespace
}  // namespace velmora
