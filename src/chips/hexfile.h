#pragma once
// Intel HEX text to and from a memory image, with no file, log or window involved: the file
// commands wrap these, and the fuzz target drives the reader directly.

#include "chips/progress.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace velmora {

// Why the reader stopped.
enum class HexStop {
    EndOfText,    // the last line was read and no end record came
    EndRecord,    // type 01
    SegmentStart, // type 03, a start address for the 8086/80186
    LinearStart,  // type 05, a start address for the 80386
    UnknownType,  // types 06 to FF
    BadRecord,    // a line too short for the fields its record needs, or a non-hex digit in one of them
};

struct HexReadResult {
    HexStop stop = HexStop::EndOfText;
    std::size_t line = 0;  // index of the line that stopped reading, from 0 (not for EndOfText)
};

// Reads the records of text into image. Lines end at CR LF, LF or a lone CR. The record mark
// and the checksum are not checked; hex digits may be of either case. Data bytes whose address
// (linear base + segment base + offset + index, never wrapped) is not below memorySize are
// dropped; nothing past the image is ever written. Bytes the text does not cover keep their
// contents, as do bytes stored before a stop. Empty or blank lines are skipped. A line whose
// needed fields are cut short or hold other characters stops reading at that line, before
// any of its bytes is stored (BadRecord): a damaged file is reported, not half guessed.
// progress gets (i + 1) * 100 / lines for every line index i that is a multiple of 1024.
HexReadResult ParseHexText(std::string_view text, std::span<std::uint8_t> image, std::size_t memorySize,
                           const ProgressFn& progress = {});

// Writes memory as data records of 8 bytes (CR LF after each), preceded at every 64 KiB
// boundary by an extended linear address record when linearAddressRecords is set, and ends
// with the end record ":00000001FF" without a line end. A memory that is not a multiple of 8
// bytes ends with a shorter record. progress gets (a + 1) * 100 / size for every address a
// that is a multiple of 1024.
std::string FormatHexText(std::span<const std::uint8_t> memory, bool linearAddressRecords,
                          const ProgressFn& progress = {});

}  // namespace velmora
