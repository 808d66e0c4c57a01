#include "views/dumptext.h"

#include <algorithm>
#include <cstring>

namespace velmora::dump {

namespace {
void WriteAddress(char* line, std::uint32_t address)
{
    for (int d = 7; d >= 0; --d, address >>= 4)
        line[d] = HexDigitUpper(address);
}

void WriteHex(char* at, std::uint8_t b)
{
    at[0] = HexDigitUpper(b >> 4);
    at[1] = HexDigitUpper(b);
}

// The 80 characters of a line whose 16 bytes all hold value, with the address left zero.
std::string LineTemplate(std::uint8_t value, char cell)
{
    std::string line(LineChars, ' ');
    std::memset(line.data(), '0', 8);
    line[8] = ':';
    for (std::size_t k = 0; k < BytesPerLine; ++k) {
        WriteHex(&line[HexColumnOf(k)], value);
        line[CharColumnOf(k)] = cell;
    }
    line[BarColumn] = '|';
    return line;
}
}  // namespace

std::string HexDumpLine(std::uint32_t address, const std::uint8_t* bytes)
{
    std::string line = LineTemplate(0, ' ');
    WriteAddress(line.data(), address);
    for (std::size_t k = 0; k < BytesPerLine; ++k) {
        WriteHex(&line[HexColumnOf(k)], bytes[k]);
        line[CharColumnOf(k)] = CellChar(bytes[k]);
    }
    return line;
}

std::string BlankText(std::size_t byteCount, bool niietMode)
{
    const std::size_t lines = LineCount(byteCount);
    std::string text(TextLength(lines), '\0');
    const std::string blank = niietMode ? LineTemplate(0x00, ' ') : LineTemplate(0xFF, '\xFF');
    for (std::size_t l = 0; l < lines; ++l) {
        char* line = text.data() + l * LineStride;
        std::memcpy(line, blank.data(), LineChars);
        WriteAddress(line, static_cast<std::uint32_t>(l * BytesPerLine));
        if (l + 1 < lines) {
            line[LineChars] = '\r';
            line[LineChars + 1] = '\n';
        }
    }
    return text;
}

void Render(std::string& text, const std::uint8_t* bytes, std::size_t size)
{
    size = std::min(size, LinesOfText(text.size()) * BytesPerLine);
    for (std::size_t i = 0; i < size; ++i) {
        WriteHex(&text[HexCellPos(i)], bytes[i]);
        text[CharCellPos(i)] = CellChar(bytes[i]);
    }
}

void Parse(std::string_view text, std::uint8_t* bytes, std::size_t size)
{
    size = std::min(size, LinesOfText(text.size()) * BytesPerLine);
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t p = HexCellPos(i);
        const int high = HexValue(text[p]);
        const int low = HexValue(text[p + 1]);
        bytes[i] = static_cast<std::uint8_t>((std::max(high, 0) << 4) | std::max(low, 0));
    }
}

}  // namespace velmora::dump
