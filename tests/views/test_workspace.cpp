#include "views/workspace.h"

#include "log/operationlog.h"
#include "views/dumptext.h"

#include <gtest/gtest.h>

#include <random>

namespace velmora {
namespace {

class WorkspaceViews : public ::testing::Test {
protected:
    void Select(const char* name) { ASSERT_NE(work.SelectMenuEntry(*FindChipByName(name), log), nullptr); }

    Workspace work;
    OperationLog log;
};

TEST_F(WorkspaceViews, Edit2ShowsTheSignatureMostSignificantFirst)
{
    Select("AT90CAN32");
    EXPECT_EQ(work.views[0].text, "81 95 1E");
    EXPECT_EQ(IdBytesText(0x07931E), "07 93 1E");
    EXPECT_EQ(IdBytesText(0), "00 00 00");
}

TEST_F(WorkspaceViews, At90s1200EepromHasFourLines)
{
    Select("AT90S1200");
    for (std::size_t view : {3u, 4u}) {
        const std::string& t = work.views[view].text;
        EXPECT_EQ(t.size(), 4u * 82 - 2);
        EXPECT_EQ(t.substr(3 * 82, 8), "00000030");
        EXPECT_NE(t.back(), '\n');
    }
    EXPECT_EQ(work.views[1].text.size(), 64u * 82 - 2);
}

TEST_F(WorkspaceViews, RenderOnOnePageLeavesTheOtherAlone)
{
    Select("ATmega8");
    const std::string page1 = work.views[1].text;
    chip& c = work.CurrentChip();
    c.FlashImage[0] = 0x41;
    c.FlashImage[1] = 0x00;
    c.FlashImage[2] = 0x1F;
    c.FlashImage[8191] = 0x7E;
    const std::size_t view = Workspace::ActiveFlashView(1);
    ASSERT_EQ(view, 2);
    work.RenderView(view, FlashKind);
    EXPECT_EQ(work.views[1].text, page1);
    const std::string& t = work.views[2].text;
    EXPECT_EQ(t.substr(10, 8), "41 00 1F");
    EXPECT_EQ(t.substr(64, 3), "A\x1F\x1F");
    EXPECT_EQ(t.substr(511 * 82, 80), dump::HexDumpLine(0x1FF0, &c.FlashImage[0x1FF0]));
    EXPECT_EQ(work.views[2].caret, 10u);
}

TEST_F(WorkspaceViews, ParseTakesTheEditedViewIntoTheImage)
{
    Select("ATmega8");
    work.SetCaret(3, 82 + 10);
    for (char k : {'1', '2', ' ', '3', '4'})
        work.KeyDown(3, dump::KeyStroke::Char(static_cast<std::uint8_t>(k)));
    EXPECT_EQ(work.CurrentChip().EepromImage[16], 0xFF);  // editing never touches the image
    work.ParseView(Workspace::ActiveEepromView(0), EepromKind);
    EXPECT_EQ(work.CurrentChip().EepromImage[16], 0x12);
    EXPECT_EQ(work.CurrentChip().EepromImage[17], 0x34);
    EXPECT_EQ(work.CurrentChip().EepromImage[18], 0xFF);
    EXPECT_EQ(work.CurrentChip().EepromImage[512], 0xFF);  // past the chip's EEPROM
    EXPECT_EQ(work.views[3].caret, 10u);
}

TEST_F(WorkspaceViews, ParseWithoutAChipDoesNothing)
{
    work.CurrentChip().FlashImage[0] = 0x33;
    work.ParseView(1, FlashKind);
    work.RenderView(1, FlashKind);
    EXPECT_EQ(work.CurrentChip().FlashImage[0], 0x33);
    EXPECT_TRUE(work.views[1].text.empty());
    work.KeyDown(1, dump::KeyStroke::Char('1'));
    EXPECT_TRUE(work.views[1].text.empty());
}

TEST_F(WorkspaceViews, RoundTripOfRandomImagesForEveryChip)
{
    std::mt19937 random(99);
    for (const ChipEntry& e : ChipCatalogue()) {
        ASSERT_NE(work.SelectMenuEntry(e, log), nullptr);
        chip& c = work.CurrentChip();
        std::vector<std::uint8_t> flash(c.FlashImage.begin(), c.FlashImage.begin() + e.flashSize);
        for (auto& b : flash)
            b = static_cast<std::uint8_t>(random());
        std::copy(flash.begin(), flash.end(), c.FlashImage.begin());
        work.RenderView(1, FlashKind);
        std::fill(c.FlashImage.begin(), c.FlashImage.end(), 0);
        work.ParseView(1, FlashKind);
        ASSERT_TRUE(std::equal(flash.begin(), flash.end(), c.FlashImage.begin())) << e.name;
        EXPECT_EQ(c.FlashImage[e.flashSize % FlashImageSize], e.flashSize == FlashImageSize ? flash[0] : 0);
    }
}

TEST_F(WorkspaceViews, NiietBlankViewsAndImages)
{
    Select("1887ВЕ7Т");
    for (std::size_t view = 1; view <= 4; ++view) {
        const std::string& t = work.views[view].text;
        for (std::size_t i = 0; i < work.ViewByteCount[view]; i += 131) {
            ASSERT_EQ(t.substr(dump::HexCellPos(i), 2), "00");
            ASSERT_EQ(t[dump::CharCellPos(i)], ' ');
        }
    }
    // A rendered 0x00 shows the substitute character, unlike the blank cell.
    work.RenderView(3, EepromKind);
    EXPECT_EQ(work.views[3].text[64], '\x1F');
}

TEST_F(WorkspaceViews, IdBytesFieldKeys)
{
    Select("ATmega8");
    work.SetCaret(0, 0);
    work.KeyDown(0, dump::KeyStroke::Char('a'));
    work.KeyDown(0, dump::KeyStroke::Char('b'));
    EXPECT_EQ(work.views[0].text, "AB 93 1E");
    EXPECT_EQ(work.views[0].caret, 2u);
}

// Undo works per page: the last edits of either view of the page go back in reverse order,
// caret included; the other page keeps its own; a view whose text is replaced forgets them.
TEST_F(WorkspaceViews, UndoTakesBackThePagesEditsInReverse)
{
    Select("ATmega8");
    const auto blank = work.views;
    const auto type = [&](std::size_t view, std::size_t caret, const char* keys) {
        work.SetCaret(view, caret);
        for (const char* k = keys; *k; ++k)
            work.KeyDown(view, dump::KeyStroke::Char(static_cast<std::uint8_t>(*k)));
    };
    type(1, 10, "12");        // flash of Page1: two steps
    type(3, 82 + 64, "Q");    // EEPROM of Page1
    type(2, 10, "7");         // flash of Page2
    work.SetCaret(1, 82 * 5 + 13);
    const dump::PasteResult pasted = work.Paste(1, "AA BB");  // one step
    EXPECT_EQ(pasted.written, 4u);
    EXPECT_EQ(work.views[1].text.substr(dump::HexCellPos(81), 5), "AA BB");
    type(1, 0, "x");  // only moves the caret: nothing to undo
    EXPECT_TRUE(work.CanUndo(0));

    EXPECT_EQ(work.Undo(0), 1u);  // the paste
    EXPECT_EQ(work.views[1].text.substr(dump::HexCellPos(81), 5), "FF FF");
    EXPECT_EQ(work.views[1].caret, 82u * 5 + 13);
    EXPECT_EQ(work.Undo(0), 3u);
    EXPECT_EQ(work.views[3].text, blank[3].text);
    EXPECT_EQ(work.views[3].caret, 82u + 64);
    EXPECT_EQ(work.Undo(0), 1u);
    EXPECT_EQ(work.views[1].text.substr(10, 2), "1F");
    EXPECT_EQ(work.Undo(0), 1u);
    EXPECT_EQ(work.views[1].text, blank[1].text);
    EXPECT_EQ(work.Undo(0), 0u);
    EXPECT_FALSE(work.CanUndo(0));
    EXPECT_EQ(work.views[2].text.substr(10, 2), "7F");  // Page2 untouched by Page1's undo

    // A read into Page2's flash view replaces its text: its edits cannot come back over it.
    work.RenderView(2, FlashKind);
    EXPECT_EQ(work.Undo(1), 0u);
    type(4, 10, "5");
    EXPECT_EQ(work.Undo(1), 4u);
}

// Selecting the chip the pages show keeps them, edits and all; another chip (or the same code
// as a NIIET part) lays them out anew and forgets the edits.
TEST_F(WorkspaceViews, OnlyAnotherChipBlanksThePages)
{
    Select("ATmega8535");
    work.SetCaret(1, 10);
    work.KeyDown(1, dump::KeyStroke::Char('5'));
    work.SetCaret(4, 10);
    work.KeyDown(4, dump::KeyStroke::Char('5'));
    EXPECT_TRUE(work.Shows(*FindChipByName("ATmega8535")));
    Select("ATmega8535");
    EXPECT_EQ(work.views[1].text.substr(10, 2), "5F");
    EXPECT_TRUE(work.CanUndo(0));
    EXPECT_NE(work.SelectChip(0x08931E, log), nullptr);  // found by Autosearch
    EXPECT_EQ(work.views[4].text.substr(10, 2), "5F");
    EXPECT_EQ(log.Lines().back(), QStringLiteral("Selected chip is  ATmega8535"));

    Select("1887ВЕ4У");  // the NIIET part with the same signature: blank as NIIET blanks
    EXPECT_FALSE(work.Shows(*FindChipByName("ATmega8535")));
    EXPECT_EQ(work.views[1].text.substr(10, 2), "00");
    EXPECT_FALSE(work.CanUndo(0));
    EXPECT_FALSE(work.CanUndo(1));
    Select("ATmega16");
    EXPECT_EQ(work.views[1].text.size(), 1024u * 82 - 2);
}

}  // namespace
}  // namespace velmora
