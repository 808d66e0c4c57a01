#include "chips/hexfile.h"

#include <algorithm>
#include <array>

namespace velmora {

namespace {

// -1 for characters that are not hex digits; both cases are digits.
constexpr std::array<std::int8_t, 256> MakeNibbles()
{
    std::array<std::int8_t, 256> table{};
    for (auto& v : table)
        v = -1;
    for (std::size_t c = '0'; c <= '9'; ++c)
        table[c] = static_cast<std::int8_t>(c - '0');
    for (std::size_t c = 'a'; c <= 'f'; ++c) {
        table[c] = static_cast<std::int8_t>(c - 'a' + 10);
        table[c - 'a' + 'A'] = static_cast<std::int8_t>(c - 'a' + 10);
    }
    return table;
}
constexpr std::array<std::int8_t, 256> Nibbles = MakeNibbles();

constexpr char Digits[] = "0123456789ABCDEF";

// Field positions of a record, counted from the record mark at 0.
constexpr std::size_t CountAt = 1;
constexpr std::size_t OffsetAt = 3;
constexpr std::size_t TypeAt = 7;
constexpr std::size_t DataAt = 9;

}  // namespace

std::int64_t HexField(std::string_view line, std::size_t pos, std::size_t bytes)
{
    if (line.size() < pos + 2 * bytes)
        return -1;
    std::int64_t value = 0;
    for (std::size_t k = 0; k < 2 * bytes; ++k) {
        const int nibble = Nibbles[static_cast<unsigned char>(line[pos + k])];
        if (nibble < 0)
            return -1;
        value = value << 4 | nibble;
    }
    return value;
}

bool IsBlank(std::string_view line)
{
    for (char c : line)
        if (c != ' ' && c != '\t')
            return false;
    return true;
}

namespace {

// Splits text into lines at CR LF, LF or a lone CR; an empty last line after the final line
// end is not a line.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    bool Next(std::string_view& line)
    {
        if (pos_ >= text_.size())
            return false;
        std::size_t end = pos_;
        while (end < text_.size() && text_[end] != '\n' && text_[end] != '\r')
            ++end;
        line = text_.substr(pos_, end - pos_);
        if (end < text_.size() && text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n')
            ++end;
        pos_ = end + 1;
        return true;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

std::size_t CountLines(std::string_view text)
{
    LineReader reader(text);
    std::string_view line;
    std::size_t count = 0;
    while (reader.Next(line))
        ++count;
    return count;
}

}  // namespace

void PutByte(std::string& out, unsigned value)
{
    out.push_back(Digits[(value >> 4) & 0xF]);
    out.push_back(Digits[value & 0xF]);
}

int ProgressPercent(std::size_t index, std::size_t total)
{
    return total == 0 ? 100 : static_cast<int>((index + 1) * 100 / total);
}

HexReader::HexReader(std::span<std::uint8_t> image, std::size_t memorySize, PlaceInto into,
                     std::span<std::uint8_t> defined)
    : placer_(image, memorySize, into, defined)
{
}

bool HexReader::Line(std::string_view line)
{
    if (stopped_)
        return false;
    const std::size_t i = lines_++;
    const auto stop = [this, i](HexStop why) {
        result_.stop = why;
        result_.line = i;
        stopped_ = true;
        return false;
    };
    if (line.size() > HexLineLimit)
        return stop(HexStop::BadRecord);
    if (IsBlank(line))
        return true;
    const std::int64_t count = HexField(line, CountAt, 1);
    const std::int64_t offset = HexField(line, OffsetAt, 2);
    const std::int64_t type = HexField(line, TypeAt, 1);
    if (count < 0 || offset < 0 || type < 0)
        return stop(HexStop::BadRecord);
    // The whole record, checksum included, is checked before any of it is used: a byte
    // flipped on the way must not end up in the chip.
    unsigned sum = unsigned(count) + unsigned(offset >> 8) + unsigned(offset & 0xFF) + unsigned(type);
    for (std::int64_t j = 0; j < count; ++j) {
        const std::int64_t byte = HexField(line, DataAt + 2 * static_cast<std::size_t>(j), 1);
        if (byte < 0)
            return stop(HexStop::BadRecord);
        sum += unsigned(byte);
    }
    const std::size_t checksumAt = DataAt + 2 * static_cast<std::size_t>(count);
    const std::int64_t checksum = HexField(line, checksumAt, 1);
    if (checksum < 0) {
        // Characters there that are not a checksum make a damaged line, nothing at all a cut one.
        if (line.size() > checksumAt && !IsBlank(line.substr(checksumAt, 2)))
            return stop(HexStop::BadRecord);
        result_.checksumMissing = true;
        return stop(HexStop::BadChecksum);
    }
    if (((sum + unsigned(checksum)) & 0xFF) != 0)
        return stop(HexStop::BadChecksum);
    switch (type) {
    case 0x00: {
        const std::uint64_t base = linearBase_ + segmentBase_ + static_cast<std::uint64_t>(offset);
        for (std::int64_t j = 0; j < count; ++j)
            placer_.Put(base + static_cast<std::uint64_t>(j),
                        static_cast<std::uint8_t>(HexField(line, DataAt + 2 * static_cast<std::size_t>(j), 1)));
        return true;
    }
    case 0x01:
        return stop(HexStop::EndRecord);
    case 0x02:
    case 0x04: {
        const std::int64_t value = HexField(line, DataAt, 2);
        if (value < 0)
            return stop(HexStop::BadRecord);
        if (type == 0x02)
            segmentBase_ = static_cast<std::uint64_t>(value) * 16;
        else
            linearBase_ = static_cast<std::uint64_t>(value) * 65536;
        return true;
    }
    case 0x03:
    case 0x05:
        // The start address of the program (every bootloader has one): no data to load.
        return true;
    default:
        return stop(HexStop::UnknownType);
    }
}

void TakePlacement(const ImagePlacer& placer, HexReadResult& result)
{
    result.droppedBytes = placer.DroppedBytes();
    result.firstDropped = placer.FirstDropped();
    result.fuses = placer.Fuses();
    result.eepromSection = placer.HasEepromSection();
}

bool HexReader::Feed(std::string_view piece)
{
    return !stopped_ && splitter_.Feed(piece, [this](std::string_view line) { return Line(line); }) && !stopped_;
}

HexReadResult HexReader::Finish()
{
    if (!stopped_)
        splitter_.Finish([this](std::string_view line) { return Line(line); });
    placer_.Finish();
    TakePlacement(placer_, result_);
    result_.lines = lines_;
    return result_;
}

HexReadResult ParseHexText(std::string_view text, std::span<std::uint8_t> image, std::size_t memorySize,
                           const ProgressFn& progress)
{
    const std::size_t lineCount = progress ? CountLines(text) : 0;
    HexReader reader(image, memorySize);
    LineReader lines(text);
    std::string_view line;
    for (std::size_t i = 0; lines.Next(line); ++i) {
        if (progress && i % 1024 == 0)
            progress(ProgressPercent(i, lineCount));
        if (!reader.Line(line))
            break;
    }
    return reader.Finish();
}

std::string FormatHexText(std::span<const std::uint8_t> memory, bool linearAddressRecords, const ProgressFn& progress)
{
    const std::size_t size = memory.size();
    std::string out;
    // 21 characters of frame and 16 of data per 8-byte record, 17 per address record, 11 at the end.
    out.reserve((size + 7) / 8 * 37 + (linearAddressRecords ? (size / 65536 + 1) * 17 : 0) + 11);
    for (std::size_t a = 0; a < size; a += 8) {
        if (linearAddressRecords && a % 65536 == 0) {
            const unsigned upper = static_cast<unsigned>(a >> 16) & 0xFFFF;
            out += ":02000004";
            PutByte(out, upper >> 8);
            PutByte(out, upper & 0xFF);
            PutByte(out, (0x100 - ((2 + 4 + (upper >> 8) + upper) & 0xFF)) & 0xFF);
            out += "\r\n";
        }
        if (progress && a % 1024 == 0)  // records start at multiples of 8, so no multiple of 1024 is skipped
            progress(ProgressPercent(a, size));
        const std::size_t n = std::min<std::size_t>(8, size - a);
        const unsigned offset = static_cast<unsigned>(a) & 0xFFFF;
        unsigned sum = static_cast<unsigned>(n) + (offset >> 8) + (offset & 0xFF);
        out.push_back(':');
        PutByte(out, static_cast<unsigned>(n));
        PutByte(out, offset >> 8);
        PutByte(out, offset & 0xFF);
        out += "00";
        for (std::size_t k = 0; k < n; ++k) {
            PutByte(out, memory[a + k]);
            sum += memory[a + k];
        }
        PutByte(out, (0x100 - (sum & 0xFF)) & 0xFF);
        out += "\r\n";
    }
    out += ":00000001FF";
    return out;
}

}  // namespace velmora
