#pragma once
// Hex dump text to and from image bytes, in the exact form the views show and edit.

#include "views/dumplayout.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::dump {

// One line of a dump: the address of its first byte and the 16 bytes, 80 characters.
std::string HexDumpLine(std::uint32_t address, const std::uint8_t* bytes);

// byteCount / 16 freshly blanked lines: "FF" cells and 0xFF character cells, or in NIIET mode
// "00" cells and character cells that hold spaces.
std::string BlankText(std::size_t byteCount, bool niietMode);

// Writes size bytes into the hex and character cells of a laid-out text. Bytes beyond the
// text's lines are not written.
void Render(std::string& text, const std::uint8_t* bytes, std::size_t size);

// Reads the hex cells of size bytes into bytes; the address column, separators and character
// cells are not read. Digits of either case are read; any other character counts as 0.
// Bytes beyond the text's lines are left as they are.
void Parse(std::string_view text, std::uint8_t* bytes, std::size_t size);

// The value of a hex digit of either case, or -1.
inline constexpr int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

inline constexpr char HexDigitUpper(unsigned nibble) { return "0123456789ABCDEF"[nibble & 0xF]; }

}  // namespace velmora::dump
