#include "fuses/fusefields.h"

#include "fuses/fuselayout.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <functional>

namespace velmora {

namespace {

// ---- Clock source and start-up time (CKSEL with SUT) ----------------------------------------

// One start-up choice; an empty text is a combination the datasheet reserves.
struct StartUp {
    std::string_view key;
    std::string_view text;
};

struct Source {
    std::string_view key;   // empty: a reserved CKSEL code
    std::string_view text;
    bool external = false;  // needs a clock, crystal or resonator on the board
    std::span<const StartUp> startUps{};  // by SUT, or by CKSEL0 and SUT when byCksel0
    bool byCksel0 = false;
};

struct ClockTable {
    int ckselBits = 4;
    std::array<Source, 16> sources{};  // by CKSEL
};

// The ATmega8 generation (also ATmega16/32/64/128/8515/8535, ATtiny26): start-up from reset
// after a number of clocks plus the watchdog-timed delay.
constexpr StartUp Mega8Clock[] = {{"0ms", "6 CK + 0 ms"}, {"4ms", "6 CK + 4 ms"}, {"64ms", "6 CK + 64 ms"}, {}};
constexpr StartUp Mega8ExtRc[] = {{"18ck-0ms", "18 CK + 0 ms"}, {"18ck-4ms", "18 CK + 4 ms"},
                                  {"18ck-64ms", "18 CK + 64 ms"}, {"6ck-4ms", "6 CK + 4 ms"}};
constexpr StartUp Mega8LowFreq[] = {{"1kck-4ms", "1K CK + 4 ms"}, {"1kck-64ms", "1K CK + 64 ms"}, {"32kck-64ms", "32K CK + 64 ms"}, {}};
// CKSEL0 with SUT1..0: ceramic resonator start-ups first, then crystal ones.
constexpr StartUp Mega8Crystal[] = {{"258ck-4ms", "258 CK + 4 ms"},  {"258ck-64ms", "258 CK + 64 ms"},
                                    {"1kck-0ms", "1K CK + 0 ms"},    {"1kck-4ms", "1K CK + 4 ms"},
                                    {"1kck-64ms", "1K CK + 64 ms"},  {"16kck-0ms", "16K CK + 0 ms"},
                                    {"16kck-4ms", "16K CK + 4 ms"},  {"16kck-64ms", "16K CK + 64 ms"}};

constexpr Source Internal(std::string_view key, std::string_view text, std::span<const StartUp> s) { return {key, text, false, s}; }
constexpr Source External(std::string_view key, std::string_view text, std::span<const StartUp> s, bool byCksel0 = false)
{
    return {key, text, true, s, byCksel0};
}

constexpr ClockTable Mega8Clocks{4, {
    External("ext-clock", "Ext. Clock", Mega8Clock),
    Internal("int-rc-1mhz", "Int. RC Osc. 1 MHz", Mega8Clock),
    Internal("int-rc-2mhz", "Int. RC Osc. 2 MHz", Mega8Clock),
    Internal("int-rc-4mhz", "Int. RC Osc. 4 MHz", Mega8Clock),
    Internal("int-rc-8mhz", "Int. RC Osc. 8 MHz", Mega8Clock),
    External("ext-rc-0.9mhz", "Ext. RC Osc. up to 0.9 MHz", Mega8ExtRc),
    External("ext-rc-0.9-3mhz", "Ext. RC Osc. 0.9-3.0 MHz", Mega8ExtRc),
    External("ext-rc-3-8mhz", "Ext. RC Osc. 3.0-8.0 MHz", Mega8ExtRc),
    External("ext-rc-8-12mhz", "Ext. RC Osc. 8.0-12.0 MHz", Mega8ExtRc),
    External("ext-lowfreq-crystal", "Ext. Low-Freq. Crystal", Mega8LowFreq),
    External("crystal-0.4-0.9mhz", "Ext. Crystal/Resonator 0.4-0.9 MHz (CKOPT programmed: 1.0 MHz and up)", Mega8Crystal, true),
    External("crystal-0.4-0.9mhz", "Ext. Crystal/Resonator 0.4-0.9 MHz (CKOPT programmed: 1.0 MHz and up)", Mega8Crystal, true),
    External("crystal-0.9-3mhz", "Ext. Crystal/Resonator 0.9-3.0 MHz (CKOPT programmed: 1.0 MHz and up)", Mega8Crystal, true),
    External("crystal-0.9-3mhz", "Ext. Crystal/Resonator 0.9-3.0 MHz (CKOPT programmed: 1.0 MHz and up)", Mega8Crystal, true),
    External("crystal-3-8mhz", "Ext. Crystal/Resonator 3.0-8.0 MHz (CKOPT programmed: 1.0 MHz and up)", Mega8Crystal, true),
    External("crystal-3-8mhz", "Ext. Crystal/Resonator 3.0-8.0 MHz (CKOPT programmed: 1.0 MHz and up)", Mega8Crystal, true),
}};

// The ATmega48 generation (also ATmega164/324/644, ATmega640..2561): from power-down / from reset.
constexpr StartUp Mega48Clock[] = {{"0ms", "6 CK/14 CK + 0 ms"}, {"4ms", "6 CK/14 CK + 4.1 ms"}, {"64ms", "6 CK/14 CK + 65 ms"}, {}};
constexpr StartUp Mega48LowFreq[] = {{"1kck-0ms", "1K CK/14 CK + 0 ms"},   {"1kck-4ms", "1K CK/14 CK + 4.1 ms"},
                                     {"1kck-64ms", "1K CK/14 CK + 65 ms"}, {},
                                     {"32kck-0ms", "32K CK/14 CK + 0 ms"}, {"32kck-4ms", "32K CK/14 CK + 4.1 ms"},
                                     {"32kck-64ms", "32K CK/14 CK + 65 ms"}, {}};
constexpr StartUp Mega48Crystal[] = {{"258ck-4ms", "258 CK/14 CK + 4.1 ms"}, {"258ck-64ms", "258 CK/14 CK + 65 ms"},
                                     {"1kck-0ms", "1K CK/14 CK + 0 ms"},     {"1kck-4ms", "1K CK/14 CK + 4.1 ms"},
                                     {"1kck-64ms", "1K CK/14 CK + 65 ms"},   {"16kck-0ms", "16K CK/14 CK + 0 ms"},
                                     {"16kck-4ms", "16K CK/14 CK + 4.1 ms"}, {"16kck-64ms", "16K CK/14 CK + 65 ms"}};

// CKSEL 1000..1111: crystal or ceramic resonator, the range in CKSEL3..1, the start-up in
// CKSEL0 with SUT.
constexpr ClockTable WithCrystals(std::array<Source, 8> low, std::string_view topKey, std::string_view topText)
{
    ClockTable t{4, {}};
    const Source ranges[] = {External("crystal-0.4-0.9mhz", "Ext. Crystal Osc. 0.4-0.9 MHz", Mega48Crystal, true),
                             External("crystal-0.9-3mhz", "Ext. Crystal Osc. 0.9-3.0 MHz", Mega48Crystal, true),
                             External("crystal-3-8mhz", "Ext. Crystal Osc. 3.0-8.0 MHz", Mega48Crystal, true),
                             External(topKey, topText, Mega48Crystal, true)};
    for (std::size_t i = 0; i < 8; ++i) {
        t.sources[i] = low[i];
        t.sources[8 + i] = ranges[i / 2];
    }
    return t;
}

constexpr ClockTable Mega48Clocks = WithCrystals({
    External("ext-clock", "Ext. Clock", Mega48Clock),
    Source{},
    Internal("int-rc-8mhz", "Int. RC Osc. 8 MHz", Mega48Clock),
    Internal("int-rc-128khz", "Int. RC Osc. 128 kHz", Mega48Clock),
    External("ext-lowfreq-crystal", "Ext. Low-Freq. Crystal", Mega48LowFreq, true),
    External("ext-lowfreq-crystal", "Ext. Low-Freq. Crystal", Mega48LowFreq, true),
    External("full-swing-crystal", "Ext. Full-swing Crystal", Mega48Crystal, true),
    External("full-swing-crystal", "Ext. Full-swing Crystal", Mega48Crystal, true),
}, "crystal-8-16mhz", "Ext. Crystal Osc. 8.0-16.0 MHz");

// ATtiny25/45/85. The start-up times of the ATtiny15 compatibility mode and of the
// low-frequency crystal were not at hand for every SUT value: those name the SUT bits only.
constexpr StartUp Tiny25Clock[] = {{"0ms", "6 CK/14 CK + 0 ms"}, {"4ms", "6 CK/14 CK + 4 ms"}, {"64ms", "6 CK/14 CK + 64 ms"}, {}};
constexpr StartUp Tiny25Pll[] = {{"1kck-4ms", "1K CK/14 CK + 4 ms"}, {"16kck-4ms", "16K CK/14 CK + 4 ms"},
                                 {"1kck-64ms", "1K CK/14 CK + 64 ms"}, {"16kck-64ms", "16K CK/14 CK + 64 ms"}};
constexpr StartUp Tiny25Compat[] = {{"sut00", "time not listed here (SUT=00)"}, {"sut01", "time not listed here (SUT=01)"},
                                    {"4ms", "6 CK/14 CK + 4 ms"}, {"1ck-0ms", "1 CK/14 CK + 0 ms"}};
constexpr StartUp NotListed[] = {{"sut00", "time not listed here (SUT=00)"}, {"sut01", "time not listed here (SUT=01)"},
                                 {"sut10", "time not listed here (SUT=10)"}, {"sut11", "time not listed here (SUT=11)"}};

constexpr ClockTable Tiny25Clocks = WithCrystals({
    External("ext-clock", "Ext. Clock", Tiny25Clock),
    Internal("pll", "PLL Clock", Tiny25Pll),
    Internal("int-rc-8mhz", "Int. RC Osc. 8 MHz", Tiny25Clock),
    Internal("int-rc-6.4mhz", "Int. RC Osc. 6.4 MHz (ATtiny15 compatibility mode)", Tiny25Compat),
    Internal("int-rc-128khz", "Int. RC Osc. 128 kHz", Tiny25Clock),
    Source{},
    External("ext-lowfreq-crystal", "Ext. Low-Freq. Crystal", NotListed),
    Source{},
}, "crystal-8mhz-up", "Ext. Crystal Osc. 8.0 MHz and up");

constexpr StartUp Tiny13Clock[] = {{"0ms", "14 CK + 0 ms"}, {"4ms", "14 CK + 4 ms"}, {"64ms", "14 CK + 64 ms"}, {}};
constexpr ClockTable Tiny13Clocks{2, {
    External("ext-clock", "Ext. Clock", Tiny13Clock),
    Internal("int-rc-4.8mhz", "Int. RC Osc. 4.8 MHz", Tiny13Clock),
    Internal("int-rc-9.6mhz", "Int. RC Osc. 9.6 MHz", Tiny13Clock),
    Internal("int-rc-128khz", "Int. RC Osc. 128 kHz", Tiny13Clock),
}};

constexpr StartUp Tiny2313Clock[] = {{"0ms", "14 CK + 0 ms"}, {"4ms", "14 CK + 4.1 ms"}, {"64ms", "14 CK + 65 ms"}, {}};
constexpr ClockTable Tiny2313Clocks = WithCrystals({
    External("ext-clock", "Ext. Clock", Tiny2313Clock),
    Source{},
    Internal("int-rc-4mhz", "Int. RC Osc. 4 MHz", Tiny2313Clock),
    Source{},
    Internal("int-rc-8mhz", "Int. RC Osc. 8 MHz", Tiny2313Clock),
    Source{},
    Internal("int-rc-128khz", "Int. RC Osc. 128 kHz", Tiny2313Clock),
    Source{},
}, "crystal-8mhz-up", "Ext. Crystal Osc. 8.0 MHz and up");

// ---- Brown-out level ------------------------------------------------------------------------

struct Named {
    std::string_view key;   // empty: reserved
    std::string_view text;
};

// By code; the single BODLEVEL bit: unprogrammed is the lower level.
constexpr Named Bod27or40[] = {{"4.0v", "Brown-out detection level at VCC=4.0 V"}, {"2.7v", "Brown-out detection level at VCC=2.7 V"}};
constexpr Named Bod18or27[] = {{"2.7v", "Brown-out detection level at VCC=2.7 V"}, {"1.8v", "Brown-out detection level at VCC=1.8 V"}};
constexpr Named Bod2Bits[] = {{"4.3v", "Brown-out detection at VCC=4.3 V"}, {"2.7v", "Brown-out detection at VCC=2.7 V"},
                              {"1.8v", "Brown-out detection at VCC=1.8 V"}, {"off", "Brown-out detection disabled"}};
constexpr Named Bod3Bits[] = {{}, {}, {}, {},
                              {"4.3v", "Brown-out detection at VCC=4.3 V"}, {"2.7v", "Brown-out detection at VCC=2.7 V"},
                              {"1.8v", "Brown-out detection at VCC=1.8 V"}, {"off", "Brown-out detection disabled"}};
constexpr Named BodCan[] = {{"2.5v", "Brown-out detection at VCC=2.5 V"}, {"2.6v", "Brown-out detection at VCC=2.6 V"},
                            {"2.7v", "Brown-out detection at VCC=2.7 V"}, {"3.8v", "Brown-out detection at VCC=3.8 V"},
                            {"3.9v", "Brown-out detection at VCC=3.9 V"}, {"4.0v", "Brown-out detection at VCC=4.0 V"},
                            {"4.1v", "Brown-out detection at VCC=4.1 V"}, {"off", "Brown-out detection disabled"}};

// ---- Lock modes -------------------------------------------------------------------------------

constexpr Named LockModes[] = {
    {"no-write-no-read", "Further programming and verification of the flash and EEPROM are disabled"},
    {},
    {"no-write", "Further programming of the flash and EEPROM is disabled"},
    {"none", "No memory lock features enabled"},
};
constexpr Named AppLockModes[] = {
    {"no-spm-no-lpm", "SPM may not write to the application section, and LPM executing from the boot loader section may not read from it"},
    {"no-lpm", "LPM executing from the boot loader section may not read from the application section"},
    {"no-spm", "SPM may not write to the application section"},
    {"none", "No restrictions for SPM or LPM accessing the application section"},
};
constexpr Named BootLockModes[] = {
    {"no-spm-no-lpm", "SPM may not write to the boot loader section, and LPM executing from the application section may not read from it"},
    {"no-lpm", "LPM executing from the application section may not read from the boot loader section"},
    {"no-spm", "SPM may not write to the boot loader section"},
    {"none", "No restrictions for SPM or LPM accessing the boot loader section"},
};

// ---- Single bits --------------------------------------------------------------------------

struct BitMeaning {
    std::string_view name;
    std::string_view programmed;
    std::string_view unprogrammed;
    bool riskyUnprogrammed = false;  // unprogrammed, the chip waits for an external clock
};

constexpr BitMeaning BitMeanings[] = {
    {"SPIEN", "Serial programming enabled", "Serial programming disabled: only high-voltage programming reaches the chip"},
    {"EESAVE", "EEPROM preserved through chip erase", "EEPROM erased by chip erase"},
    {"WDTON", "Watchdog timer always on", "Watchdog timer enabled by the program"},
    {"CKDIV8", "Clock divided by 8", "Clock not divided"},
    {"CKOUT", "Clock output on CLKO", "No clock output"},
    {"BOOTRST", "Reset vector at the start of the boot loader section", "Reset vector at address 0"},
    {"RSTDISBL", "External reset disabled: the reset pin is an I/O pin", "External reset enabled"},
    {"DWEN", "debugWIRE enabled on the reset pin", "debugWIRE disabled"},
    {"JTAGEN", "JTAG interface enabled", "JTAG interface disabled"},
    {"OCDEN", "On-chip debugging enabled (with JTAGEN programmed)", "On-chip debugging disabled"},
    {"SELFPRGEN", "Self-programming (SPM) enabled", "Self-programming disabled"},
    {"BODEN", "Brown-out detection enabled", "Brown-out detection disabled"},
    {"CKOPT", "Oscillator option on: rail-to-rail oscillator swing", "Oscillator option off: smaller oscillator swing, lower power"},
    {"M103C", "ATmega103 compatibility mode", "Native mode"},
    {"M161C", "ATmega161 compatibility mode", "Native mode"},
    {"S8515C", "AT90S8515 compatibility mode", "Native mode"},
    {"S8535C", "AT90S8535 compatibility mode", "Native mode"},
    {"FSTRT", "Short start-up time", "Long start-up time"},
    {"PLLCK", "PLL clock selected (with CKSEL=0001)", "PLL clock not selected"},
    {"RCEN", "Internal RC oscillator clocks the chip", "External clock or crystal clocks the chip", true},
};

// ---- Per layout -----------------------------------------------------------------------------

struct ClockFor {
    const ClockTable* table = nullptr;
    bool anyFamily = true;
    FamilyId family{};
};
constexpr ClockFor ForAll(const ClockTable& t) { return {&t}; }
constexpr ClockFor ForFamily(FamilyId f, const ClockTable& t) { return {&t, false, f}; }

// The smallest boot section (BOOTSZ = 11) of a chip with this much flash; each step down
// doubles it.
struct BootFor {
    std::uint32_t flashBytes = 0;
    std::uint16_t smallestWords = 0;
};

struct LayoutSpec {
    int layout = 0;
    std::array<ClockFor, 3> clocks{};
    std::span<const Named> bodlevel{};
    std::array<BootFor, 5> boot{};
};

constexpr std::uint32_t K = 1024;

// What was not at hand is missing on purpose: the clock tables of the AT90S2333/4433,
// ATtiny12, ATtiny15, ATmega103/603, ATmega161, ATmega163, ATmega323, ATtiny261/461/861,
// ATmega162, ATmega169 and AT90CAN parts, the ATmega162 brown-out levels and the AT90CAN boot
// sizes.
constexpr LayoutSpec Specs[] = {
    {.layout = 1},
    {.layout = 2},
    {.layout = 3, .bodlevel = Bod27or40},
    {.layout = 4, .bodlevel = Bod18or27},
    {.layout = 5, .bodlevel = Bod27or40},
    {.layout = 6, .clocks = {ForAll(Tiny13Clocks)}, .bodlevel = Bod2Bits},
    {.layout = 7, .clocks = {ForAll(Mega8Clocks)}, .bodlevel = Bod27or40},
    {.layout = 8, .clocks = {ForAll(Tiny2313Clocks)}, .bodlevel = Bod3Bits},
    {.layout = 9,
     .clocks = {ForFamily(FamilyId::Attiny25, Tiny25Clocks), ForFamily(FamilyId::Atmega48, Mega48Clocks)},
     .bodlevel = Bod3Bits},
    {.layout = 10, .clocks = {ForAll(Mega48Clocks)}, .bodlevel = Bod3Bits},
    {.layout = 11, .clocks = {ForAll(Mega48Clocks)}, .bodlevel = Bod3Bits, .boot = {{{8 * K, 128}, {16 * K, 128}}}},
    {.layout = 12},
    {.layout = 13, .bodlevel = Bod27or40},
    {.layout = 14, .bodlevel = Bod27or40, .boot = {{{16 * K, 128}}}},
    {.layout = 15, .bodlevel = Bod27or40, .boot = {{{32 * K, 256}}}},
    {.layout = 16, .clocks = {ForAll(Mega8Clocks)}, .bodlevel = Bod27or40, .boot = {{{8 * K, 128}}}},
    {.layout = 17, .clocks = {ForAll(Mega8Clocks)}, .bodlevel = Bod27or40, .boot = {{{16 * K, 128}, {32 * K, 256}}}},
    {.layout = 18, .clocks = {ForAll(Mega8Clocks)}, .bodlevel = Bod27or40, .boot = {{{8 * K, 128}}}},
    {.layout = 19, .clocks = {ForAll(Mega8Clocks)}, .bodlevel = Bod27or40, .boot = {{{8 * K, 128}}}},
    {.layout = 20, .clocks = {ForAll(Mega8Clocks)}, .bodlevel = Bod27or40, .boot = {{{64 * K, 512}, {128 * K, 512}}}},
    {.layout = 21, .boot = {{{16 * K, 128}}}},
    {.layout = 22, .bodlevel = Bod3Bits, .boot = {{{16 * K, 128}}}},
    {.layout = 23,
     .clocks = {ForAll(Mega48Clocks)},
     .bodlevel = Bod3Bits,
     .boot = {{{16 * K, 128}, {32 * K, 256}, {64 * K, 512}, {128 * K, 512}, {256 * K, 512}}}},
    {.layout = 24, .bodlevel = BodCan},
};

constexpr bool SpecsInLayoutOrder()
{
    int n = 0;
    for (const LayoutSpec& s : Specs)
        if (s.layout != ++n)
            return false;
    return n == 24;
}
static_assert(SpecsInLayoutOrder(), "one field entry per layout, in layout order");

// ---- Building a chip's fields ------------------------------------------------------------

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Binary(std::uint8_t code, std::size_t width)
{
    std::string s;
    for (std::size_t i = width; i-- > 0;)
        s += (unsigned(code) >> i) & 1u ? '1' : '0';
    return s;
}

// Where the layout shows the bit called name; nullopt when it has no such bit.
std::optional<FieldBitRef> BitNamed(const FuseLayout& layout, std::string_view name)
{
    for (int g = 0; g < layout.groupCount; ++g)
        for (int b = 0; b < FuseBitsPerGroup; ++b)
            if (layout.groups[std::size_t(g)].bits[std::size_t(b)].name == name)
                return FieldBitRef{std::uint8_t(g), std::uint8_t(b)};
    return std::nullopt;
}

// The bits called names, in that order; empty unless the layout shows every one.
std::vector<FieldBitRef> BitsNamed(const FuseLayout& layout, std::initializer_list<std::string_view> names)
{
    std::vector<FieldBitRef> bits;
    for (std::string_view n : names) {
        const std::optional<FieldBitRef> r = BitNamed(layout, n);
        if (!r)
            return {};
        bits.push_back(*r);
    }
    return bits;
}

void AddReserved(FuseField& f, std::uint8_t code, std::string meaning)
{
    f.choices.push_back({code, "reserved-" + Binary(code, f.bits.size()), std::move(meaning), ChoiceKind::Reserved});
}

// A field whose values are a list by code.
FuseField Listed(std::string name, std::vector<FieldBitRef> bits, std::span<const Named> values)
{
    FuseField f{std::move(name), std::move(bits), {}};
    for (std::size_t c = 0; c < values.size(); ++c) {
        const Named& v = values[c];
        if (v.key.empty())
            AddReserved(f, std::uint8_t(c), "Reserved");
        else
            f.choices.push_back({std::uint8_t(c), std::string(v.key), std::string(v.text), ChoiceKind::Normal});
    }
    return f;
}

std::optional<FuseField> ClockField(const FuseLayout& layout, const ClockTable& table)
{
    std::vector<FieldBitRef> bits = BitsNamed(layout, {"SUT1", "SUT0"});
    const std::vector<FieldBitRef> cksel = table.ckselBits == 2 ? BitsNamed(layout, {"CKSEL1", "CKSEL0"})
                                                                : BitsNamed(layout, {"CKSEL3", "CKSEL2", "CKSEL1", "CKSEL0"});
    if (bits.empty() || cksel.empty())
        return std::nullopt;
    bits.insert(bits.end(), cksel.begin(), cksel.end());
    FuseField f{"CKSEL_SUT", std::move(bits), {}};
    const unsigned mask = (1u << table.ckselBits) - 1;
    for (unsigned code = 0; code < (4u << table.ckselBits); ++code) {
        const unsigned sut = code >> table.ckselBits;
        const unsigned ck = code & mask;
        const Source& src = table.sources[ck];
        if (src.key.empty()) {
            AddReserved(f, std::uint8_t(code), "Reserved (CKSEL=" + Binary(std::uint8_t(ck), std::size_t(table.ckselBits)) + ")");
            continue;
        }
        const std::size_t row = src.byCksel0 ? ((ck & 1u) << 2) | sut : sut;
        const StartUp& su = src.startUps[row];
        if (su.text.empty()) {
            AddReserved(f, std::uint8_t(code), "Reserved (" + std::string(src.text) + " with SUT=" + Binary(std::uint8_t(sut), 2) + ")");
            continue;
        }
        f.choices.push_back({std::uint8_t(code), std::string(src.key) + "-" + std::string(su.key),
                             std::string(src.text) + "; start-up " + std::string(su.text),
                             src.external ? ChoiceKind::Risky : ChoiceKind::Normal});
    }
    return f;
}

std::string Hex(std::uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", v);
    return buf;
}

std::optional<FuseField> BootSizeField(const FuseLayout& layout, const LayoutSpec& def, const ChipEntry& chip)
{
    std::vector<FieldBitRef> bits = BitsNamed(layout, {"BOOTSZ1", "BOOTSZ0"});
    const auto row = std::find_if(def.boot.begin(), def.boot.end(), [&](const BootFor& b) { return b.flashBytes == chip.flashSize; });
    if (bits.empty() || row == def.boot.end() || row->flashBytes == 0)
        return std::nullopt;
    FuseField f{"BOOTSZ", std::move(bits), {}};
    const std::uint32_t flashWords = chip.flashSize / 2;
    for (unsigned code = 0; code < 4; ++code) {
        const std::uint32_t words = std::uint32_t(row->smallestWords) << (3 - code);
        f.choices.push_back({std::uint8_t(code), std::to_string(words),
                             "Boot flash section " + std::to_string(words) + " words, starts at word " + Hex(flashWords - words),
                             ChoiceKind::Normal});
    }
    return f;
}

std::vector<FuseField> BuildFields(const ChipEntry& chip)
{
    const FuseLayout* layout = LayoutOf(&chip);
    if (!layout)
        return {};
    const LayoutSpec& def = Specs[std::size_t(layout->number - 1)];
    std::vector<FuseField> multi;

    for (const ClockFor& c : def.clocks)
        if (c.table && (c.anyFamily || c.family == chip.family)) {
            if (std::optional<FuseField> f = ClockField(*layout, *c.table))
                multi.push_back(std::move(*f));
            break;
        }
    if (std::optional<FuseField> f = BootSizeField(*layout, def, chip))
        multi.push_back(std::move(*f));
    if (!def.bodlevel.empty()) {
        std::vector<FieldBitRef> bits = def.bodlevel.size() == 8 ? BitsNamed(*layout, {"BODLEVEL2", "BODLEVEL1", "BODLEVEL0"})
                                      : def.bodlevel.size() == 4 ? BitsNamed(*layout, {"BODLEVEL1", "BODLEVEL0"})
                                                                  : BitsNamed(*layout, {"BODLEVEL"});
        if (!bits.empty())
            multi.push_back(Listed("BODLEVEL", std::move(bits), def.bodlevel));
    }
    const FuseGroup& lock = layout->groups[layout->LockSlot()];
    if (std::vector<FieldBitRef> bits = BitsNamed(*layout, {"LB2", "LB1"}); !bits.empty())
        multi.push_back(Listed("LB", std::move(bits), LockModes));
    // Boot lock bits mean something only where the chip has a boot loader section.
    const auto bootLock = [&](std::string_view name, std::initializer_list<std::string_view> names, std::span<const Named> modes) {
        std::vector<FieldBitRef> bits = BitsNamed(*layout, names);
        if (!bits.empty() && !lock.bits[bits.front().bit].tipless)
            multi.push_back(Listed(std::string(name), std::move(bits), modes));
    };
    bootLock("BLB0", {"BLB02", "BLB01"}, AppLockModes);
    bootLock("BLB1", {"BLB12", "BLB11"}, BootLockModes);

    // Walk the groups as shown: every bit opens its multi-bit field, or is a field of its own.
    std::vector<FuseField> fields;
    std::vector<bool> placed(multi.size(), false);
    for (int g = 0; g < layout->groupCount; ++g)
        for (int b = FuseBitsPerGroup - 1; b >= 0; --b) {
            bool inMulti = false;
            for (std::size_t m = 0; m < multi.size(); ++m)
                for (const FieldBitRef& r : multi[m].bits)
                    if (r.slot == g && r.bit == b) {
                        inMulti = true;
                        if (!placed[m]) {
                            placed[m] = true;
                            fields.push_back(multi[m]);
                        }
                    }
            const FuseBit& bit = layout->groups[std::size_t(g)].bits[std::size_t(b)];
            if (inMulti || !bit.Shown() || bit.disabled || bit.tipless)
                continue;
            const auto meaning = std::find_if(std::begin(BitMeanings), std::end(BitMeanings),
                                              [&](const BitMeaning& m) { return m.name == bit.name; });
            if (meaning == std::end(BitMeanings))
                continue;
            FuseField f{std::string(bit.name), {FieldBitRef{std::uint8_t(g), std::uint8_t(b)}}, {}};
            f.choices.push_back({0, "programmed", std::string(meaning->programmed), ChoiceKind::Normal});
            f.choices.push_back({1, "unprogrammed", std::string(meaning->unprogrammed),
                                 meaning->riskyUnprogrammed ? ChoiceKind::Risky : ChoiceKind::Normal});
            fields.push_back(std::move(f));
        }
    return fields;
}

}  // namespace

std::uint8_t FuseField::Decode(ConstFuseSlots bytes) const
{
    unsigned code = 0;
    for (const FieldBitRef& r : bits)
        code = (code << 1) | ((unsigned(bytes[r.slot]) >> r.bit) & 1u);
    return std::uint8_t(code);
}

void FuseField::Encode(std::uint8_t code, FuseSlots bytes) const
{
    for (std::size_t i = 0; i < bits.size(); ++i) {
        const FieldBitRef& r = bits[i];
        const unsigned value = (unsigned(code) >> (bits.size() - 1 - i)) & 1u;
        const auto mask = std::uint8_t(1u << r.bit);
        bytes[r.slot] = std::uint8_t(value ? unsigned(bytes[r.slot]) | mask : unsigned(bytes[r.slot]) & ~unsigned(mask));
    }
}

const FieldChoice* FuseField::Find(std::string_view key) const
{
    for (const FieldChoice& c : choices)
        if (SameText(c.key, key))
            return &c;
    // The bits themselves, as the datasheet tables write them.
    for (const FieldChoice& c : choices)
        if (Binary(c.code, bits.size()) == key)
            return &c;
    return nullptr;
}

std::span<const FuseField> FieldsOf(const ChipEntry& chip)
{
    static const std::array<std::vector<FuseField>, ChipCount> all = [] {
        std::array<std::vector<FuseField>, ChipCount> a;
        for (std::size_t i = 0; i < ChipCount; ++i)
            a[i] = BuildFields(ChipCatalogue()[i]);
        return a;
    }();
    // Rows are held by pointer everywhere; one not from the catalogue has no fields.
    const std::span<const ChipEntry, ChipCount> catalogue = ChipCatalogue();
    const std::less<const ChipEntry*> before;
    if (before(&chip, catalogue.data()) || !before(&chip, catalogue.data() + ChipCount))
        return {};
    return all[std::size_t(&chip - catalogue.data())];
}

bool AnyChipHasField(std::string_view name)
{
    for (const ChipEntry& chip : ChipCatalogue())
        if (FindField(FieldsOf(chip), name))
            return true;
    return false;
}

const FuseField* FindField(std::span<const FuseField> fields, std::string_view name)
{
    for (const FuseField& f : fields)
        if (SameText(f.name, name))
            return &f;
    return nullptr;
}

const FuseField* FieldOfBit(std::span<const FuseField> fields, int slot, int bit)
{
    for (const FuseField& f : fields)
        for (const FieldBitRef& r : f.bits)
            if (r.slot == slot && r.bit == bit)
                return &f;
    return nullptr;
}

FieldAssignment ParseFieldAssignment(std::span<const FuseField> fields, std::string_view text)
{
    FieldAssignment a;
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos || eq == 0 || eq + 1 == text.size()) {
        a.error = "expected NAME=value, got \"" + std::string(text) + "\"";
        return a;
    }
    const std::string_view name = text.substr(0, eq);
    const std::string_view value = text.substr(eq + 1);
    a.field = FindField(fields, name);
    if (!a.field) {
        a.error = "no fuse field " + std::string(name) + " on this chip; its fields:";
        for (const FuseField& f : fields)
            a.error += " " + f.name;
        return a;
    }
    a.choice = a.field->Find(value);
    if (!a.choice) {
        a.error = a.field->name + " has no value " + std::string(value) + "; its values:";
        for (const FieldChoice& c : a.field->choices)
            if (c.kind != ChoiceKind::Reserved)
                a.error += " " + c.key;
        return a;
    }
    if (a.choice->kind == ChoiceKind::Reserved) {
        a.error = a.field->name + "=" + std::string(value) + " is reserved: " + a.choice->meaning;
        a.choice = nullptr;
    }
    return a;
}

std::vector<std::string> FieldLines(std::span<const FuseField> fields, ConstFuseSlots bytes)
{
    std::vector<std::string> lines;
    for (const FuseField& f : fields) {
        const FieldChoice& c = f.Current(bytes);
        lines.push_back(f.name + "=" + c.key + "  " + c.meaning);
    }
    return lines;
}

std::vector<std::string> FieldListing(const ChipEntry& chip)
{
    std::vector<std::string> lines;
    const FuseLayout* layout = LayoutOf(&chip);
    if (!layout)
        return lines;
    std::array<std::uint8_t, 8> factory;
    factory.fill(0xFF);
    for (std::size_t i = 0; i < chip.factoryCount && i < factory.size(); ++i)
        factory[i] = chip.factory[i];
    const std::span<const FuseField> fields = FieldsOf(chip);
    for (const FuseField& f : fields) {
        std::string bits;
        for (const FieldBitRef& r : f.bits)
            bits += " " + std::string(layout->groups[r.slot].bits[r.bit].name);
        lines.push_back(f.name + ": " + std::string(layout->groups[f.bits.front().slot].caption) + "," + bits);
        const std::uint8_t now = f.Decode(factory);
        std::size_t width = 0;
        for (const FieldChoice& c : f.choices)
            width = std::max(width, c.key.size());
        for (const FieldChoice& c : f.choices) {
            std::string line = "  " + c.key + std::string(width - c.key.size(), ' ') + "  " + Binary(c.code, f.bits.size()) + "  " + c.meaning;
            if (c.kind == ChoiceKind::Risky)
                line += " [needs this clock on the board]";
            if (c.code == now)
                line += " [factory]";
            lines.push_back(std::move(line));
        }
    }
    // Bits the fields leave out are still written as bits (low=HH and so on).
    std::string loose;
    for (int g = 0; g < layout->groupCount; ++g)
        for (int b = FuseBitsPerGroup - 1; b >= 0; --b) {
            const FuseBit& bit = layout->groups[std::size_t(g)].bits[std::size_t(b)];
            if (bit.Shown() && !FieldOfBit(fields, g, b))
                loose += " " + std::string(bit.name);
        }
    if (!loose.empty())
        lines.push_back("Bits without a field (set them in the bytes):" + loose);
    return lines;
}

std::vector<RiskyChoice> RiskyChoices(std::span<const FuseField> fields, ConstFuseSlots toWrite,
                                      std::optional<ConstFuseSlots> onChip)
{
    std::vector<RiskyChoice> risky;
    for (const FuseField& f : fields) {
        const FieldChoice& c = f.Current(toWrite);
        if (c.kind != ChoiceKind::Risky || (onChip && f.Decode(*onChip) == c.code))
            continue;
        risky.push_back({&f, &c});
    }
    return risky;
}

std::vector<std::string> RiskyChoiceLines(const std::vector<RiskyChoice>& risky)
{
    std::vector<std::string> lines;
    for (const RiskyChoice& r : risky)
        lines.push_back(r.field->name + "=" + r.choice->key + ": " + r.choice->meaning +
                        "; the chip runs only with this clock source on the board");
    return lines;
}

}  // namespace velmora
