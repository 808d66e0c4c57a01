#pragma once
// Intel HEX text to and from a memory image, with no file, log or window involved: the file
// commands wrap these, and the fuzz target drives the reader directly.

#include "chips/imageplacer.h"
#include "chips/progress.h"
#include "chips/textlines.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace velmora {

// The value of the 2 * bytes hex digits (either case) at pos in line; -1 when the line is too
// short or one of them is no hex digit. Shared by the record readers.
std::int64_t HexField(std::string_view line, std::size_t pos, std::size_t bytes);
// Nothing but blanks and tabs: a line the record readers pass over.
bool IsBlank(std::string_view line);
// value & 0xFF as two upper-case hex digits.
void PutByte(std::string& out, unsigned value);

// Why the reader stopped.
enum class HexStop {
    EndOfText,    // the last line was read and no end record came
    EndRecord,    // type 01
    UnknownType,  // types 06 to FF
    BadRecord,    // a line too short for the fields its record needs, a non-hex digit in one of
                  // them, or a line longer than any record (HexLineLimit)
    BadChecksum,  // a record whose checksum is missing or does not sum its bytes to 0
};

struct HexReadResult {
    HexStop stop = HexStop::EndOfText;
    std::size_t line = 0;  // index of the line that stopped reading, from 0 (not for EndOfText)
    std::size_t lines = 0;          // lines examined
    bool checksumMissing = false;   // BadChecksum: the line ends where its checksum should be
    // Data bytes whose address lies beyond the memory, and the file address of the first.
    std::uint64_t droppedBytes = 0;
    std::uint64_t firstDropped = 0;
    FileFuseBytes fuses;          // lock and fuse bytes the file holds (in the toolchain's sections)
    bool eepromSection = false;   // the file holds EEPROM data at the toolchain's 0x810000
};

// The placer's findings (bytes dropped, fuse bytes, EEPROM section) into result, once the
// placer has finished.
void TakePlacement(const ImagePlacer& placer, HexReadResult& result);

// A record holds at most 255 data bytes, 521 characters; a longer line is no record, and the
// stream reader holds no more than this of one line.
inline constexpr std::size_t HexLineLimit = 4096;

// The record reader: one line after the other, or the text in pieces as it comes from a file.
// Data bytes go through an ImagePlacer (the toolchain's address space) into image below
// memorySize (never past the buffer); those beyond are counted; defined, when given, gets 1
// for every byte stored. Every record's checksum is checked before any of it is used
// (BadChecksum).
class HexReader {
public:
    HexReader(std::span<std::uint8_t> image, std::size_t memorySize, PlaceInto into = PlaceInto::Flash,
              std::span<std::uint8_t> defined = {});

    // One line without its line end. False once reading has stopped (end record, a bad or an
    // unknown record); further lines are then not examined.
    bool Line(std::string_view line);
    // The next piece of the text, split into lines at CR LF, LF or a lone CR, also across
    // pieces. False once reading has stopped.
    bool Feed(std::string_view piece);
    // The end of the text: a last line without line end is read.
    HexReadResult Finish();
    bool Stopped() const { return stopped_; }

private:
    ImagePlacer placer_;
    std::uint64_t segmentBase_ = 0;
    std::uint64_t linearBase_ = 0;
    std::size_t lines_ = 0;
    bool stopped_ = false;
    HexReadResult result_;
    LineSplitter splitter_{HexLineLimit};
};

// Reads the records of text into image (a HexReader over the whole text). Lines end at CR LF,
// LF or a lone CR. The record mark is not checked, the checksum is; hex digits may be of
// either case. Data bytes whose address
// (linear base + segment base + offset + index, never wrapped) is not below memorySize are
// dropped; nothing past the image is ever written. Bytes the text does not cover keep their
// contents, as do bytes stored before a stop. Empty or blank lines are skipped. A line whose
// needed fields are cut short or hold other characters stops reading at that line, before
// any of its bytes is stored (BadRecord): a damaged file is reported, not half guessed.
// Start address records (03, 05) carry no data and are skipped.
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
