#pragma once
// The lock and fuse bit layouts: for each chip, which FuseDefaults slots the Lock & Fuses
// dialog shows as groups of check boxes, what the groups are called and what each bit is
// called. A bit without a name has no box. The table is the whole vocabulary of the dialog;
// the dialog, the command line and the write warnings are all generated from it.
//
// Group g shows slot g: slot 0 is the fuse byte (or the low fuse byte), then the high and the
// extended fuse byte where the chip has them; the last shown group is always the lock byte.

#include "chips/catalogue.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

namespace velmora {

inline constexpr int FuseGroupCount = 4;    // GroupBox1 .. GroupBox4
inline constexpr int FuseBitsPerGroup = 8;  // bit 0 at the bottom, bit 7 at the top
inline constexpr int FuseBoxCount = FuseGroupCount * FuseBitsPerGroup;  // CheckBox1 .. CheckBox32

struct FuseBit {
    std::string_view name;  // empty: the bit has no box
    bool disabled = false;  // shown, but the user cannot change it
    bool tipless = false;   // the name's tooltip does not apply (the bit means nothing on this chip)

    constexpr bool Shown() const { return !name.empty(); }
};

struct FuseGroup {
    std::string_view caption;
    std::array<FuseBit, FuseBitsPerGroup> bits{};  // by bit number

    // The bits with a box.
    constexpr std::uint8_t ShownMask() const
    {
        unsigned mask = 0;
        for (int b = 0; b < FuseBitsPerGroup; ++b)
            if (bits[std::size_t(b)].Shown())
                mask |= 1u << b;
        return std::uint8_t(mask);
    }
    constexpr FuseGroup Disabled(int bit) const
    {
        FuseGroup g = *this;
        g.bits[std::size_t(bit)].disabled = true;
        return g;
    }
    constexpr FuseGroup WithoutTips(std::initializer_list<int> bitNumbers) const
    {
        FuseGroup g = *this;
        for (int b : bitNumbers)
            g.bits[std::size_t(b)].tipless = true;
        return g;
    }
};

// A group as the datasheets draw the register: names from bit 7 down to bit 0, "-" for a bit
// without a box.
constexpr FuseGroup Group(std::string_view caption, std::array<std::string_view, FuseBitsPerGroup> bit7to0)
{
    FuseGroup g{.caption = caption};
    for (int i = 0; i < FuseBitsPerGroup; ++i) {
        const std::string_view name = bit7to0[std::size_t(i)];
        g.bits[std::size_t(FuseBitsPerGroup - 1 - i)].name = "-" == name ? std::string_view{} : name;
    }
    return g;
}

struct FuseLayout {
    int number = 0;                           // ChipEntry::fuseLayout of the chips that use it
    std::uint8_t groupCount = 0;              // 2, 3 or 4 shown groups: slots 0 .. groupCount-1
    std::array<FuseGroup, FuseGroupCount> groups{};

    // The slot of the lock byte: the last shown group.
    // The slot of the lock byte: the last shown group (checked at compile time to be the
    // ChipEntry::LockSlot() of every chip that uses the layout).
    constexpr std::uint8_t LockSlot() const { return std::uint8_t(groupCount - 1); }
};

// Every layout, in order.
std::span<const FuseLayout> FuseLayouts();

// The layout of a catalogue row (its fuseLayout); null for no row.
const FuseLayout* LayoutOf(const ChipEntry* entry);
// The first catalogue row, in menu order, that uses layout: an example chip of it.
const ChipEntry& FirstChipOf(const FuseLayout& layout);

// What programming a bit does: one line from the chip makers' datasheets; empty when unsure
// or where the layout says the name means nothing on the chip.
std::string_view TipOf(const FuseBit& bit);

// Bits whose change the user is asked about before a write.
enum class BitRisk : std::uint8_t {
    None,
    WhenProgrammed,    // writing 0 is the risk (lock bits, RSTDISBL, DWEN)
    WhenUnprogrammed,  // writing 1 is the risk (SPIEN)
};
struct BitHazard {
    BitRisk risk = BitRisk::None;
    std::string_view consequence;  // what follows, as one clause
};
// The hazard of bit b of group g in layout; every lock bit counts as one.
BitHazard HazardOf(const FuseLayout& layout, int group, int bit);

}  // namespace velmora
