#pragma once
// In-place editing of a hex dump text and of the ID bytes field, in overwrite mode. Each
// function takes the text, the caret and one key, rewrites single cells of the text and
// returns the new caret. No other state exists, so the widgets stay thin.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::dump {

struct KeyStroke {
    enum Kind { Character, Backspace, Delete };
    Kind kind = Character;
    // For Character: the byte the key gives (the Windows-1252 code of the character it
    // produces, in the case typed; 0x00 to 0x1E for keys that produce none). A hex digit key
    // is one whose code is one of "0123456789abcdefABCDEF".
    std::uint8_t code = 0;

    static KeyStroke Char(std::uint8_t c) { return {Character, c}; }
    static KeyStroke Back() { return {Backspace, 0}; }
    static KeyStroke Del() { return {Delete, 0}; }
};

// One key on a dump view. text must be empty or a laid-out dump; the caret is a position
// (82 per line) at a column 0 to 80. An empty text never changes.
std::size_t DumpKeyDown(std::string& text, std::size_t caret, const KeyStroke& key);

// Text pasted at the caret, written by the typing rules: in the hex region (or the address)
// hex text goes in digit by digit, separators and the gap skipped; anywhere else, or when the
// text is not hex, its bytes go into the character cells from the caret's byte on. The paste
// stops at the end of the dump instead of wrapping to its start.
struct PasteResult {
    std::size_t caret = 0;      // after the last unit written
    std::size_t written = 0;    // bytes (character cells) or hex digits written
    std::size_t left = 0;       // units that did not fit before the end of the dump
    bool hex = false;           // the text went in as hex digits
};
PasteResult DumpPaste(std::string& text, std::size_t caret, std::string_view pasted);

// The hex digits of text that holds nothing else but blanks, commas and "0x" prefixes
// ("15 CA", "0x15,0xCA", "15ca"); nothing for any other text or one without digits.
std::optional<std::string> HexDigitsOf(std::string_view text);

// An address as the dump shows them, hex ("1F0", "0x1F0", "$1F0", "1F0h"); nothing when the
// text is no such number.
std::optional<std::uint32_t> ParseAddress(std::string_view text);
// The caret position of the high digit of the byte at address; nothing past the dump's end.
std::optional<std::size_t> CaretOfAddress(std::size_t textLength, std::uint32_t address);

// One key on the eight-character ID bytes field "XX XX XX"; caret 0 to 8.
int IdBytesKeyDown(std::string& text, int caret, const KeyStroke& key);

// Caret moves of the navigation keys on a dump of text length textLength.
enum class CaretMove { Left, Right, Up, Down, PageUp, PageDown, DocumentStart, DocumentEnd };
std::size_t MoveCaret(std::size_t textLength, std::size_t caret, CaretMove move, int pageLines);

// The byte a caret position stands on, for selecting and copying: the byte of its hex or
// character cell; in the address the line's first byte, in the gap and at the end its last.
std::size_t ByteAtPosition(std::size_t position);

// The bytes first to last (in either order, clamped to the text) as their hex digits, upper
// case, separated by single spaces: "15 CA". Empty for an empty text.
std::string HexOfBytes(const std::string& text, std::size_t first, std::size_t last);

// The caret position nearest to line, column (clamped to the text).
std::size_t CaretAt(std::size_t textLength, std::int64_t line, std::int64_t column);

}  // namespace velmora::dump
