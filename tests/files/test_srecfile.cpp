// Motorola S-records, the toolchain's address space that every reader places bytes by, and how
// a load tells a file's format.

#include "chips/imageformat.h"
#include "chips/srecfile.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace velmora {
namespace {

// One record with its count and checksum worked out: S<type><count><address><data><checksum>.
std::string Record(char type, std::size_t addressBytes, std::uint32_t address, std::vector<std::uint8_t> data)
{
    std::string out;
    const unsigned count = static_cast<unsigned>(addressBytes + data.size() + 1);
    unsigned sum = count;
    out += 'S';
    out += type;
    PutByte(out, count);
    for (std::size_t k = addressBytes; k-- > 0;) {
        PutByte(out, address >> (8 * k));
        sum += (address >> (8 * k)) & 0xFF;
    }
    for (std::uint8_t b : data) {
        PutByte(out, b);
        sum += b;
    }
    PutByte(out, ~sum & 0xFF);
    return out + "\n";
}

struct SrecCase {
    const char* name;
    std::string text;
    HexStop stop;
    std::size_t line;                      // for stops other than EndOfText
    std::vector<std::pair<std::size_t, std::uint8_t>> bytes;  // expected image bytes (others 0xEE)
};

class SrecRecords : public testing::TestWithParam<SrecCase> {};

TEST_P(SrecRecords, LoadWhatTheRecordsSay)
{
    const SrecCase& c = GetParam();
    std::vector<std::uint8_t> image(0x20000, 0xEE);
    const HexReadResult result = ParseSrecText(c.text, image, 0x20000);
    EXPECT_EQ(result.stop, c.stop);
    if (c.stop != HexStop::EndOfText) {
        EXPECT_EQ(result.line, c.line);
    }
    std::vector<std::uint8_t> expected(0x20000, 0xEE);
    for (const auto& [address, value] : c.bytes)
        expected[address] = value;
    EXPECT_EQ(image, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Srec, SrecRecords,
    testing::Values(
        SrecCase{"ThreeAddressForms",
                 Record('0', 2, 0, {'h', 'i'}) + Record('1', 2, 0x1234, {1, 2}) + Record('2', 3, 0x012345, {3}) +
                     Record('3', 4, 0x00010000, {4}) + Record('5', 2, 3, {}) + Record('9', 2, 0, {}),
                 HexStop::EndRecord, 5, {{0x1234, 1}, {0x1235, 2}, {0x12345, 3}, {0x10000, 4}}},
        SrecCase{"LowerCaseAndCrLf", "S1050010aabb85\r\nS9030000FC\r\n", HexStop::EndRecord, 1, {{0x10, 0xAA}, {0x11, 0xBB}}},
        // A wrong checksum is a damaged line: nothing of it is stored, nothing after it read.
        SrecCase{"WrongChecksum", Record('1', 2, 0, {1}) + "S1050010AABB8E\n" + Record('1', 2, 2, {2}),
                 HexStop::BadChecksum, 1, {{0, 1}}},
        SrecCase{"ChecksumCutOff", "S1050010AABB\n", HexStop::BadChecksum, 0, {}},
        SrecCase{"NotHex", "S1050010AXBB8F\n", HexStop::BadRecord, 0, {}},
        SrecCase{"CountShorterThanItsAddress", "S1020010ED\n", HexStop::BadRecord, 0, {}},
        SrecCase{"NoRecordMark", Record('1', 2, 0, {1}) + ":0100000011EE\n", HexStop::BadRecord, 1, {{0, 1}}},
        SrecCase{"TypeS4DoesNotExist", "S4030000FC\n", HexStop::UnknownType, 0, {}},
        // The count record says a record went missing on the way.
        SrecCase{"CountRecordDisagrees", Record('1', 2, 0, {1}) + Record('5', 2, 2, {}), HexStop::BadRecord, 1, {{0, 1}}},
        SrecCase{"LinesAfterTheEndAreNotRead", Record('9', 2, 0, {}) + "garbage\n", HexStop::EndRecord, 0, {}},
        SrecCase{"EndingWithItsCountRecord", Record('1', 2, 0, {1}) + Record('5', 2, 1, {}) + "\n",
                 HexStop::EndRecord, 1, {{0, 1}}},
        SrecCase{"BlankLinesAndNoEnd", "\n  \n" + Record('1', 2, 5, {9}), HexStop::EndOfText, 0, {{5, 9}}},
        // Beyond the memory: counted, never stored, never wrapped.
        SrecCase{"BeyondTheMemory", Record('3', 4, 0x0001FFFF, {7, 8}), HexStop::EndOfText, 0, {{0x1FFFF, 7}}}),
    [](const testing::TestParamInfo<SrecCase>& param) { return std::string(param.param.name); });

TEST(SrecWriter, RecordsOfTheShortestAddressFormWithCountAndEnd)
{
    std::vector<std::uint8_t> small(32, 0xFF);
    small[0] = 0x0C;
    EXPECT_EQ(FormatSrecText(small),
              "S0030000FC\r\n"
              "S11300000CFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFEF\r\n"
              "S1130010FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFEC\r\n"
              "S5030002FA\r\n"
              "S9030000FC\r\n");
    const std::string big = FormatSrecText(std::vector<std::uint8_t>(0x20000, 0));
    EXPECT_TRUE(big.starts_with("S0030000FC\r\nS214000000"));
    EXPECT_NE(big.find("\r\nS5032000DC\r\nS804000000FB\r\n"), std::string::npos);
}

TEST(SrecWriter, ReadsBackForEveryMemorySize)
{
    std::mt19937 random(3);
    for (std::size_t size : {0u, 8u, 64u, 512u, 1000u, 8192u, 65536u, 131072u, 262144u}) {
        SCOPED_TRACE(size);
        std::vector<std::uint8_t> memory(size);
        for (auto& b : memory)
            b = static_cast<std::uint8_t>(random());
        std::vector<std::uint8_t> again(size, 0x5A);
        const HexReadResult result = ParseSrecText(FormatSrecText(memory), again, size);
        EXPECT_EQ(result.stop, HexStop::EndRecord);
        EXPECT_EQ(again, memory);
    }
}

TEST(SrecStream, PiecesOfAnySizeReadAsTheWholeText)
{
    const std::string text = "S1050010AABB85\r\nS1040020CC0F\rS1040021DD" "FD\n\r\nS9030000FC";
    std::vector<std::uint8_t> whole(64, 0xFF);
    ASSERT_EQ(ParseSrecText(text, whole, 64).stop, HexStop::EndRecord);
    for (std::size_t size = 1; size <= text.size(); ++size) {
        std::vector<std::uint8_t> image(64, 0xFF);
        SrecReader reader(image, 64);
        for (std::size_t at = 0; at < text.size(); at += size)
            reader.Feed(std::string_view(text).substr(at, size));
        EXPECT_EQ(reader.Finish().stop, HexStop::EndRecord) << size;
        EXPECT_EQ(image, whole) << size;
    }
}

// The toolchain's address space: flash from 0, EEPROM from 0x810000, fuses from 0x820000, lock
// at 0x830000, whichever memory a load is for.
TEST(ImagePlacement, EachMemoryTakesItsOwnSectionAndTheFusesAreNoted)
{
    struct Put {
        std::uint64_t address;
        std::uint8_t value;
    };
    const Put all[] = {{0, 0x0C},        {1, 0x94},        {0x810000, 0x11}, {0x810001, 0x22},
                       {0x820000, 0xE2}, {0x820002, 0xF9}, {0x830000, 0xFC}, {0x840000, 0x1E}};
    FileFuseBytes fuses;
    fuses.fuse[0] = 0xE2;
    fuses.fuse[2] = 0xF9;
    fuses.lock = 0xFC;

    const auto placeAll = [&](ImagePlacer& placer) {
        for (const Put& p : all)
            placer.Put(p.address, p.value);
        placer.Finish();
    };

    std::vector<std::uint8_t> flash(16, 0xFF);
    ImagePlacer toFlash(flash, 16, PlaceInto::Flash);
    placeAll(toFlash);
    EXPECT_EQ(flash[0], 0x0C);
    EXPECT_EQ(flash[1], 0x94);
    EXPECT_EQ(flash[2], 0xFF);
    EXPECT_EQ(toFlash.DroppedBytes(), 0u);  // the other memories' bytes are not "beyond the memory"
    EXPECT_EQ(toFlash.Fuses(), fuses);
    EXPECT_TRUE(toFlash.HasEepromSection());

    std::vector<std::uint8_t> eeprom(16, 0xFF);
    ImagePlacer toEeprom(eeprom, 16, PlaceInto::Eeprom);
    placeAll(toEeprom);
    // The program's bytes at 0 and 1 are not taken for EEPROM data.
    EXPECT_EQ(eeprom[0], 0x11);
    EXPECT_EQ(eeprom[1], 0x22);
    EXPECT_EQ(eeprom[2], 0xFF);
    EXPECT_EQ(toEeprom.Fuses(), fuses);
}

TEST(ImagePlacement, AnEepromFileOfItsOwnLoadsFromZero)
{
    // An .eep made with the section moved to 0: its addresses are EEPROM addresses; what lies
    // beyond the EEPROM is counted once the file is known to have no EEPROM section.
    std::vector<std::uint8_t> eeprom(16, 0xFF);
    ImagePlacer placer(eeprom, 16, PlaceInto::Eeprom);
    placer.Put(3, 0x33);
    placer.Put(20, 0x44);
    EXPECT_EQ(eeprom[3], 0xFF);  // held back until the file has been read
    placer.Finish();
    EXPECT_EQ(eeprom[3], 0x33);
    EXPECT_EQ(placer.DroppedBytes(), 1u);
    EXPECT_EQ(placer.FirstDropped(), 20u);
    EXPECT_FALSE(placer.Fuses().Any());
}

TEST(ImageFormats, ByContentWhereItIsPlainElseByName)
{
    const struct {
        std::string head;
        std::optional<ImageFileFormat> format;
    } contents[] = {
        {std::string("\x7f" "ELF\x01\x01", 6), ImageFileFormat::Elf},
        {":100000000C9434000C9446000C9446000C9446006A\r\n", ImageFileFormat::IntelHex},
        {"\r\n\n:00000001FF", ImageFileFormat::IntelHex},
        {"S00600004844521B\n", ImageFileFormat::Srec},
        {"S11300000C94", ImageFileFormat::Srec},  // a head that ends within its first line
        {":1000", std::nullopt},              // shorter than any record
        {":10000000 this is text", std::nullopt},
        {std::string("\x0c\x94\x34\x00", 4), std::nullopt},
        {"Some text\n:00000001FF\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : contents)
        EXPECT_EQ(FormatByContent(c.head), c.format) << c.head;

    const struct {
        const char* name;
        std::optional<ImageFileFormat> format;
    } names[] = {
        {"fw.hex", ImageFileFormat::IntelHex}, {"fw.EEP", ImageFileFormat::IntelHex}, {"fw.ihx", ImageFileFormat::IntelHex},
        {"fw.srec", ImageFileFormat::Srec},    {"fw.S19", ImageFileFormat::Srec},     {"fw.mot", ImageFileFormat::Srec},
        {"fw.elf", ImageFileFormat::Elf},      {"fw.raw", ImageFileFormat::Binary},   {"fw.BIN", ImageFileFormat::Binary},
        {"imagebin", ImageFileFormat::Binary}, {"fw.txt", std::nullopt},              {"fw", std::nullopt},
    };
    for (const auto& c : names)
        EXPECT_EQ(FormatByName(c.name), c.format) << c.name;
}

}  // namespace
}  // namespace velmora
