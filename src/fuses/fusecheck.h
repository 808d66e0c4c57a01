#pragma once
// The checks around a lock and fuse write: which bits of the values about to be written are
// hard to take back (the user is asked first), whether the values ever came from this chip,
// and whether the chip holds afterwards what was written. Also the bytes in words, for the
// command line.

#include "fuses/fuseboxes.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

using FuseBytes = std::array<std::uint8_t, 8>;

struct RiskyBit {
    int group = 0;
    int bit = 0;
    std::string_view name;
    BitHazard hazard;
};

// The bits of toWrite in their risky state (a lock bit, RSTDISBL or DWEN programmed, SPIEN
// unprogrammed), leaving out those the chip is known to hold in that state already (onChip:
// the bytes last read from it; nullopt when unknown).
std::vector<RiskyBit> RiskyBits(const FuseLayout& layout, ConstFuseSlots toWrite, const std::optional<FuseBytes>& onChip);

// The one question asked before a write, or an empty string when the write needs none: the
// risky bits with what follows, and a note when the values were never read from this chip.
// clockRisks: lines naming the clock choices the chip cannot run on by itself (RiskyChoiceLines).
QString WriteQuestion(const FuseLayout& layout, ConstFuseSlots toWrite, const std::optional<FuseBytes>& onChip,
                      const std::vector<std::string>& clockRisks = {});

// The same question split by who may answer it (ops/approval.h): routine, the note that the
// values were never read from this chip; lockout, the risky bits and clock choices. Each empty
// when not needed.
struct FuseWriteQuestions {
    QString routine;
    QString lockout;
};
FuseWriteQuestions WriteQuestions(const FuseLayout& layout, ConstFuseSlots toWrite, const std::optional<FuseBytes>& onChip,
                                  const std::vector<std::string>& clockRisks = {});

struct ByteDifference {
    int slot = 0;
    std::string_view caption;
    std::uint8_t written = 0;
    std::uint8_t read = 0;
};
// The shown groups whose shown bits differ between what was written and what was read back.
std::vector<ByteDifference> ShownDifferences(const FuseLayout& layout, ConstFuseSlots written, ConstFuseSlots read);
// "High Fuses written D9, the chip holds 99"
QString DifferenceText(const ByteDifference& d);

// The names of the shown bits that are programmed (0) in value, from bit 7 down, separated by
// blanks; "none" when there are none.
QString ProgrammedNames(const FuseGroup& group, std::uint8_t value);

}  // namespace velmora
