#pragma once
// The layout of a hex dump text: 80-character lines joined by CR LF, so a line occupies 82
// positions. Every position computation of rendering, parsing and editing goes through here.

#include <cstddef>
#include <cstdint>

namespace velmora::dump {

inline constexpr int LineChars = 80;       // visible characters of a line
inline constexpr int LineStride = 82;      // with the CR LF that follows all but the last line
inline constexpr int BytesPerLine = 16;
inline constexpr int FirstHexColumn = 10;  // after "00000000: "
inline constexpr int LastHexColumn = 56;   // low digit of byte 15
inline constexpr int GapFirstColumn = 57;  // "   |   "
inline constexpr int BarColumn = 60;
inline constexpr int FirstCharColumn = 64;
inline constexpr int LastCharColumn = 79;
inline constexpr int EndColumn = 80;       // the caret after the last character cell

// A byte below 0x1F shows as 0x1F in its character cell; every other byte as itself.
inline constexpr char CellChar(std::uint8_t b)
{
    return static_cast<char>(b < 0x1F ? 0x1F : b);
}

inline constexpr std::size_t LineCount(std::size_t byteCount) { return byteCount / BytesPerLine; }

// The length of the text of lines lines: no line break after the last one.
inline constexpr std::size_t TextLength(std::size_t lines) { return lines == 0 ? 0 : lines * LineStride - 2; }
inline constexpr std::size_t LinesOfText(std::size_t textLength) { return (textLength + 2) / LineStride; }

inline constexpr std::size_t HexCellPos(std::size_t i)
{
    return (i / BytesPerLine) * LineStride + (i % BytesPerLine) * 3 + FirstHexColumn;
}
inline constexpr std::size_t CharCellPos(std::size_t i)
{
    return (i / BytesPerLine) * LineStride + (i % BytesPerLine) + FirstCharColumn;
}

enum class Region { Address, HexDigit, Separator, Gap, Character, End };

// The region a column of a line lies in (columns above 80 count as the end).
inline constexpr Region ColumnRegion(int column)
{
    if (column < FirstHexColumn)
        return Region::Address;
    if (column <= LastHexColumn)
        return (column - FirstHexColumn) % 3 == 2 ? Region::Separator : Region::HexDigit;
    if (column < FirstCharColumn)
        return Region::Gap;
    if (column <= LastCharColumn)
        return Region::Character;
    return Region::End;
}

// The byte of the line (0 to 15) a hex or character column belongs to; column is one of those.
inline constexpr std::size_t ByteOfColumn(int column)
{
    return static_cast<std::size_t>(column >= FirstCharColumn ? column - FirstCharColumn
                                                              : (column - FirstHexColumn) / 3);
}

inline constexpr std::size_t HexColumnOf(std::size_t byteInLine) { return FirstHexColumn + 3 * byteInLine; }
inline constexpr std::size_t CharColumnOf(std::size_t byteInLine) { return FirstCharColumn + byteInLine; }

}  // namespace velmora::dump
