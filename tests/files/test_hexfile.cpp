// The Intel HEX codec: the writer's exact records, the reader's record types, bases and
// tolerance, and what it does with damaged lines.

#include "chips/catalogue.h"
#include "chips/hexfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <tuple>
#include <random>
#include <string>
#include <vector>

namespace velmora {
namespace {

constexpr std::size_t FlashBuffer = 262144;
constexpr std::size_t EepromBuffer = 65536;

std::vector<std::string> SplitCrLf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(text.substr(pos));
            return lines;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
}

std::vector<std::uint8_t> RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random());
    return bytes;
}

TEST(HexWriter, BlankProgramImageOf8KiB)
{
    const std::vector<std::uint8_t> blank(8192, 0xFF);
    const std::string text = FormatHexText(blank, true);
    const std::vector<std::string> lines = SplitCrLf(text);
    ASSERT_EQ(lines.size(), 1u + 1024u + 1u);
    EXPECT_EQ(lines[0], ":020000040000FA");
    EXPECT_EQ(lines[1], ":08000000FFFFFFFFFFFFFFFF00");
    EXPECT_EQ(lines[2], ":08000800FFFFFFFFFFFFFFFFF8");
    EXPECT_EQ(lines[1024], ":081FF800FFFFFFFFFFFFFFFFE9");
    // The end record closes the text without a line end.
    EXPECT_EQ(lines.back(), ":00000001FF");
    EXPECT_EQ(text.size(), 17u + 1024u * 29u + 11u);
}

TEST(HexWriter, DataImageHasNoAddressRecords)
{
    const std::vector<std::uint8_t> blank(512, 0xFF);
    const std::vector<std::string> lines = SplitCrLf(FormatHexText(blank, false));
    ASSERT_EQ(lines.size(), 64u + 1u);
    EXPECT_EQ(lines[0], ":08000000FFFFFFFFFFFFFFFF00");
    for (std::size_t i = 0; i < 64; ++i)
        EXPECT_EQ(lines[i].substr(0, 3), ":08") << i;
    EXPECT_EQ(lines.back(), ":00000001FF");
}

TEST(HexWriter, AddressRecordAtEvery64KiB)
{
    const std::vector<std::uint8_t> memory = RandomBytes(FlashBuffer, 1);
    const std::vector<std::string> lines = SplitCrLf(FormatHexText(memory, true));
    // 8192 records of 8 bytes per 64 KiB, each block led by its address record.
    ASSERT_EQ(lines.size(), 4u * (1u + 8192u) + 1u);
    const char* const expected[] = {":020000040000FA", ":020000040001F9", ":020000040002F8", ":020000040003F7"};
    for (std::size_t block = 0; block < 4; ++block) {
        EXPECT_EQ(lines[block * 8193], expected[block]);
        EXPECT_EQ(lines[block * 8193 + 1].substr(0, 9), ":08000000");
        EXPECT_EQ(lines[block * 8193 + 8192].substr(0, 9), ":08FFF800");
    }
}

TEST(HexWriter, ChecksumsAndDataOfARecord)
{
    const std::vector<std::uint8_t> memory = {0x0C, 0x94, 0x34, 0x00, 0x0C, 0x94, 0x51, 0x00,
                                              0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
    EXPECT_EQ(FormatHexText(memory, false),
              ":080000000C9434000C94510033\r\n"
              ":080008000001020304050607D4\r\n"
              ":00000001FF");
}

TEST(HexWriter, EmptyMemoryIsOnlyTheEndRecord)
{
    EXPECT_EQ(FormatHexText({}, true), ":00000001FF");
    EXPECT_EQ(FormatHexText({}, false), ":00000001FF");
}

TEST(HexWriter, MemoryNotAMultipleOf8EndsWithAShortRecord)
{
    const std::vector<std::uint8_t> memory = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    EXPECT_EQ(FormatHexText(memory, false),
              ":080000000102030405060708D4\r\n"
              ":03000800090A0BD7\r\n"
              ":00000001FF");
}

// Every memory size of the catalogue, program and data, with random contents.
TEST(HexRoundTrip, EveryCatalogueSizeRestoresTheImage)
{
    struct Memory {
        std::size_t size;
        bool program;
    };
    std::vector<Memory> sizes;
    for (const ChipEntry& entry : ChipCatalogue()) {
        sizes.push_back({entry.flashSize, true});
        sizes.push_back({entry.eepromSize, false});
    }
    std::sort(sizes.begin(), sizes.end(), [](const Memory& a, const Memory& b) {
        return std::tie(a.program, a.size) < std::tie(b.program, b.size);
    });
    sizes.erase(std::unique(sizes.begin(), sizes.end(),
                            [](const Memory& a, const Memory& b) { return a.program == b.program && a.size == b.size; }),
                sizes.end());
    ASSERT_EQ(sizes.size(), 9u + 7u);  // 1 KiB to 256 KiB of flash, 64 bytes to 4 KiB of EEPROM
    for (const Memory& m : sizes) {
        SCOPED_TRACE(testing::Message() << (m.program ? "program " : "data ") << m.size);
        const std::vector<std::uint8_t> memory = RandomBytes(m.size, static_cast<unsigned>(m.size));
        const std::string text = FormatHexText(memory, m.program);
        std::vector<std::uint8_t> image(m.program ? FlashBuffer : EepromBuffer, 0x5A);
        const HexReadResult result = ParseHexText(text, image, m.size);
        EXPECT_EQ(result.stop, HexStop::EndRecord);
        EXPECT_TRUE(std::equal(memory.begin(), memory.end(), image.begin()));
        EXPECT_TRUE(std::all_of(image.begin() + static_cast<std::ptrdiff_t>(m.size), image.end(),
                                [](std::uint8_t b) { return b == 0x5A; }));
    }
}

// A reader case: the text, the memory size, how reading ends, and the bytes expected at
// given addresses (the image starts filled with 0xEE, so untouched bytes read 0xEE).
struct ReadCase {
    const char* name;
    std::string text;
    std::size_t memorySize;
    HexStop stop;
    std::size_t stopLine;
    std::vector<std::pair<std::uint32_t, std::uint8_t>> bytes;
};

class HexRecords : public testing::TestWithParam<ReadCase> {};

TEST_P(HexRecords, LoadsWhatTheRecordsSay)
{
    const ReadCase& c = GetParam();
    std::vector<std::uint8_t> image(FlashBuffer, 0xEE);
    const HexReadResult result = ParseHexText(c.text, image, c.memorySize);
    EXPECT_EQ(result.stop, c.stop);
    if (c.stop != HexStop::EndOfText) {
        EXPECT_EQ(result.line, c.stopLine);
    }
    std::vector<std::uint8_t> expected(FlashBuffer, 0xEE);
    for (const auto& [address, value] : c.bytes)
        expected[address] = value;
    for (std::size_t a = 0; a < image.size(); ++a)
        if (image[a] != expected[a]) {
            ADD_FAILURE() << "address 0x" << std::hex << a << ": 0x" << int(image[a]) << ", expected 0x"
                          << int(expected[a]);
            break;
        }
}

INSTANTIATE_TEST_SUITE_P(
    Records, HexRecords,
    testing::Values(
        ReadCase{"SegmentAndLinearBaseBothApply",
                 ":020000021000EC\r\n:020000040001F9\r\n:01001000AB44\r\n:00000001FF\r\n", FlashBuffer,
                 HexStop::EndRecord, 3, {{0x20010, 0xAB}}},
        ReadCase{"LinearBaseLoadsAbove64KiB", ":020000040001F9\r\n:020000001234B8\r\n:00000001FF", 131072,
                 HexStop::EndRecord, 2, {{0x10000, 0x12}, {0x10001, 0x34}}},
        ReadCase{"LinearBaseBeyondA64KiBChipIsDropped", ":020000040001F9\r\n:020000001234B8\r\n:00000001FF",
                 65536, HexStop::EndRecord, 2, {}},
        ReadCase{"RecordCrossing0xFFFFDoesNotWrap",
                 ":10FFF800000102030405060708090A0B0C0D0E0F81\r\n:00000001FF", FlashBuffer, HexStop::EndRecord, 1,
                 {{0xFFF8, 0}, {0xFFF9, 1}, {0xFFFA, 2}, {0xFFFB, 3}, {0xFFFC, 4}, {0xFFFD, 5}, {0xFFFE, 6},
                  {0xFFFF, 7}, {0x10000, 8}, {0x10001, 9}, {0x10002, 10}, {0x10003, 11}, {0x10004, 12},
                  {0x10005, 13}, {0x10006, 14}, {0x10007, 15}}},
        ReadCase{"LowerCaseDigitsLoadLikeUpperCase", ":040000000c94abcde4\n:00000001ff", FlashBuffer,
                 HexStop::EndRecord, 1, {{0, 0x0C}, {1, 0x94}, {2, 0xAB}, {3, 0xCD}}},
        ReadCase{"MissingMarkIsAccepted", ":0200000011EEFF\rX0200020022DDFD\r", FlashBuffer,
                 HexStop::EndOfText, 0, {{0, 0x11}, {1, 0xEE}, {2, 0x22}, {3, 0xDD}}},
        // A record whose checksum does not add up, or is cut off, stops before its bytes are used.
        ReadCase{"WrongChecksumStops", ":0100000001FE\r\n:0100010022DD\r\n:00000001FF", FlashBuffer,
                 HexStop::BadChecksum, 1, {{0, 1}}},
        ReadCase{"MissingChecksumStops", ":0100000001FE\r\n:0100010022\r\n:00000001FF", FlashBuffer,
                 HexStop::BadChecksum, 1, {{0, 1}}},
        ReadCase{"WrongChecksumOfABaseRecordStops", ":0100000001FE\n:020000040001F8\n:0100000002FD", FlashBuffer,
                 HexStop::BadChecksum, 1, {{0, 1}}},
        ReadCase{"WrongChecksumOfTheEndRecordStops", ":0100000001FE\n:00000001FE", FlashBuffer,
                 HexStop::BadChecksum, 1, {{0, 1}}},
        ReadCase{"OtherCharactersWhereTheChecksumBelongs", ":0100000001G1\n", FlashBuffer, HexStop::BadRecord, 0, {}},
        ReadCase{"NoEndRecordReadsToTheLastLine", ":0100000001FE\n\n:0100050005F5", FlashBuffer,
                 HexStop::EndOfText, 0, {{0, 1}, {5, 5}}},
        ReadCase{"LinesAfterTheEndRecordAreNeverExamined", ":0100000001FE\r\n:00000001FF\r\n:0100010002FC\r\ngarbage",
                 FlashBuffer, HexStop::EndRecord, 1, {{0, 1}}},
        // Start address records carry no data: reading goes on past them.
        ReadCase{"Type03IsSkipped",
                 ":0100000001FE\r\n:0400000300001234B3\r\n:0100010002FC\r\n:00000001FF", FlashBuffer,
                 HexStop::EndRecord, 3, {{0, 1}, {1, 2}}},
        ReadCase{"Type05IsSkipped", ":0100000001FE\r\n:0400000500001234B1\r\n:0100010002FC", FlashBuffer,
                 HexStop::EndOfText, 0, {{0, 1}, {1, 2}}},
        ReadCase{"Type06IsUnknown", ":0100000001FE\r\n:00000006FA\r\n:0100010002FC", FlashBuffer,
                 HexStop::UnknownType, 1, {{0, 1}}},
        ReadCase{"TypeFFIsUnknown", ":000000FF01\r\n", FlashBuffer, HexStop::UnknownType, 0, {}},
        ReadCase{"PartialFileKeepsTheRestOfTheImage", ":0100100042AD", FlashBuffer, HexStop::EndOfText, 0,
                 {{0x10, 0x42}}},
        // Damaged lines: the line stops reading before any of its bytes is stored.
        ReadCase{"HeaderCutShort", ":0100000001FE\r\n:1000\r\n:0100010002FC", FlashBuffer, HexStop::BadRecord, 1,
                 {{0, 1}}},
        ReadCase{"DataCutShort", ":0100000001FE\r\n:04000100AABB\r\n", FlashBuffer, HexStop::BadRecord, 1, {{0, 1}}},
        ReadCase{"HugeByteCountOnAShortLine", ":FF00000001\r\n", FlashBuffer, HexStop::BadRecord, 0, {}},
        ReadCase{"NonHexDigitInData", ":02000000A1G200\r\n", FlashBuffer, HexStop::BadRecord, 0, {}},
        ReadCase{"NonHexDigitInCount", ":0x000000\r\n", FlashBuffer, HexStop::BadRecord, 0, {}},
        ReadCase{"BaseRecordWithoutItsValue", ":0100000001FE\n:02000004\n:0100000002FD", FlashBuffer,
                 HexStop::BadRecord, 1, {{0, 1}}},
        ReadCase{"TextThatIsNoHexFile", "hello, world\n", FlashBuffer, HexStop::BadRecord, 0, {}},
        ReadCase{"BlankLinesAreSkipped", "\r\n  \r\n:0100000001FE\r\n\r\n:00000001FF", FlashBuffer, HexStop::EndRecord,
                 4, {{0, 1}}},
        ReadCase{"EmptyText", "", FlashBuffer, HexStop::EndOfText, 0, {}},
        // The bases and the offset are added without a 32-bit wrap: these bytes lie above 4 GiB.
        ReadCase{"AddressesAbove4GiBAreDroppedNotWrapped",
                 ":02000004FFFFFC\r\n:02000002FFFFFE\r\n:02FFFF000102FD\r\n:00000001FF", FlashBuffer,
                 HexStop::EndRecord, 3, {}}),
    [](const testing::TestParamInfo<ReadCase>& test) { return std::string(test.param.name); });

TEST(HexDefinedBytes, MarksExactlyTheBytesTheRecordsStored)
{
    // Two records with a gap between them, one byte beyond the memory: only the stored bytes
    // count as given by the file, whatever their value (0xFF included).
    std::vector<std::uint8_t> image(32, 0xFF);
    std::vector<std::uint8_t> defined(32, 0);
    HexReader reader(image, 16, PlaceInto::Flash, defined);
    reader.Feed(":02000200FFFFFE\n:02000F001234A9\n:00000001FF\n");
    const HexReadResult result = reader.Finish();
    EXPECT_EQ(result.stop, HexStop::EndRecord);
    EXPECT_EQ(result.droppedBytes, 1u);
    std::vector<std::uint8_t> expected(32, 0);
    expected[2] = expected[3] = expected[15] = 1;
    EXPECT_EQ(defined, expected);
    EXPECT_EQ(image[15], 0x12);
}

TEST(HexReaderBounds, NeverWritesPastTheBufferWhateverTheMemorySize)
{
    // A memory size larger than the buffer must not widen the writable range.
    std::vector<std::uint8_t> storage(32, 0xEE);
    const std::span<std::uint8_t> image(storage.data(), 16);
    const HexReadResult result = ParseHexText(":10000800000102030405060708090A0B0C0D0E0F70\r\n", image, 1u << 20);
    EXPECT_EQ(result.stop, HexStop::EndOfText);
    for (std::size_t a = 0; a < 8; ++a)
        EXPECT_EQ(storage[a], 0xEE);
    for (std::size_t a = 8; a < 16; ++a)
        EXPECT_EQ(storage[a], a - 8);
    for (std::size_t a = 16; a < 32; ++a)
        EXPECT_EQ(storage[a], 0xEE) << a;
}

TEST(HexStream, PiecesOfAnySizeReadAsTheWholeText)
{
    // Line ends of every kind, a CR LF split between pieces, and a last line without line end.
    const std::string text = ":0100000011EE\r\n:0100010022DC\r:0100020033CA\n\r\n:020000040000FA\r\n:0100030044B8";
    std::vector<std::uint8_t> whole(16, 0xFF);
    const HexReadResult expected = ParseHexText(text, whole, 16);
    for (std::size_t size = 1; size <= text.size(); ++size) {
        std::vector<std::uint8_t> image(16, 0xFF);
        HexReader reader(image, 16);
        for (std::size_t at = 0; at < text.size(); at += size)
            reader.Feed(std::string_view(text).substr(at, size));
        const HexReadResult result = reader.Finish();
        EXPECT_EQ(result.stop, expected.stop) << size;
        EXPECT_EQ(image, whole) << size;
    }
    EXPECT_EQ(whole[3], 0x44);
}

TEST(HexStream, ALineLongerThanAnyRecordStopsWithoutHoldingIt)
{
    std::vector<std::uint8_t> image(16, 0xFF);
    HexReader reader(image, 16);
    EXPECT_TRUE(reader.Feed(":0100000011EE\n"));
    const std::string endless(1000, '0');
    bool going = true;
    for (int i = 0; i < 100 && going; ++i)
        going = reader.Feed(endless);
    EXPECT_FALSE(going);
    const HexReadResult result = reader.Finish();
    EXPECT_EQ(result.stop, HexStop::BadRecord);
    EXPECT_EQ(result.line, 1u);
    EXPECT_EQ(image[0], 0x11);
}

TEST(HexStream, ToolchainEepromAddressesAndDroppedBytes)
{
    // With the EEPROM origin, 0x810000 is address 0; bytes beyond the memory are counted, the
    // first by its address in the file.
    std::vector<std::uint8_t> image(32, 0xFF);
    HexReader reader(image, 16, PlaceInto::Eeprom);
    reader.Feed(":020000040081790\n:020000000102FB\n:04000E00AABBCCDDE0\n:020000040000FA\n:0100030007F5\n");
    const HexReadResult result = reader.Finish();
    EXPECT_EQ(image[0], 0x01);
    EXPECT_EQ(image[1], 0x02);
    EXPECT_EQ(image[15], 0xBB);
    EXPECT_EQ(image[16], 0xFF);
    // The file has an EEPROM section, so what lies below it is the program's, not EEPROM data.
    EXPECT_EQ(image[3], 0xFF);
    EXPECT_EQ(result.droppedBytes, 2u);
    EXPECT_EQ(result.firstDropped, 0x810010u);
}

TEST(HexProgress, MovesEvery1024LinesAndEvery1024Bytes)
{
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += ":0100000001FE\n";
    std::vector<std::uint8_t> image(16);
    std::vector<int> read;
    ParseHexText(text, image, 16, [&](int percent) { read.push_back(percent); });
    EXPECT_EQ(read, (std::vector<int>{0, 34, 68}));

    std::vector<int> written;
    FormatHexText(std::vector<std::uint8_t>(4096), true, [&](int percent) { written.push_back(percent); });
    EXPECT_EQ(written, (std::vector<int>{0, 25, 50, 75}));
}

}  // namespace
}  // namespace velmora
