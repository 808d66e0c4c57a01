#pragma once
// Lock and fuse bits as people set them: named fields (the clock source with its start-up
// time, the boot section size, the brown-out level, the lock modes, and every single bit that
// means something on its own), each value with its meaning in the chip makers' words.
//
// The data lives beside the layouts (one entry per layout number) and is completed per chip
// where the meaning depends on it: a boot section size follows from the flash size, and a
// layout shared by chips of different families gives each family its own clock table. A
// field whose datasheet details were not at hand is left out rather than guessed; its bits
// stay editable one by one.

#include "chips/catalogue.h"
#include "fuses/fuseboxes.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

enum class ChoiceKind : std::uint8_t {
    Normal,
    Reserved,  // a combination the datasheet reserves or leaves undefined; never written by name
    Risky,     // the chip no longer runs on its own: it needs an external clock, crystal or resonator
};

struct FieldChoice {
    std::uint8_t code = 0;  // the field's bits as stored (1 = unprogrammed), first bit highest
    std::string key;        // the value's name on the command line, unique within the field
    std::string meaning;    // in words, as the datasheet gives it
    ChoiceKind kind = ChoiceKind::Normal;
};

struct FieldBitRef {
    std::uint8_t slot = 0;  // FuseDefaults slot, as the layout's groups
    std::uint8_t bit = 0;
};

struct FuseField {
    std::string name;                 // "CKSEL_SUT", "BOOTSZ", "LB", or the single bit's own name
    std::vector<FieldBitRef> bits;    // most significant first
    std::vector<FieldChoice> choices; // one per code, in code order: choices[c].code == c

    bool Single() const { return bits.size() == 1; }
    std::uint8_t Decode(ConstFuseSlots bytes) const;
    const FieldChoice& Current(ConstFuseSlots bytes) const { return choices[Decode(bytes)]; }
    // Sets the field's bits to code and leaves every other bit alone.
    void Encode(std::uint8_t code, FuseSlots bytes) const;
    // The choice named key (case-insensitive), or null.
    const FieldChoice* Find(std::string_view key) const;
};

// The fields of the chip's lock and fuse bytes, in the order of the dialog's groups and bits
// (a field stands where its highest bit stands). Empty for a chip without layout.
std::span<const FuseField> FieldsOf(const ChipEntry& chip);

// Whether some chip has a field named name (case-insensitive): a name worth checking against
// the chip, as opposed to a typing error.
bool AnyChipHasField(std::string_view name);

// The field named name (case-insensitive) among fields, or null.
const FuseField* FindField(std::span<const FuseField> fields, std::string_view name);

// The field that bit `bit` of slot `slot` belongs to, or null.
const FuseField* FieldOfBit(std::span<const FuseField> fields, int slot, int bit);

// "NAME=value" parsed against fields: the field and the choice, or an error text for the user.
struct FieldAssignment {
    const FuseField* field = nullptr;
    const FieldChoice* choice = nullptr;
    std::string error;
};
FieldAssignment ParseFieldAssignment(std::span<const FuseField> fields, std::string_view text);

// One line per field for bytes: "CKSEL_SUT=int-rc-1mhz-64ms  Int. RC Osc. 1 MHz; start-up 6 CK + 64 ms".
std::vector<std::string> FieldLines(std::span<const FuseField> fields, ConstFuseSlots bytes);

// Every field of chip with every value, its bits and the factory value marked, then the named
// bits without a field: what `velmora-cli fuses CHIP` prints.
std::vector<std::string> FieldListing(const ChipEntry& chip);

// The fields whose value in toWrite is risky (the chip then needs a clock from the board),
// leaving out those the chip is known to hold already (onChip: the bytes last read from it).
struct RiskyChoice {
    const FuseField* field = nullptr;
    const FieldChoice* choice = nullptr;
};
std::vector<RiskyChoice> RiskyChoices(std::span<const FuseField> fields, ConstFuseSlots toWrite,
                                      std::optional<ConstFuseSlots> onChip);

// "CKSEL_SUT=crystal-3-8mhz-16kck-64ms: Ext. Crystal Osc. ...; the chip runs only with this
// clock source on the board", one line per risky choice; empty when there is none.
std::vector<std::string> RiskyChoiceLines(const std::vector<RiskyChoice>& risky);

}  // namespace velmora
