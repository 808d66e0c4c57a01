#include "chips/srecfile.h"

#include <algorithm>

namespace velmora {

namespace {

// Field positions, counted from the "S" at 0.
constexpr std::size_t TypeAt = 1;
constexpr std::size_t CountAt = 2;
constexpr std::size_t AddressAt = 4;

// Address bytes of each record type S0 to S9; 0 for the type that does not exist (S4).
constexpr std::size_t AddressBytes[10] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};

void PutRecord(std::string& out, char type, std::size_t addressBytes, std::uint32_t address,
               std::span<const std::uint8_t> data)
{
    const unsigned count = static_cast<unsigned>(addressBytes + data.size() + 1);
    unsigned sum = count;
    out.push_back('S');
    out.push_back(type);
    PutByte(out, count);
    for (std::size_t k = addressBytes; k-- > 0;) {
        const unsigned byte = (address >> (8 * k)) & 0xFF;
        PutByte(out, byte);
        sum += byte;
    }
    for (std::uint8_t b : data) {
        PutByte(out, b);
        sum += b;
    }
    PutByte(out, ~sum & 0xFF);
    out += "\r\n";
}

}  // namespace

SrecReader::SrecReader(std::span<std::uint8_t> image, std::size_t memorySize, PlaceInto into,
                       std::span<std::uint8_t> defined)
    : placer_(image, memorySize, into, defined)
{
}

bool SrecReader::Stop(HexStop why)
{
    result_.stop = why;
    result_.line = lines_ - 1;
    stopped_ = true;
    return false;
}

bool SrecReader::Line(std::string_view line)
{
    if (stopped_)
        return false;
    ++lines_;
    if (line.size() > HexLineLimit)
        return Stop(HexStop::BadRecord);
    if (IsBlank(line))
        return true;
    countLast_ = false;
    if (line.size() < AddressAt || (line[0] != 'S' && line[0] != 's') || line[TypeAt] < '0' || line[TypeAt] > '9')
        return Stop(HexStop::BadRecord);
    const int type = line[TypeAt] - '0';
    if (AddressBytes[type] == 0)
        return Stop(HexStop::UnknownType);
    const std::size_t addressBytes = AddressBytes[type];
    const std::int64_t count = HexField(line, CountAt, 1);
    if (count < 0 || static_cast<std::size_t>(count) < addressBytes + 1)
        return Stop(HexStop::BadRecord);
    // The whole record, checksum included, is checked before any of it is used.
    unsigned sum = 0;
    for (std::int64_t k = 0; k <= count; ++k) {
        const std::int64_t byte = HexField(line, CountAt + 2 * static_cast<std::size_t>(k), 1);
        if (byte < 0)
            return Stop(k == count && line.size() <= CountAt + 2 * static_cast<std::size_t>(k) ? HexStop::BadChecksum
                                                                                               : HexStop::BadRecord);
        sum += static_cast<unsigned>(byte);
    }
    if ((sum & 0xFF) != 0xFF)
        return Stop(HexStop::BadChecksum);
    const std::uint64_t address = static_cast<std::uint64_t>(HexField(line, AddressAt, addressBytes));
    const std::size_t dataAt = AddressAt + 2 * addressBytes;
    const std::size_t dataBytes = static_cast<std::size_t>(count) - addressBytes - 1;
    switch (type) {
    case 1:
    case 2:
    case 3:
        ++dataRecords_;
        for (std::size_t j = 0; j < dataBytes; ++j)
            placer_.Put(address + j, static_cast<std::uint8_t>(HexField(line, dataAt + 2 * j, 1)));
        return true;
    case 5:
    case 6:
        // A count that does not match says records were lost or doubled on the way.
        if (address != (dataRecords_ & (type == 5 ? 0xFFFFu : 0xFFFFFFu)))
            return Stop(HexStop::BadRecord);
        countLast_ = true;
        countLine_ = lines_ - 1;
        return true;
    case 7:
    case 8:
    case 9:
        return Stop(HexStop::EndRecord);
    default:  // S0: the header names the file's maker; nothing to load
        return true;
    }
}

bool SrecReader::Feed(std::string_view piece)
{
    return !stopped_ && splitter_.Feed(piece, [this](std::string_view line) { return Line(line); }) && !stopped_;
}

HexReadResult SrecReader::Finish()
{
    if (!stopped_)
        splitter_.Finish([this](std::string_view line) { return Line(line); });
    if (!stopped_ && countLast_) {
        result_.stop = HexStop::EndRecord;
        result_.line = countLine_;
    }
    placer_.Finish();
    TakePlacement(placer_, result_);
    result_.lines = lines_;
    return result_;
}

HexReadResult ParseSrecText(std::string_view text, std::span<std::uint8_t> image, std::size_t memorySize,
                            PlaceInto into)
{
    SrecReader reader(image, memorySize, into);
    reader.Feed(text);
    return reader.Finish();
}

std::string FormatSrecText(std::span<const std::uint8_t> memory, const ProgressFn& progress)
{
    const std::size_t size = memory.size();
    const std::size_t addressBytes = size <= 0x10000 ? 2 : size <= 0x1000000 ? 3 : 4;
    const char dataType = static_cast<char>('0' + addressBytes - 1);
    const char endType = static_cast<char>('0' + 11 - addressBytes);
    std::string out;
    out.reserve((size + 15) / 16 * (48 + 2 * addressBytes) + 64);
    PutRecord(out, '0', 2, 0, {});
    std::uint32_t records = 0;
    for (std::size_t a = 0; a < size; a += 16) {
        if (progress && a % 1024 == 0)
            progress(ProgressPercent(a, size));
        PutRecord(out, dataType, addressBytes, static_cast<std::uint32_t>(a), memory.subspan(a, std::min<std::size_t>(16, size - a)));
        ++records;
    }
    if (records <= 0xFFFF)
        PutRecord(out, '5', 2, records, {});
    else
        PutRecord(out, '6', 3, records, {});
    PutRecord(out, endType, addressBytes, 0, {});
    return out;
}

}  // namespace velmora
