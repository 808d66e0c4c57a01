#include "views/dumpedit.h"
#include "views/dumptext.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace velmora::dump {
namespace {

KeyStroke K(char c) { return KeyStroke::Char(static_cast<std::uint8_t>(c)); }

// A four-line dump (64 bytes) with a caret, typed into key by key.
class DumpEdit : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::vector<std::uint8_t> bytes(64);
        for (std::size_t i = 0; i < 64; ++i)
            bytes[i] = static_cast<std::uint8_t>(0x40 + i);
        text = BlankText(64, false);
        Render(text, bytes.data(), bytes.size());
        original = text;
    }
    void Type(std::initializer_list<KeyStroke> keys)
    {
        for (const KeyStroke& k : keys)
            caret = DumpKeyDown(text, caret, k);
    }
    std::string Hex(std::size_t line, std::size_t byte) const { return text.substr(line * 82 + 10 + 3 * byte, 2); }
    char Cell(std::size_t line, std::size_t byte) const { return text[line * 82 + 64 + byte]; }
    std::size_t At(std::size_t line, std::size_t column) const { return line * 82 + column; }

    std::string text, original;
    std::size_t caret = 10;
};

TEST_F(DumpEdit, DigitsSkipTheSeparator)
{
    Type({K('1'), K('2'), K(' '), K('3'), K('4')});
    EXPECT_EQ(Hex(0, 0), "12");
    EXPECT_EQ(Hex(0, 1), "34");
    EXPECT_EQ(Cell(0, 0), '\x1F');  // 0x12 is below 0x1F
    EXPECT_EQ(Cell(0, 1), '4');
    EXPECT_EQ(caret, At(0, 15));

    caret = 10;
    text = BlankText(64, false);
    Type({K('1'), K('2'), K('3'), K('4')});
    EXPECT_EQ(Hex(0, 0), "12");
    EXPECT_EQ(Hex(0, 1), "4F");
    EXPECT_EQ(Cell(0, 1), 'O');
}

TEST_F(DumpEdit, LowerCaseDigitsAreWrittenUpperAndOtherKeysOnlyAdvance)
{
    Type({K('a'), K('b'), K(' '), K('g'), K(' '), K('\x0D')});
    EXPECT_EQ(Hex(0, 0), "AB");
    EXPECT_EQ(Hex(0, 1), "41");  // G, space and Enter write no digit
    EXPECT_EQ(Cell(0, 0), '\xAB');
    EXPECT_EQ(caret, At(0, 16));
}

TEST_F(DumpEdit, CaretMovesOfTheRegions)
{
    struct Case {
        std::size_t caret;
        KeyStroke key;
        std::size_t expected;
    } cases[] = {
        {At(0, 57), K('1'), At(1, 10)},            // gap: to the next line, not written
        {At(3, 61), K('1'), At(0, 10)},            // gap of the last line: to the first
        {At(1, 80), K('1'), At(2, 64)},            // end: next line's first character cell
        {At(3, 80), K('1'), At(0, 64)},            // end of the last line
        {At(2, 3), K('1'), At(2, 10)},             // address: same line's first digit
        {At(0, 10), KeyStroke::Back(), At(3, 57)}, // before the first digit: the last line's gap
        {At(2, 5), KeyStroke::Back(), At(1, 57)},
        {At(2, 12), KeyStroke::Back(), At(2, 11)}, // one left onto the low digit (written F)
        {At(2, 13), KeyStroke::Back(), At(2, 12)}, // onto a separator: only moves
        {At(2, 64), KeyStroke::Back(), At(1, 80)}, // first cell: the previous line's end
        {At(0, 60), KeyStroke::Back(), At(3, 80)},
        {At(0, 60), KeyStroke::Del(), At(1, 10)},  // Delete in the gap acts as any key
        {At(0, 2), KeyStroke::Del(), At(0, 10)},
        {At(1, 80), KeyStroke::Del(), At(2, 64)},
    };
    for (const Case& c : cases) {
        text = original;
        caret = c.caret;
        Type({c.key});
        EXPECT_EQ(caret, c.expected) << "from " << c.caret;
        if (c.key.kind != KeyStroke::Backspace || c.caret % 82 != 12) {
            EXPECT_EQ(text, original) << "from " << c.caret;
        }
    }
}

TEST_F(DumpEdit, AfterTheLastDigitTheNextKeyGoesToTheNextLineUnwritten)
{
    caret = At(3, 55);
    Type({K('0'), K('0')});
    EXPECT_EQ(Hex(3, 15), "00");
    EXPECT_EQ(caret, At(3, 57));
    Type({K('7')});
    EXPECT_EQ(caret, At(0, 10));
    EXPECT_EQ(Hex(0, 0), "40");
    Type({K('7')});
    EXPECT_EQ(Hex(0, 0), "70");
}

TEST_F(DumpEdit, BackspaceWrapsToTheLastLineThenClearsItsLastDigit)
{
    caret = At(0, 10);
    Type({KeyStroke::Back()});
    EXPECT_EQ(caret, At(3, 57));
    EXPECT_EQ(text, original);
    Type({KeyStroke::Back()});
    EXPECT_EQ(caret, At(3, 56));
    EXPECT_EQ(Hex(3, 15), "7F");
    EXPECT_EQ(Cell(3, 15), '\x7F');
    Type({KeyStroke::Back(), KeyStroke::Back()});
    EXPECT_EQ(Hex(3, 15), "FF");
    EXPECT_EQ(Cell(3, 15), '\xFF');
    EXPECT_EQ(caret, At(3, 54));
}

TEST_F(DumpEdit, BackspaceInACharacterCellErasesTheByte)
{
    caret = At(1, 66);
    Type({KeyStroke::Back()});
    EXPECT_EQ(caret, At(1, 65));
    EXPECT_EQ(Hex(1, 1), "FF");
    EXPECT_EQ(Cell(1, 1), '\xFF');
}

TEST_F(DumpEdit, DeleteWritesTheErasedValueAndAdvances)
{
    caret = At(1, 10);
    Type({KeyStroke::Del()});
    EXPECT_EQ(Hex(1, 0), "F0");
    EXPECT_EQ(caret, At(1, 11));
    caret = At(1, 64 + 3);
    Type({KeyStroke::Del()});
    EXPECT_EQ(Hex(1, 3), "FF");
    EXPECT_EQ(Cell(1, 3), '\xFF');
    EXPECT_EQ(caret, At(1, 68));
}

TEST_F(DumpEdit, TypingIntoCharacterCells)
{
    struct Case {
        std::uint8_t code;
        const char* hex;
        char cell;
    } cases[] = {
        {'A', "41", 'A'}, {' ', "20", ' '},     {'7', "37", '7'},     {0x05, "1F", '\x1F'},
        {0x1B, "1F", '\x1F'}, {0xE9, "E9", '\xE9'}, {0xFF, "FF", '\xFF'}, {'a', "61", 'a'}, {'z', "7A", 'z'},
    };
    for (const Case& c : cases) {
        text = original;
        caret = At(2, 64 + 15);
        Type({KeyStroke::Char(c.code)});
        EXPECT_EQ(Hex(2, 15), c.hex) << int(c.code);
        EXPECT_EQ(Cell(2, 15), c.cell) << int(c.code);
        EXPECT_EQ(caret, At(2, 80));
    }
}

TEST_F(DumpEdit, LowBytesTypedAsDigitsShowTheSubstituteCharacter)
{
    caret = At(0, 10);
    Type({K('0'), K('0'), K(' '), K('1'), K('E'), K(' '), K('1'), K('F'), K(' '), K('2'), K('0')});
    EXPECT_EQ(text.substr(64, 4), "\x1F\x1F\x1F ");
}

// The character cell and the digits agree: the cell shows the byte the digits hold, in the
// case typed.
TEST_F(DumpEdit, CharacterCellsKeepTheCaseTyped)
{
    caret = At(1, 64);
    Type({K('h'), K('E'), K('x')});
    EXPECT_EQ(text.substr(At(1, 64), 3), "hEx");
    EXPECT_EQ(Hex(1, 0) + Hex(1, 1) + Hex(1, 2), "684578");
}

TEST_F(DumpEdit, PasteTypesHexDigitsOrCharactersAndStopsAtTheEnd)
{
    struct Case {
        const char* name;
        std::size_t caret;
        std::string pasted;
        std::vector<std::pair<std::size_t, std::string>> hex;  // byte index, expected digits
        PasteResult expected;
    } cases[] = {
        {"hex with blanks", At(0, 10), "12 34 ab", {{0, "12"}, {1, "34"}, {2, "AB"}, {3, "43"}},
         {At(0, 18), 6, 0, true}},
        // Unlike typing, a digit never falls on a separator: "1234" gives 12 34, not 12 4F.
        {"hex without blanks", At(0, 10), "1234", {{0, "12"}, {1, "34"}}, {At(0, 15), 4, 0, true}},
        {"hex with prefixes", At(0, 4), "0x01,0x02", {{0, "01"}, {1, "02"}}, {At(0, 15), 4, 0, true}},
        {"hex from a low digit", At(0, 11), "98", {{0, "49"}, {1, "81"}}, {At(0, 14), 2, 0, true}},
        {"hex over the gap", At(0, 55), "ABCD", {{15, "AB"}, {16, "CD"}}, {At(1, 12), 4, 0, true}},
        {"hex past the end", At(3, 52), "111222", {{62, "11"}, {63, "12"}, {0, "40"}}, {At(3, 57), 4, 2, true}},
        {"text in the hex region", At(0, 13), "Hi!", {{1, "48"}, {2, "69"}, {3, "21"}}, {At(0, 68), 3, 0, false}},
        {"text in the character cells", At(2, 78), "xyz", {{46, "78"}, {47, "79"}, {48, "7A"}},
         {At(3, 65), 3, 0, false}},
        {"hex digits in the character cells", At(0, 64), "12", {{0, "31"}, {1, "32"}}, {At(0, 66), 2, 0, false}},
        {"text past the end", At(3, 79), "abc", {{63, "61"}, {0, "40"}}, {At(3, 80), 1, 2, false}},
        {"control characters as typed", At(0, 64), "\t", {{0, "1F"}}, {At(0, 65), 1, 0, false}},
    };
    for (const Case& c : cases) {
        text = original;
        const PasteResult r = DumpPaste(text, c.caret, c.pasted);
        for (const auto& [byte, digits] : c.hex)
            EXPECT_EQ(text.substr(HexCellPos(byte), 2), digits) << c.name << " byte " << byte;
        EXPECT_EQ(r.caret, c.expected.caret) << c.name;
        EXPECT_EQ(r.written, c.expected.written) << c.name;
        EXPECT_EQ(r.left, c.expected.left) << c.name;
        EXPECT_EQ(r.hex, c.expected.hex) << c.name;
        // A byte the paste wrote shows its value in its character cell.
        std::vector<std::uint8_t> bytes(64);
        Parse(text, bytes.data(), bytes.size());
        for (std::size_t i = 0; i < 64; ++i) {
            if (text.compare(HexCellPos(i), 2, original, HexCellPos(i), 2) != 0) {
                EXPECT_EQ(text[CharCellPos(i)], CellChar(bytes[i])) << c.name << " byte " << i;
            }
        }
    }
    std::string empty;
    EXPECT_EQ(DumpPaste(empty, 0, "12").written, 0u);
}

TEST(DumpText, HexDigitsAndAddressesAsTyped)
{
    EXPECT_EQ(HexDigitsOf("15 CA"), "15CA");
    EXPECT_EQ(HexDigitsOf("0x15, 0XcA\r\n"), "15cA");
    EXPECT_EQ(HexDigitsOf("Hello"), std::nullopt);
    EXPECT_EQ(HexDigitsOf(" , "), std::nullopt);
    EXPECT_EQ(HexDigitsOf("0x"), std::nullopt);

    EXPECT_EQ(ParseAddress("1F0"), 0x1F0u);
    EXPECT_EQ(ParseAddress(" 0x1f0 "), 0x1F0u);
    EXPECT_EQ(ParseAddress("$3FFFF"), 0x3FFFFu);
    EXPECT_EQ(ParseAddress("100h"), 0x100u);
    EXPECT_EQ(ParseAddress("FFFFFFFF"), 0xFFFFFFFFu);
    for (const char* bad : {"", "0x", "G1", "1 2", "123456789", "-1"})
        EXPECT_EQ(ParseAddress(bad), std::nullopt) << bad;

    const std::size_t length = BlankText(64, false).size();
    EXPECT_EQ(CaretOfAddress(length, 0), 10u);
    EXPECT_EQ(CaretOfAddress(length, 0x11), 82u + 13);
    EXPECT_EQ(CaretOfAddress(length, 63), 3u * 82 + 55);
    EXPECT_EQ(CaretOfAddress(length, 64), std::nullopt);
    EXPECT_EQ(CaretOfAddress(0, 0), std::nullopt);
}

TEST(DumpEditEmpty, NoChipNoChange)
{
    std::string text;
    for (const KeyStroke& k : {K('1'), KeyStroke::Back(), KeyStroke::Del()})
        EXPECT_EQ(DumpKeyDown(text, 0, k), 0u);
    EXPECT_TRUE(text.empty());
}

TEST(DumpEditProperty, RandomKeysNeverBreakTheLayout)
{
    std::mt19937 random(17);
    for (bool niiet : {false, true}) {
        const std::string blank = BlankText(16 * 6, niiet);
        std::string text = blank;
        std::size_t caret = 0;
        for (int step = 0; step < 200000; ++step) {
            const auto pick = random() % 10;
            const KeyStroke key = pick == 0   ? KeyStroke::Back()
                                  : pick == 1 ? KeyStroke::Del()
                                  : pick < 5  ? K("0123456789abcdefABCDEF"[random() % 22])
                                              : KeyStroke::Char(static_cast<std::uint8_t>(random()));
            caret = DumpKeyDown(text, caret, key);
            ASSERT_LE(caret, text.size());
            ASSERT_LE(caret % 82, 80u);
            if (step % 97 != 0)
                continue;
            ASSERT_EQ(text.size(), blank.size());
            for (std::size_t l = 0; l < 6; ++l) {
                const std::size_t s = l * 82;
                for (std::size_t c = 0; c < 82 && s + c < text.size(); ++c) {
                    const Region r = ColumnRegion(static_cast<int>(c));
                    if (r == Region::HexDigit) {
                        ASSERT_GE(HexValue(text[s + c]), 0);
                    } else if (r != Region::Character) {
                        ASSERT_EQ(text[s + c], blank[s + c]) << "line " << l << " column " << c;
                    }
                }
                for (std::size_t k = 0; k < 16; ++k) {
                    // A cell is its blank form until its byte is edited, then shows the byte.
                    const char cell = text[s + 64 + k];
                    const int value = HexValue(text[s + 10 + 3 * k]) * 16 + HexValue(text[s + 11 + 3 * k]);
                    const auto byte = static_cast<std::uint8_t>(value);
                    const char upper = byte >= 'a' && byte <= 'z' ? char(byte - 32) : CellChar(byte);
                    ASSERT_TRUE(cell == blank[s + 64 + k] || cell == upper || cell == CellChar(byte))
                        << "line " << l << " byte " << k;
                }
            }
        }
    }
}

TEST(IdBytes, TypingBackspaceAndWrap)
{
    std::string text = "FF FF FF";
    int caret = 0;
    caret = IdBytesKeyDown(text, caret, K('1'));
    caret = IdBytesKeyDown(text, caret, K('e'));
    EXPECT_EQ(text, "1E FF FF");
    EXPECT_EQ(caret, 2);
    caret = IdBytesKeyDown(text, caret, K('5'));  // the separator is skipped, not written
    EXPECT_EQ(text, "1E FF FF");
    EXPECT_EQ(caret, 3);
    caret = IdBytesKeyDown(text, caret, K('x'));
    EXPECT_EQ(caret, 4);
    EXPECT_EQ(IdBytesKeyDown(text, 8, K('1')), 0);
    EXPECT_EQ(IdBytesKeyDown(text, 0, KeyStroke::Back()), 8);
    EXPECT_EQ(text, "1E FF FF");
    EXPECT_EQ(IdBytesKeyDown(text, 2, KeyStroke::Back()), 1);
    EXPECT_EQ(text, "1F FF FF");
    EXPECT_EQ(IdBytesKeyDown(text, 3, KeyStroke::Back()), 2);  // onto the separator: unchanged
    EXPECT_EQ(text, "1F FF FF");
    text = "00 00 00";
    EXPECT_EQ(IdBytesKeyDown(text, 7, KeyStroke::Del()), 8);
    EXPECT_EQ(text, "00 00 0F");
}

TEST(CaretMoves, ArrowsPagesAndEnds)
{
    const std::size_t length = TextLength(10);
    struct Case {
        std::size_t from;
        CaretMove move;
        std::size_t expected;
    } cases[] = {
        {82 + 0, CaretMove::Left, 80},         {80, CaretMove::Right, 82},
        {0, CaretMove::Left, 0},               {9 * 82 + 80, CaretMove::Right, 9 * 82 + 80},
        {82 + 30, CaretMove::Up, 30},          {30, CaretMove::Up, 30},
        {82 + 30, CaretMove::Down, 164 + 30},  {9 * 82 + 5, CaretMove::Down, 9 * 82 + 5},
        {82 * 5 + 12, CaretMove::PageUp, 12},  {82 * 5 + 12, CaretMove::PageDown, 82 * 9 + 12},
        {82 * 5 + 12, CaretMove::DocumentStart, 0}, {0, CaretMove::DocumentEnd, 9 * 82 + 80},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MoveCaret(length, c.from, c.move, 7), c.expected) << c.from << " " << int(c.move);
    EXPECT_EQ(CaretAt(length, 3, 200), 3u * 82 + 80);
    EXPECT_EQ(CaretAt(length, -1, -5), 0u);
    EXPECT_EQ(MoveCaret(0, 5, CaretMove::Down, 7), 0u);
}

}  // namespace
}  // namespace velmora::dump
