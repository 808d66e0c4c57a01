#include "views/dumpedit.h"

#include "views/dumplayout.h"
#include "views/dumptext.h"

#include <algorithm>

namespace velmora::dump {

namespace {
bool IsHexKey(std::uint8_t code) { return HexValue(static_cast<char>(code)) >= 0; }

char Upper(std::uint8_t code)
{
    return static_cast<char>(code >= 'a' && code <= 'z' ? code - 'a' + 'A' : code);
}

// Rewrites the character cell of the byte whose hex digits are on line start lineStart.
void RefreshCell(std::string& text, std::size_t lineStart, std::size_t byteInLine)
{
    const std::size_t hex = lineStart + HexColumnOf(byteInLine);
    const int value = (std::max(HexValue(text[hex]), 0) << 4) | std::max(HexValue(text[hex + 1]), 0);
    text[lineStart + CharColumnOf(byteInLine)] = CellChar(static_cast<std::uint8_t>(value));
}

// Writes a whole byte: its two hex digits and the given cell character.
void WriteByte(std::string& text, std::size_t lineStart, std::size_t byteInLine, std::uint8_t value, char cell)
{
    const std::size_t hex = lineStart + HexColumnOf(byteInLine);
    text[hex] = HexDigitUpper(value >> 4);
    text[hex + 1] = HexDigitUpper(value);
    text[lineStart + CharColumnOf(byteInLine)] = cell;
}
}  // namespace

std::size_t DumpKeyDown(std::string& text, std::size_t caret, const KeyStroke& key)
{
    const std::size_t lines = LinesOfText(text.size());
    if (lines == 0)
        return caret;
    caret = std::min(caret, text.size());
    const std::size_t line = caret / LineStride;
    const int column = std::min<int>(static_cast<int>(caret % LineStride), EndColumn);
    const std::size_t start = line * LineStride;
    const std::size_t previous = (line == 0 ? lines - 1 : line - 1) * LineStride;
    const std::size_t next = (line + 1 == lines ? 0 : line + 1) * LineStride;
    // The position of a column of this line; only used for columns 0 and above.
    const auto at = [start](int c) { return start + static_cast<std::size_t>(c); };

    if (key.kind == KeyStroke::Backspace) {
        const int c = column - 1;
        switch (ColumnRegion(c)) {
        case Region::Address:
            return previous + GapFirstColumn;
        case Region::Separator:
            return at(c);
        case Region::HexDigit:
            text[at(c)] = 'F';
            RefreshCell(text, start, ByteOfColumn(c));
            return at(c);
        case Region::Gap:
            return previous + EndColumn;
        case Region::Character:
        case Region::End:
            WriteByte(text, start, ByteOfColumn(c), 0xFF, '\xFF');
            return at(c);
        }
        return caret;
    }

    KeyStroke k = key;
    if (key.kind == KeyStroke::Delete) {
        // Delete overwrites with the erased value: the digit F, or the byte 0xFF in a cell.
        const Region r = ColumnRegion(column);
        k.code = (r == Region::HexDigit || r == Region::Separator) ? 'F'
                 : (r == Region::Character || r == Region::End)   ? 0xFF
                                                                  : 0x1F;
    }
    switch (ColumnRegion(column)) {
    case Region::End:
        return next + FirstCharColumn;
    case Region::Character: {
        // The digits take the key's code and the cell shows it as typed: the two always agree.
        const std::uint8_t code = std::max<std::uint8_t>(k.code, 0x1F);
        WriteByte(text, start, ByteOfColumn(column), code, static_cast<char>(code));
        return at(column + 1);
    }
    case Region::Gap:
        return next + FirstHexColumn;
    case Region::HexDigit:
        if (IsHexKey(k.code)) {
            text[at(column)] = Upper(k.code);
            RefreshCell(text, start, ByteOfColumn(column));
        }
        return at(column + 1);
    case Region::Separator:
        return at(column + 1);
    case Region::Address:
        return start + FirstHexColumn;
    }
    return caret;
}

std::optional<std::string> HexDigitsOf(std::string_view text)
{
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',')
            continue;
        // "0x" before a digit is a prefix.
        if (c == '0' && i + 2 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') && HexValue(text[i + 2]) >= 0) {
            ++i;
            continue;
        }
        if (HexValue(c) < 0)
            return std::nullopt;
        digits.push_back(c);
    }
    if (digits.empty())
        return std::nullopt;
    return digits;
}

PasteResult DumpPaste(std::string& text, std::size_t caret, std::string_view pasted)
{
    PasteResult result{.caret = caret};
    const std::size_t lines = LinesOfText(text.size());
    if (lines == 0 || pasted.empty())
        return result;
    caret = std::min(caret, text.size());
    std::size_t line = caret / LineStride;
    int column = std::min<int>(static_cast<int>(caret % LineStride), EndColumn);
    const Region region = ColumnRegion(column);
    const bool inHex = region == Region::Address || region == Region::HexDigit || region == Region::Separator;
    const std::optional<std::string> digits = inHex ? HexDigitsOf(pasted) : std::nullopt;
    result.hex = digits.has_value();
    const std::string_view units = digits ? std::string_view(*digits) : pasted;

    // Where the next unit goes; false once the dump has no room left.
    const auto place = [&]() {
        for (;;) {
            const Region r = ColumnRegion(column);
            if (result.hex ? r == Region::HexDigit : r == Region::Character)
                return true;
            const bool nextLine = result.hex ? r != Region::Address && r != Region::Separator
                                             : r == Region::Gap || r == Region::End;
            if (nextLine) {
                if (++line == lines)
                    return false;
                column = result.hex ? FirstHexColumn : FirstCharColumn;
            } else if (result.hex) {
                column = r == Region::Address ? FirstHexColumn : column + 1;
            } else {
                // Raw text from the hex region starts at the character cell of the caret's byte.
                column = static_cast<int>(CharColumnOf(ByteOfColumn(std::max(column, FirstHexColumn))));
            }
        }
    };
    std::size_t i = 0;
    for (; i < units.size() && place(); ++i) {
        // The same writes a typed key makes, stroke by stroke.
        const std::size_t at = line * LineStride + static_cast<std::size_t>(column);
        const std::size_t next = DumpKeyDown(text, at, KeyStroke::Char(static_cast<std::uint8_t>(units[i])));
        line = next / LineStride;
        column = static_cast<int>(next % LineStride);
    }
    result.written = i;
    result.left = units.size() - i;
    result.caret = std::min(line, lines - 1) * LineStride + static_cast<std::size_t>(column);
    return result;
}

std::optional<std::uint32_t> ParseAddress(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (text.starts_with("0x") || text.starts_with("0X"))
        text.remove_prefix(2);
    else if (text.starts_with('$'))
        text.remove_prefix(1);
    else if (text.ends_with('h') || text.ends_with('H'))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : text) {
        const int digit = HexValue(c);
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::optional<std::size_t> CaretOfAddress(std::size_t textLength, std::uint32_t address)
{
    if (address >= LinesOfText(textLength) * BytesPerLine)
        return std::nullopt;
    return HexCellPos(address);
}

int IdBytesKeyDown(std::string& text, int caret, const KeyStroke& key)
{
    constexpr int End = 8;
    if (text.size() < End)
        text.resize(End, ' ');
    caret = std::clamp(caret, 0, End);
    const auto separator = [](int p) { return p % 3 == 2; };
    if (key.kind == KeyStroke::Backspace) {
        const int p = caret - 1;
        if (p < 0)
            return End;
        if (!separator(p))
            text[static_cast<std::size_t>(p)] = 'F';
        return p;
    }
    const std::uint8_t code = key.kind == KeyStroke::Delete ? 'F' : key.code;
    if (caret > End - 1)
        return 0;
    if (IsHexKey(code) && !separator(caret))
        text[static_cast<std::size_t>(caret)] = Upper(code);
    return caret + 1;
}

std::size_t ByteAtPosition(std::size_t position)
{
    const int column = static_cast<int>(position % LineStride);
    int byte = BytesPerLine - 1;
    switch (ColumnRegion(column)) {
    case Region::Address: byte = 0; break;
    case Region::HexDigit:
    case Region::Separator:
    case Region::Character: byte = static_cast<int>(ByteOfColumn(column)); break;
    case Region::Gap:
    case Region::End: break;
    }
    return position / LineStride * BytesPerLine + static_cast<std::size_t>(byte);
}

std::string HexOfBytes(const std::string& text, std::size_t first, std::size_t last)
{
    const std::size_t count = LinesOfText(text.size()) * BytesPerLine;
    if (count == 0)
        return {};
    if (first > last)
        std::swap(first, last);
    last = std::min(last, count - 1);
    first = std::min(first, last);
    std::string hex;
    hex.reserve((last - first + 1) * 3);
    for (std::size_t i = first; i <= last; ++i) {
        if (i != first)
            hex.push_back(' ');
        hex.append(text, HexCellPos(i), 2);
    }
    return hex;
}

std::size_t CaretAt(std::size_t textLength, std::int64_t line, std::int64_t column)
{
    const std::int64_t lines = static_cast<std::int64_t>(LinesOfText(textLength));
    if (lines == 0)
        return 0;
    line = std::clamp<std::int64_t>(line, 0, lines - 1);
    column = std::clamp<std::int64_t>(column, 0, EndColumn);
    return static_cast<std::size_t>(line * LineStride + column);
}

std::size_t MoveCaret(std::size_t textLength, std::size_t caret, CaretMove move, int pageLines)
{
    const std::size_t lines = LinesOfText(textLength);
    if (lines == 0)
        return 0;
    const auto line = static_cast<std::int64_t>(std::min(caret, textLength) / LineStride);
    const auto column = std::min<std::int64_t>(static_cast<std::int64_t>(caret % LineStride), EndColumn);
    const std::int64_t last = static_cast<std::int64_t>(lines) - 1;
    switch (move) {
    case CaretMove::Left:
        if (column > 0)
            return CaretAt(textLength, line, column - 1);
        return line > 0 ? CaretAt(textLength, line - 1, EndColumn) : caret;
    case CaretMove::Right:
        if (column < EndColumn)
            return CaretAt(textLength, line, column + 1);
        return line < last ? CaretAt(textLength, line + 1, 0) : caret;
    case CaretMove::Up:
        return CaretAt(textLength, line - 1, column);
    case CaretMove::Down:
        return CaretAt(textLength, line + 1, column);
    case CaretMove::PageUp:
        return CaretAt(textLength, line - std::max(pageLines, 1), column);
    case CaretMove::PageDown:
        return CaretAt(textLength, line + std::max(pageLines, 1), column);
    case CaretMove::DocumentStart:
        return 0;
    case CaretMove::DocumentEnd:
        return CaretAt(textLength, last, EndColumn);
    }
    return caret;
}

}  // namespace velmora::dump
