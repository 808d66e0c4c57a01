#include "views/dumptext.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "chips/catalogue.h"

namespace velmora::dump {
namespace {

const std::string FfTail = ": FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF   |   " + std::string(16, '\xFF');
const std::string ZeroTail = ": 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00   |" + std::string(19, ' ');

TEST(DumpText, BlankLinesOfA64ByteEeprom)
{
    const std::string text = BlankText(64, false);
    const std::string expected = "00000000" + FfTail + "\r\n" + "00000010" + FfTail + "\r\n" + "00000020" + FfTail +
                                 "\r\n" + "00000030" + FfTail;
    EXPECT_EQ(text, expected);
    EXPECT_EQ(text.size(), 4u * 82 - 2);
    EXPECT_EQ(BlankText(64, true).substr(82, 80), "00000010" + ZeroTail);
    EXPECT_EQ(FfTail.size(), 72u);
    EXPECT_EQ(ZeroTail.size(), 72u);
    EXPECT_TRUE(BlankText(0, false).empty());
}

TEST(DumpText, AddressesAndLineBreaksOfTheLargestFlash)
{
    const std::string text = BlankText(0x40000, false);
    ASSERT_EQ(text.size(), 16384u * 82 - 2);
    const std::size_t line = 0x1FFF0 / 16;
    EXPECT_EQ(text.substr(line * 82, 10), "0001FFF0: ");
    EXPECT_EQ(text.substr(16383 * 82, 10), "0003FFF0: ");
    for (std::size_t l = 0; l + 1 < 16384; ++l)
        ASSERT_EQ(text.substr(l * 82 + 80, 2), "\r\n") << l;
}

TEST(DumpText, HexDumpLineCellsAndCharacterRule)
{
    std::uint8_t bytes[16] = {0x41, 0x00, 0x1F, 0xFF, 0x1E, 0x20, 0x7F, 0x80, 0x61, 0x30, 1, 2, 3, 4, 5, 0xAB};
    const std::string line = HexDumpLine(0x1F0, bytes);
    EXPECT_EQ(line,
              "000001F0: 41 00 1F FF 1E 20 7F 80 61 30 01 02 03 04 05 AB   |   A\x1F\x1F\xFF\x1F \x7F\x80"
              "a0\x1F\x1F\x1F\x1F\x1F\xAB");
    EXPECT_EQ(line.size(), 80u);
}

TEST(DumpText, RenderWritesOnlyCells)
{
    std::string text = BlankText(32, false);
    std::vector<std::uint8_t> bytes(32);
    for (std::size_t i = 0; i < 32; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    Render(text, bytes.data(), bytes.size());
    EXPECT_EQ(text.substr(0, 80), HexDumpLine(0, bytes.data()));
    EXPECT_EQ(text.substr(82, 80), HexDumpLine(16, bytes.data() + 16));
    // A size larger than the text is cut at its last line, never written past it.
    std::string small = BlankText(16, false);
    std::vector<std::uint8_t> many(64, 0x41);
    Render(small, many.data(), many.size());
    EXPECT_EQ(small.size(), 80u);
    EXPECT_EQ(small.substr(64, 16), std::string(16, 'A'));
}

TEST(DumpText, ParseReadsHexDigitsOfEitherCaseAndIgnoresCharacterCells)
{
    std::string text = BlankText(32, false);
    text.replace(HexCellPos(0), 2, "ab");
    text.replace(HexCellPos(1), 2, "Cd");
    text[CharCellPos(2)] = 'Z';  // a character cell alone changes nothing
    text.replace(HexCellPos(17), 2, "0f");
    std::vector<std::uint8_t> bytes(32, 0x55);
    Parse(text, bytes.data(), bytes.size());
    EXPECT_EQ(bytes[0], 0xAB);
    EXPECT_EQ(bytes[1], 0xCD);
    EXPECT_EQ(bytes[2], 0xFF);
    EXPECT_EQ(bytes[17], 0x0F);
    // Bytes past the text's lines keep their values.
    std::vector<std::uint8_t> more(48, 0x55);
    Parse(text, more.data(), more.size());
    EXPECT_EQ(more[40], 0x55);
}

TEST(DumpText, ParseOfRenderIsTheImageForEverySize)
{
    std::set<std::uint32_t> sizes;
    for (const ChipEntry& e : ChipCatalogue()) {
        sizes.insert(e.flashSize);
        sizes.insert(e.eepromSize);
    }
    std::mt19937 random(4417);
    for (std::uint32_t size : sizes) {
        for (bool niiet : {false, true}) {
            std::vector<std::uint8_t> image(size);
            for (auto& b : image)
                b = static_cast<std::uint8_t>(random());
            std::string text = BlankText(size, niiet);
            Render(text, image.data(), size);
            std::vector<std::uint8_t> back(size, 0x5A);
            Parse(text, back.data(), size);
            ASSERT_EQ(back, image) << size;
            for (std::size_t i = 0; i < size; i += 97)
                ASSERT_EQ(text[CharCellPos(i)], CellChar(image[i]));
        }
    }
}

TEST(DumpLayout, RegionsOfTheColumns)
{
    std::string regions;
    for (int c = 0; c <= 81; ++c)
        regions += "AHSGCE"[static_cast<int>(ColumnRegion(c))];
    EXPECT_EQ(regions, std::string("AAAAAAAAAA") + "HHSHHSHHSHHSHHSHHSHHSHHSHHSHHSHHSHHSHHSHHSHHSHH" + "GGGGGGG" +
                           "CCCCCCCCCCCCCCCC" + "EE");
    EXPECT_EQ(HexCellPos(0x11), 82u + 3 + 10);
    EXPECT_EQ(CharCellPos(0x11), 82u + 1 + 64);
}

}  // namespace
}  // namespace velmora::dump
