#pragma once
// Motorola S-record text to and from a memory image, held to the rules of the Intel HEX reader:
// records are checked whole before any byte of them is used, a damaged line stops reading at
// that line, nothing is stored past the memory, and the toolchain's address space decides
// which bytes belong to the memory loaded.

#include "chips/hexfile.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace velmora {

// S0 (header, passed over), S1/S2/S3 (data with 16-, 24- and 32-bit addresses), S5/S6 (the
// count of data records so far, checked), S7/S8/S9 (end). Every record's checksum (the ones'
// complement of the sum of its count, address and data bytes) is checked (BadChecksum); S4 is
// no record type (UnknownType); a count that does not fit its record, a record without its
// "S" and type digit, or one with characters other than hex digits is a BadRecord. Lines after
// the end record are not examined; blank lines are passed over. A text whose last record is a
// matching count record ends as well as one with an end record: srec_cat writes no end record
// unless it is given a start address.
class SrecReader {
public:
    // defined, when given, gets 1 for every byte stored (as for the HexReader).
    SrecReader(std::span<std::uint8_t> image, std::size_t memorySize, PlaceInto into = PlaceInto::Flash,
               std::span<std::uint8_t> defined = {});

    bool Line(std::string_view line);
    bool Feed(std::string_view piece);
    HexReadResult Finish();
    bool Stopped() const { return stopped_; }

private:
    bool Stop(HexStop why);

    ImagePlacer placer_;
    std::size_t lines_ = 0;
    std::uint64_t dataRecords_ = 0;
    bool countLast_ = false;  // the last record so far was a matching count record
    std::size_t countLine_ = 0;
    bool stopped_ = false;
    HexReadResult result_;
    LineSplitter splitter_{HexLineLimit};
};

// The whole text through an SrecReader.
HexReadResult ParseSrecText(std::string_view text, std::span<std::uint8_t> image, std::size_t memorySize,
                            PlaceInto into = PlaceInto::Flash);

// Writes memory from address 0 as data records of 16 bytes with the shortest address form
// that reaches its end (S1 up to 64 KiB, S2 up to 16 MiB, else S3), after an empty S0 header,
// followed by the count record and the matching end record; CR LF after each record.
// progress gets (a + 1) * 100 / size for every address a that is a multiple of 1024.
std::string FormatSrecText(std::span<const std::uint8_t> memory, const ProgressFn& progress = {});

}  // namespace velmora
