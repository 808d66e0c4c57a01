#include "fuses/fuselayout.h"

namespace velmora {

namespace {

constexpr FuseLayout Layout(int number, std::initializer_list<FuseGroup> groups)
{
    FuseLayout l{.number = number};
    for (const FuseGroup& g : groups)
        l.groups[l.groupCount++] = g;
    return l;
}

// The lock byte of the AT90S generation and of the chips that keep its form: LB1 and LB2 in
// bits 1 and 2. Every later part has them in bits 0 and 1, with the boot lock bits above.
constexpr FuseGroup OldLock = Group("Lock bits", {"-", "-", "-", "-", "-", "LB2", "LB1", "-"});
constexpr FuseGroup Lock = Group("Lock bits", {"-", "-", "-", "-", "-", "-", "LB2", "LB1"});
constexpr FuseGroup BootLock = Group("Lock bits", {"-", "-", "BLB12", "BLB11", "BLB02", "BLB01", "LB2", "LB1"});

// The low and high bytes shared by the newer parts (ATmega48 onwards, the tiny25/261 series).
constexpr FuseGroup ClockLow = Group("Low Fuses", {"CKDIV8", "CKOUT", "SUT1", "SUT0", "CKSEL3", "CKSEL2", "CKSEL1", "CKSEL0"});
constexpr FuseGroup ResetHigh = Group("High Fuses", {"RSTDISBL", "DWEN", "SPIEN", "WDTON", "EESAVE", "BODLEVEL2", "BODLEVEL1", "BODLEVEL0"});
constexpr FuseGroup JtagHigh = Group("High Fuses", {"OCDEN", "JTAGEN", "SPIEN", "WDTON", "EESAVE", "BOOTSZ1", "BOOTSZ0", "BOOTRST"});
// The ATmega8 generation.
constexpr FuseGroup BodLow = Group("Low Fuses", {"BODLEVEL", "BODEN", "SUT1", "SUT0", "CKSEL3", "CKSEL2", "CKSEL1", "CKSEL0"});
constexpr FuseGroup JtagCkoptHigh = Group("High Fuses", {"OCDEN", "JTAGEN", "SPIEN", "CKOPT", "EESAVE", "BOOTSZ1", "BOOTSZ0", "BOOTRST"});
constexpr FuseGroup SelfProgramExtended = Group("Extended Fuses", {"-", "-", "-", "-", "-", "-", "-", "SELFPRGEN"});

constexpr FuseLayout Layouts[] = {
    Layout(1, {Group("Fuse Bits", {"-", "-", "SPIEN", "-", "-", "-", "-", "RCEN"}), OldLock}),
    Layout(2, {Group("Fuse Bits", {"-", "-", "SPIEN", "-", "-", "-", "-", "FSTRT"}), OldLock}),
    Layout(3, {Group("Fuse Bits", {"-", "-", "SPIEN", "BODLEVEL", "BODEN", "CKSEL2", "CKSEL1", "CKSEL0"}), OldLock}),
    Layout(4, {Group("Fuse Bits", {"BODLEVEL", "BODEN", "SPIEN", "RSTDISBL", "CKSEL3", "CKSEL2", "CKSEL1", "CKSEL0"}), OldLock}),
    // Bits 3 and 2 of the ATtiny15 fuse byte are not used; its clock is selected by CKSEL1..0.
    Layout(5, {Group("Fuse Bits", {"BODLEVEL", "BODEN", "SPIEN", "RSTDISBL", "-", "-", "CKSEL1", "CKSEL0"}), OldLock}),
    Layout(6, {Group("Low Fuses", {"SPIEN", "EESAVE", "WDTON", "CKDIV8", "SUT1", "SUT0", "CKSEL1", "CKSEL0"}),
            Group("High Fuses", {"-", "-", "-", "SELFPRGEN", "DWEN", "BODLEVEL1", "BODLEVEL0", "RSTDISBL"}), Lock}),
    Layout(7, {Group("Low Fuses", {"PLLCK", "CKOPT", "SUT1", "SUT0", "CKSEL3", "CKSEL2", "CKSEL1", "CKSEL0"}),
            Group("High Fuses", {"-", "-", "-", "RSTDISBL", "SPIEN", "EESAVE", "BODLEVEL", "BODEN"}), Lock}),
    Layout(8, {ClockLow, Group("High Fuses", {"DWEN", "EESAVE", "SPIEN", "WDTON", "BODLEVEL2", "BODLEVEL1", "BODLEVEL0", "RSTDISBL"}),
            SelfProgramExtended, Lock}),
    Layout(9, {ClockLow, ResetHigh, SelfProgramExtended, Lock}),
    // The ATmega48PA has no boot loader section: its boot lock bits have no effect.
    Layout(10, {ClockLow, ResetHigh, SelfProgramExtended, BootLock.WithoutTips({2, 3, 4, 5})}),
    Layout(11, {ClockLow, ResetHigh, Group("Extended Fuses", {"-", "-", "-", "-", "-", "BOOTSZ1", "BOOTSZ0", "BOOTRST"}), BootLock}),
    Layout(12, {Group("Fuse Bits", {"-", "-", "SPIEN", "-", "EESAVE", "-", "SUT1", "SUT0"}), OldLock}),
    Layout(13, {Group("Fuses", {"-", "BOOTRST", "SPIEN", "BODLEVEL", "BODEN", "CKSEL2", "CKSEL1", "CKSEL0"}), BootLock}),
    Layout(14, {Group("Low Fuses", {"BODLEVEL", "BODEN", "SPIEN", "-", "CKSEL3", "CKSEL2", "CKSEL1", "CKSEL0"}),
            Group("High Fuses", {"-", "-", "-", "-", "-", "BOOTSZ1", "BOOTSZ0", "BOOTRST"}), BootLock}),
    Layout(15, {Group("Low Fuses", {"BODLEVEL", "BODEN", "-", "-", "CKSEL3", "CKSEL2", "CKSEL1", "CKSEL0"}),
            Group("High Fuses", {"OCDEN", "JTAGEN", "SPIEN", "-", "EESAVE", "BOOTSZ1", "BOOTSZ0", "BOOTRST"}), BootLock}),
    Layout(16, {BodLow, Group("High Fuses", {"RSTDISBL", "WDTON", "SPIEN", "CKOPT", "EESAVE", "BOOTSZ1", "BOOTSZ0", "BOOTRST"}),
            BootLock}),
    Layout(17, {BodLow, JtagCkoptHigh, BootLock}),
    Layout(18, {BodLow, Group("High Fuses", {"S8515C", "WDTON", "SPIEN", "CKOPT", "EESAVE", "BOOTSZ1", "BOOTSZ0", "BOOTRST"}),
            BootLock}),
    Layout(19, {BodLow, Group("High Fuses", {"S8535C", "WDTON", "SPIEN", "CKOPT", "EESAVE", "BOOTSZ1", "BOOTSZ0", "BOOTRST"}),
            BootLock}),
    Layout(20, {BodLow, JtagCkoptHigh, Group("Extended Fuses", {"-", "-", "-", "-", "-", "-", "M103C", "WDTON"}), BootLock}),
    Layout(21, {ClockLow, JtagHigh, Group("Extended Fuses", {"-", "-", "-", "M161C", "BODLEVEL2", "BODLEVEL1", "BODLEVEL0", "-"}),
            BootLock}),
    // Bit 0 of the ATmega169 extended byte is reserved: shown as read, never changed.
    Layout(22, {ClockLow, JtagHigh,
            Group("Extended Fuses", {"-", "-", "-", "-", "BODLEVEL2", "BODLEVEL1", "BODLEVEL0", "RESERVED"}).Disabled(0),
            BootLock}),
    Layout(23, {ClockLow, JtagHigh, Group("Extended Fuses", {"-", "-", "-", "-", "-", "BODLEVEL2", "BODLEVEL1", "BODLEVEL0"}),
            BootLock}),
    Layout(24, {ClockLow, JtagHigh, Group("Extended Fuses", {"-", "-", "-", "-", "BODLEVEL2", "BODLEVEL1", "BODLEVEL0", "TA0SEL"}),
            BootLock}),
};

// What the table promises to the dialog, checked where it is written.
constexpr bool WellFormed()
{
    int number = 0;
    for (const FuseLayout& l : Layouts) {
        if (l.number != ++number || l.groupCount < 2 || l.groupCount > FuseGroupCount)
            return false;
        for (int g = 0; g < l.groupCount; ++g)
            if (l.groups[std::size_t(g)].caption.empty() || l.groups[std::size_t(g)].ShownMask() == 0)
                return false;
        const FuseGroup& lock = l.groups[l.LockSlot()];
        if (lock.caption != "Lock bits")
            return false;
        // LB1 sits right below LB2, in bit 0 or (the AT90S form) bit 1.
        const bool low = "LB1" == lock.bits[0].name && "LB2" == lock.bits[1].name;
        const bool old = "LB1" == lock.bits[1].name && "LB2" == lock.bits[2].name && !lock.bits[0].Shown();
        if (low == old)
            return false;
    }
    return true;
}
static_assert(WellFormed(), "layouts numbered in order, 2 to 4 named groups ending with the lock byte");

// Every catalogue row names a layout that exists, with as many shown groups as the row has lock
// and fuse slots, so the lock byte's slot is the same to the row, the units and the dialog.
constexpr bool RowsFitTheirLayouts()
{
    for (const ChipEntry& e : ChipCatalogue()) {
        if (e.fuseLayout < 1 || e.fuseLayout > std::size(Layouts))
            return false;
        const FuseLayout& l = Layouts[e.fuseLayout - 1];
        if (l.groupCount != e.factoryCount || l.LockSlot() != e.LockSlot())
            return false;
    }
    return true;
}
static_assert(RowsFitTheirLayouts(), "each row's fuseLayout is a layout with the row's lock and fuse slots");

// Every layout serves a chip.
constexpr bool EveryLayoutUsed()
{
    for (const FuseLayout& l : Layouts) {
        bool used = false;
        for (const ChipEntry& e : ChipCatalogue())
            used = used || e.fuseLayout == l.number;
        if (!used)
            return false;
    }
    return true;
}
static_assert(EveryLayoutUsed());

// Only a reserved bit is shown disabled.
constexpr bool DisabledOnlyReserved()
{
    for (const FuseLayout& l : Layouts)
        for (const FuseGroup& g : l.groups)
            for (const FuseBit& b : g.bits)
                if (b.disabled != ("RESERVED" == b.name))
                    return false;
    return true;
}
static_assert(DisabledOnlyReserved());

struct BitNote {
    std::string_view name;
    std::string_view tip;
    BitHazard hazard{};
};

constexpr BitHazard Programmed(std::string_view consequence) { return {BitRisk::WhenProgrammed, consequence}; }

// One line per bit name, from the datasheets; a name that means different things on different
// parts gets the sense they share or no line at all.
constexpr BitNote Notes[] = {
    {"SPIEN", "Programmed: serial programming in the circuit is enabled. Unprogrammed: only high-voltage programming reaches the chip",
     {BitRisk::WhenUnprogrammed, "no more serial programming in the circuit; only a high-voltage programmer can reach the chip"}},
    {"RSTDISBL", "Programmed: the reset pin is an I/O pin; high-voltage programming is needed to reprogram the chip",
     Programmed("the reset pin stops being a reset: serial programming stops, only a high-voltage programmer can reach the chip")},
    {"DWEN", "Programmed: debugWIRE is enabled on the reset pin; serial programming no longer works",
     Programmed("the reset pin becomes the debugWIRE line: serial programming stops")},
    {"LB1", "Programmed: further programming of the flash and EEPROM is disabled until a chip erase",
     Programmed("the flash and EEPROM cannot be programmed any more until a chip erase")},
    {"LB2", "Programmed together with LB1: the flash and EEPROM cannot be read back either, until a chip erase",
     Programmed("the memories become unreadable until a chip erase")},
    {"BLB01", "Programmed: SPM may not write to the application section",
     Programmed("the program's access to its application section is restricted until a chip erase")},
    {"BLB02", "Programmed: LPM in the boot loader section may not read the application section",
     Programmed("the program's access to its application section is restricted until a chip erase")},
    {"BLB11", "Programmed: SPM may not write to the boot loader section",
     Programmed("the program's access to its boot loader section is restricted until a chip erase")},
    {"BLB12", "Programmed: LPM in the application section may not read the boot loader section",
     Programmed("the program's access to its boot loader section is restricted until a chip erase")},
    {"EESAVE", "Programmed: the EEPROM keeps its contents through a chip erase"},
    {"WDTON", "Programmed: the watchdog timer is always on"},
    {"CKDIV8", "Programmed: the system clock is divided by 8 after reset"},
    {"CKOUT", "Programmed: the system clock is output on the CLKO pin"},
    {"CKOPT", "Oscillator option; its effect depends on the clock source chosen with CKSEL"},
    {"CKSEL0", "Clock source select, with the other CKSEL bits"},
    {"CKSEL1", "Clock source select, with the other CKSEL bits"},
    {"CKSEL2", "Clock source select, with the other CKSEL bits"},
    {"CKSEL3", "Clock source select, with the other CKSEL bits"},
    {"SUT0", "Start-up time select, with SUT1 (and the clock source)"},
    {"SUT1", "Start-up time select, with SUT0 (and the clock source)"},
    {"BODEN", "Programmed: brown-out detection is enabled"},
    {"BODLEVEL", "Brown-out detection level; programmed selects the higher voltage"},
    {"BODLEVEL0", "Brown-out detection level, with the other BODLEVEL bits; all unprogrammed: detection off"},
    {"BODLEVEL1", "Brown-out detection level, with the other BODLEVEL bits; all unprogrammed: detection off"},
    {"BODLEVEL2", "Brown-out detection level, with the other BODLEVEL bits; all unprogrammed: detection off"},
    {"BOOTRST", "Programmed: the reset vector is the start of the boot loader section"},
    {"BOOTSZ0", "Boot loader section size, with BOOTSZ1"},
    {"BOOTSZ1", "Boot loader section size, with BOOTSZ0"},
    {"OCDEN", "Programmed: on-chip debugging is enabled (needs JTAGEN programmed too)"},
    {"JTAGEN", "Programmed: the JTAG interface is enabled; its pins are not free for I/O"},
    {"SELFPRGEN", "Programmed: the program may write its own flash (SPM)"},
    {"M103C", "Programmed: ATmega103 compatibility mode"},
    {"M161C", "Programmed: ATmega161 compatibility mode"},
    {"S8515C", "Programmed: AT90S8515 compatibility mode"},
    {"S8535C", "Programmed: AT90S8535 compatibility mode"},
    {"FSTRT", "Programmed: short start-up time"},
    {"RCEN", "Programmed: the internal RC oscillator clocks the chip"},
    {"PLLCK", "Programmed: the PLL clocks the chip"},
};

constexpr const BitNote* NoteOf(std::string_view name)
{
    for (const BitNote& n : Notes)
        if (n.name == name)
            return &n;
    return nullptr;
}

// Every lock bit warns before it is programmed.
constexpr bool LockBitsWarn()
{
    for (const FuseLayout& l : Layouts)
        for (const FuseBit& b : l.groups[l.LockSlot()].bits)
            if (b.Shown() && (!NoteOf(b.name) || NoteOf(b.name)->hazard.risk != BitRisk::WhenProgrammed))
                return false;
    return true;
}
static_assert(LockBitsWarn());

}  // namespace

std::span<const FuseLayout> FuseLayouts()
{
    return Layouts;
}

const FuseLayout* LayoutOf(const ChipEntry* entry)
{
    // The row's number is checked against the table at compile time (RowsFitTheirLayouts).
    return entry ? &Layouts[entry->fuseLayout - 1] : nullptr;
}

const ChipEntry& FirstChipOf(const FuseLayout& layout)
{
    for (const ChipEntry& e : ChipCatalogue())
        if (e.fuseLayout == layout.number)
            return e;
    // Not reached: EveryLayoutUsed() holds for every layout of the table.
    return ChipCatalogue().front();
}

std::string_view TipOf(const FuseBit& bit)
{
    const BitNote* note = bit.tipless ? nullptr : NoteOf(bit.name);
    return note ? note->tip : std::string_view{};
}

BitHazard HazardOf(const FuseLayout& layout, int group, int bit)
{
    if (group < 0 || group >= layout.groupCount || bit < 0 || bit >= FuseBitsPerGroup)
        return {};
    const FuseBit& b = layout.groups[std::size_t(group)].bits[std::size_t(bit)];
    if (!b.Shown() || b.disabled)
        return {};
    const BitNote* note = NoteOf(b.name);
    return note ? note->hazard : BitHazard{};
}

}  // namespace velmora
