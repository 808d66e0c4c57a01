// The named fuse fields: every layout's factory values read as the datasheets describe them,
// every value of every field survives a trip through the bits, and NAME=value parses.
#include "fuses/fusefields.h"

#include "fuses/fusecheck.h"
#include "fuses/fuselayout.h"
#include "fusetestdata.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

namespace velmora {
namespace {

FuseBytes Factory(const ChipEntry& chip)
{
    FuseBytes bytes;
    bytes.fill(0xFF);
    for (std::size_t i = 0; i < chip.factoryCount; ++i)
        bytes[i] = chip.factory[i];
    return bytes;
}

// What each field of the chip says about bytes: name -> meaning.
std::map<std::string, std::string> Decoded(const ChipEntry& chip, const FuseBytes& bytes)
{
    std::map<std::string, std::string> out;
    for (const FuseField& f : FieldsOf(chip))
        out[f.name] = f.Current(bytes).meaning;
    return out;
}

// One chip of every layout, its factory bytes read back in words. The expected texts are the
// datasheets' descriptions of the shipped state.
TEST(FuseFields, FactoryValuesReadAsTheDatasheetsDescribeThem)
{
    struct Case {
        const char* chip;
        std::map<std::string, std::string> expected;  // a subset of the chip's fields
        std::set<std::string> absent;                 // fields left out for want of data
    };
    const Case cases[] = {
        {"AT90S1200", {{"SPIEN", "Serial programming enabled"}, {"RCEN", "External clock or crystal clocks the chip"},
                       {"LB", "No memory lock features enabled"}}, {}},
        {"AT90S2313", {{"FSTRT", "Long start-up time"}, {"SPIEN", "Serial programming enabled"}}, {}},
        {"AT90S4433", {{"BODLEVEL", "Brown-out detection level at VCC=2.7 V"}, {"BODEN", "Brown-out detection disabled"}}, {"CKSEL_SUT"}},
        {"ATtiny12", {{"BODLEVEL", "Brown-out detection level at VCC=2.7 V"}, {"RSTDISBL", "External reset enabled"}}, {"CKSEL_SUT"}},
        {"ATtiny15", {{"BODLEVEL", "Brown-out detection level at VCC=4.0 V"}, {"BODEN", "Brown-out detection disabled"}}, {"CKSEL_SUT"}},
        {"ATtiny13", {{"CKSEL_SUT", "Int. RC Osc. 9.6 MHz; start-up 14 CK + 64 ms"}, {"CKDIV8", "Clock divided by 8"},
                      {"BODLEVEL", "Brown-out detection disabled"}, {"SELFPRGEN", "Self-programming disabled"}}, {}},
        {"ATtiny26", {{"CKSEL_SUT", "Int. RC Osc. 1 MHz; start-up 6 CK + 64 ms"}, {"PLLCK", "PLL clock not selected"},
                      {"SPIEN", "Serial programming enabled"}, {"BODLEVEL", "Brown-out detection level at VCC=2.7 V"}}, {}},
        {"ATtiny2313", {{"CKSEL_SUT", "Int. RC Osc. 8 MHz; start-up 14 CK + 65 ms"}, {"CKDIV8", "Clock divided by 8"},
                        {"BODLEVEL", "Brown-out detection disabled"}, {"CKOUT", "No clock output"}}, {}},
        {"ATtiny85", {{"CKSEL_SUT", "Int. RC Osc. 8 MHz; start-up 6 CK/14 CK + 64 ms"}, {"CKDIV8", "Clock divided by 8"},
                      {"BODLEVEL", "Brown-out detection disabled"}, {"DWEN", "debugWIRE disabled"}}, {}},
        {"ATtiny861", {{"CKDIV8", "Clock divided by 8"}}, {"CKSEL_SUT"}},
        {"ATmega48", {{"CKSEL_SUT", "Int. RC Osc. 8 MHz; start-up 6 CK/14 CK + 65 ms"}}, {}},
        {"ATmega48PA", {{"CKSEL_SUT", "Int. RC Osc. 8 MHz; start-up 6 CK/14 CK + 65 ms"}, {"LB", "No memory lock features enabled"}},
         {"BLB0", "BLB1"}},
        {"ATmega168", {{"CKSEL_SUT", "Int. RC Osc. 8 MHz; start-up 6 CK/14 CK + 65 ms"},
                       {"BOOTSZ", "Boot flash section 1024 words, starts at word 0x1C00"}, {"BOOTRST", "Reset vector at address 0"}}, {}},
        {"ATmega88", {{"BOOTSZ", "Boot flash section 1024 words, starts at word 0x0C00"}}, {}},
        {"ATmega103", {{"SPIEN", "Serial programming enabled"}, {"EESAVE", "EEPROM erased by chip erase"}}, {"CKSEL_SUT"}},
        {"ATmega161", {{"BOOTRST", "Reset vector at address 0"}, {"BODLEVEL", "Brown-out detection level at VCC=2.7 V"},
                       {"BLB0", "No restrictions for SPM or LPM accessing the application section"}}, {"CKSEL_SUT", "BOOTSZ"}},
        {"ATmega163", {{"BOOTSZ", "Boot flash section 128 words, starts at word 0x1F80"}}, {"CKSEL_SUT"}},
        {"ATmega323", {{"BOOTSZ", "Boot flash section 256 words, starts at word 0x3F00"}, {"JTAGEN", "JTAG interface enabled"},
                       {"OCDEN", "On-chip debugging disabled"}}, {"CKSEL_SUT"}},
        {"ATmega8", {{"CKSEL_SUT", "Int. RC Osc. 1 MHz; start-up 6 CK + 64 ms"},
                     {"BOOTSZ", "Boot flash section 1024 words, starts at word 0x0C00"},
                     {"BODLEVEL", "Brown-out detection level at VCC=2.7 V"}, {"BODEN", "Brown-out detection disabled"},
                     {"CKOPT", "Oscillator option off: smaller oscillator swing, lower power"},
                     {"BLB1", "No restrictions for SPM or LPM accessing the boot loader section"}}, {}},
        {"ATmega32", {{"CKSEL_SUT", "Int. RC Osc. 1 MHz; start-up 6 CK + 64 ms"},
                      {"BOOTSZ", "Boot flash section 2048 words, starts at word 0x3800"}, {"JTAGEN", "JTAG interface enabled"}}, {}},
        {"ATmega8515", {{"S8515C", "Native mode"}, {"BOOTSZ", "Boot flash section 1024 words, starts at word 0x0C00"}}, {}},
        {"ATmega8535", {{"S8535C", "Native mode"}, {"CKSEL_SUT", "Int. RC Osc. 1 MHz; start-up 6 CK + 64 ms"}}, {}},
        {"ATmega128", {{"BOOTSZ", "Boot flash section 4096 words, starts at word 0xF000"}, {"M103C", "ATmega103 compatibility mode"},
                       {"WDTON", "Watchdog timer enabled by the program"}}, {}},
        {"ATmega162", {{"BOOTSZ", "Boot flash section 1024 words, starts at word 0x1C00"}, {"M161C", "Native mode"}},
         {"CKSEL_SUT", "BODLEVEL"}},
        {"ATmega169", {{"BOOTSZ", "Boot flash section 1024 words, starts at word 0x1C00"}, {"BODLEVEL", "Brown-out detection disabled"}},
         {"CKSEL_SUT", "RESERVED"}},
        {"ATmega2560", {{"CKSEL_SUT", "Int. RC Osc. 8 MHz; start-up 6 CK/14 CK + 65 ms"},
                        {"BOOTSZ", "Boot flash section 4096 words, starts at word 0x1F000"},
                        {"BODLEVEL", "Brown-out detection disabled"}, {"CKDIV8", "Clock divided by 8"}}, {}},
        {"ATmega164", {{"BOOTSZ", "Boot flash section 1024 words, starts at word 0x1C00"}}, {}},
        {"AT90CAN128", {{"BODLEVEL", "Brown-out detection disabled"}, {"JTAGEN", "JTAG interface enabled"}},
         {"CKSEL_SUT", "BOOTSZ", "TA0SEL"}},
    };
    std::set<int> layoutsSeen;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chip);
        const ChipEntry& chip = ChipNamed(c.chip);
        layoutsSeen.insert(LayoutOf(&chip)->number);
        const std::map<std::string, std::string> decoded = Decoded(chip, Factory(chip));
        for (const auto& [field, meaning] : c.expected) {
            ASSERT_TRUE(decoded.count(field)) << field;
            EXPECT_EQ(decoded.at(field), meaning) << field;
        }
        for (const std::string& field : c.absent)
            EXPECT_FALSE(decoded.count(field)) << field;
    }
    EXPECT_EQ(layoutsSeen.size(), FuseLayouts().size());
}

// No chip leaves the factory in a combination the datasheet reserves.
TEST(FuseFields, FactoryValuesAreNeverReserved)
{
    for (const ChipEntry& chip : ChipCatalogue()) {
        SCOPED_TRACE(std::string(chip.name));
        for (const FuseField& f : FieldsOf(chip))
            EXPECT_NE(f.Current(Factory(chip)).kind, ChoiceKind::Reserved) << f.name;
    }
}

// Every value of every field of every chip: encoded into bytes that hold anything else,
// it decodes to itself, is found by its name and by its bits, and touches no other bit.
TEST(FuseFields, EveryValueRoundTripsThroughTheBits)
{
    int values = 0;
    for (const ChipEntry& chip : ChipCatalogue()) {
        SCOPED_TRACE(std::string(chip.name));
        const std::span<const FuseField> fields = FieldsOf(chip);
        const FuseLayout* layout = LayoutOf(&chip);
        ASSERT_EQ(fields.empty(), layout == nullptr);
        std::set<std::pair<int, int>> used;
        for (const FuseField& f : fields) {
            SCOPED_TRACE(f.name);
            ASSERT_FALSE(f.bits.empty());
            ASSERT_EQ(f.choices.size(), std::size_t(1) << f.bits.size());
            std::uint8_t fieldMask[8] = {};
            for (const FieldBitRef& r : f.bits) {
                EXPECT_TRUE(used.insert({r.slot, r.bit}).second) << "bit in two fields";
                ASSERT_LT(r.slot, layout->groupCount);
                EXPECT_TRUE(layout->groups[r.slot].bits[r.bit].Shown());
                fieldMask[r.slot] = std::uint8_t(fieldMask[r.slot] | (1u << r.bit));
            }
            std::set<std::string> keys;
            for (std::size_t code = 0; code < f.choices.size(); ++code) {
                const FieldChoice& c = f.choices[code];
                EXPECT_EQ(c.code, code);
                EXPECT_FALSE(c.meaning.empty());
                EXPECT_TRUE(keys.insert(c.key).second) << "key twice: " << c.key;
                EXPECT_EQ(f.Find(c.key), &c);
                for (const std::uint8_t background : {std::uint8_t(0x00), std::uint8_t(0xFF), std::uint8_t(0x5A)}) {
                    FuseBytes bytes;
                    bytes.fill(background);
                    f.Encode(c.code, bytes);
                    EXPECT_EQ(f.Decode(bytes), c.code);
                    for (std::size_t s = 0; s < bytes.size(); ++s)
                        EXPECT_EQ(bytes[s] & ~fieldMask[s] & 0xFF, background & ~fieldMask[s] & 0xFF) << "slot " << s;
                }
                ++values;
            }
        }
    }
    EXPECT_GT(values, 2000);
}

// Choices that need a clock from the board are the risky ones; internal oscillators are not.
TEST(FuseFields, ExternalClocksAreRiskyInternalOnesAreNot)
{
    for (const char* name : {"ATmega8", "ATtiny85", "ATmega2560", "ATtiny13", "ATtiny2313"}) {
        SCOPED_TRACE(name);
        const FuseField* clock = FindField(FieldsOf(ChipNamed(name)), "CKSEL_SUT");
        ASSERT_NE(clock, nullptr);
        int risky = 0;
        for (const FieldChoice& c : clock->choices) {
            const bool external = c.key.starts_with("ext-") || c.key.starts_with("crystal-") || c.key.starts_with("full-swing");
            if (c.kind != ChoiceKind::Reserved) {
                EXPECT_EQ(c.kind == ChoiceKind::Risky, external) << c.key;
            }
            risky += c.kind == ChoiceKind::Risky;
        }
        EXPECT_GT(risky, 0);
    }
    const FuseField* rcen = FindField(FieldsOf(ChipNamed("AT90S1200")), "RCEN");
    ASSERT_NE(rcen, nullptr);
    EXPECT_EQ(rcen->choices[1].kind, ChoiceKind::Risky);
    EXPECT_EQ(rcen->choices[0].kind, ChoiceKind::Normal);
}

TEST(FuseFields, ReservedCombinationsAreNamed)
{
    const std::span<const FuseField> mega8 = FieldsOf(ChipNamed("ATmega8"));
    const FuseField* clock = FindField(mega8, "CKSEL_SUT");
    ASSERT_NE(clock, nullptr);
    // Int. RC 1 MHz with SUT=11.
    EXPECT_EQ(clock->choices[0x31].kind, ChoiceKind::Reserved);
    EXPECT_EQ(clock->choices[0x31].meaning, "Reserved (Int. RC Osc. 1 MHz with SUT=11)");
    EXPECT_EQ(FindField(mega8, "LB")->choices[1].meaning, "Reserved");

    const FuseField* clock48 = FindField(FieldsOf(ChipNamed("ATmega48")), "CKSEL_SUT");
    EXPECT_EQ(clock48->choices[0x21].meaning, "Reserved (CKSEL=0001)");
    const FuseField* bod = FindField(FieldsOf(ChipNamed("ATmega48")), "BODLEVEL");
    EXPECT_EQ(bod->choices[3].kind, ChoiceKind::Reserved);
}

TEST(FuseFields, AssignmentsByName)
{
    const std::span<const FuseField> mega8 = FieldsOf(ChipNamed("ATmega8"));
    struct Case {
        const char* text;
        const char* field;  // null: refused
        int code;
        const char* error;  // start of the error text
    };
    const Case cases[] = {
        {"CKSEL_SUT=int-rc-8mhz-64ms", "CKSEL_SUT", 0x24, ""},
        {"cksel_sut=INT-RC-8MHZ-64MS", "CKSEL_SUT", 0x24, ""},
        {"BOOTSZ=512", "BOOTSZ", 1, ""},
        {"BOOTSZ=00", "BOOTSZ", 0, ""},
        {"SPIEN=programmed", "SPIEN", 0, ""},
        {"LB=no-write", "LB", 2, ""},
        {"CKSEL_SUT=100001", "CKSEL_SUT", 0x21, ""},
        {"CKSEL_SUT=110001", nullptr, 0, "CKSEL_SUT=110001 is reserved"},
        {"BOOTSZ=300", nullptr, 0, "BOOTSZ has no value 300; its values: 1024 512 256 128"},
        {"CKDIV8=programmed", nullptr, 0, "no fuse field CKDIV8 on this chip; its fields: BODLEVEL BODEN CKSEL_SUT"},
        {"BOOTSZ", nullptr, 0, "expected NAME=value"},
        {"=512", nullptr, 0, "expected NAME=value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const FieldAssignment a = ParseFieldAssignment(mega8, c.text);
        if (c.field) {
            ASSERT_NE(a.choice, nullptr) << a.error;
            EXPECT_EQ(a.field->name, c.field);
            EXPECT_EQ(a.choice->code, c.code);
            EXPECT_TRUE(a.error.empty());
        } else {
            EXPECT_EQ(a.choice, nullptr);
            EXPECT_TRUE(a.error.starts_with(c.error)) << a.error;
        }
    }
}

TEST(FuseFields, FieldsFollowTheDialogOrder)
{
    std::vector<std::string> names;
    for (const FuseField& f : FieldsOf(ChipNamed("ATmega8")))
        names.push_back(f.name);
    const std::vector<std::string> expected = {"BODLEVEL", "BODEN", "CKSEL_SUT", "RSTDISBL", "WDTON", "SPIEN", "CKOPT",
                                               "EESAVE", "BOOTSZ", "BOOTRST", "BLB1", "BLB0", "LB"};
    EXPECT_EQ(names, expected);
    const FuseField* bootsz = FindField(FieldsOf(ChipNamed("ATmega8")), "BOOTSZ");
    EXPECT_EQ(FieldOfBit(FieldsOf(ChipNamed("ATmega8")), 1, 2), bootsz);
    EXPECT_EQ(FieldOfBit(FieldsOf(ChipNamed("ATmega8")), 2, 7), nullptr);
}

TEST(FuseFields, LinesAndListingForTheCommandLine)
{
    const ChipEntry& mega8 = ChipNamed("ATmega8");
    const std::vector<std::string> lines = FieldLines(FieldsOf(mega8), Factory(mega8));
    ASSERT_EQ(lines.size(), FieldsOf(mega8).size());
    EXPECT_EQ(lines[2], "CKSEL_SUT=int-rc-1mhz-64ms  Int. RC Osc. 1 MHz; start-up 6 CK + 64 ms");
    EXPECT_EQ(lines[8], "BOOTSZ=1024  Boot flash section 1024 words, starts at word 0x0C00");

    const std::vector<std::string> listing = FieldListing(mega8);
    const auto has = [&](const std::vector<std::string>& all, const std::string& line) {
        return std::find(all.begin(), all.end(), line) != all.end();
    };
    EXPECT_TRUE(has(listing, "BOOTSZ: High Fuses, BOOTSZ1 BOOTSZ0"));
    EXPECT_TRUE(has(listing, "  1024  00  Boot flash section 1024 words, starts at word 0x0C00 [factory]"));
    EXPECT_TRUE(has(listing, "  512   01  Boot flash section 512 words, starts at word 0x0E00"));
    EXPECT_TRUE(std::any_of(listing.begin(), listing.end(), [](const std::string& l) {
        return l.find("crystal-3-8mhz-16kck-64ms") != std::string::npos && l.ends_with("[needs this clock on the board]");
    }));
    EXPECT_FALSE(listing.back().starts_with("Bits without a field"));

    // What has no field is named, so nobody looks for it in vain.
    EXPECT_EQ(FieldListing(ChipNamed("ATmega161")).back(), "Bits without a field (set them in the bytes): CKSEL2 CKSEL1 CKSEL0");
}

TEST(FuseFields, RiskyChoicesLeaveOutWhatTheChipHoldsAlready)
{
    const ChipEntry& mega8 = ChipNamed("ATmega8");
    const std::span<const FuseField> fields = FieldsOf(mega8);
    const FuseField* clock = FindField(fields, "CKSEL_SUT");
    FuseBytes bytes = Factory(mega8);
    EXPECT_TRUE(RiskyChoices(fields, bytes, std::nullopt).empty());

    clock->Encode(clock->Find("crystal-3-8mhz-16kck-64ms")->code, bytes);
    const std::vector<RiskyChoice> risky = RiskyChoices(fields, bytes, std::nullopt);
    ASSERT_EQ(risky.size(), 1u);
    EXPECT_EQ(risky[0].field, clock);
    EXPECT_EQ(RiskyChoiceLines(risky).front(),
              "CKSEL_SUT=crystal-3-8mhz-16kck-64ms: Ext. Crystal/Resonator 3.0-8.0 MHz (CKOPT programmed: 1.0 MHz and up); "
              "start-up 16K CK + 64 ms; the chip runs only with this clock source on the board");

    const FuseBytes factory = Factory(mega8);
    EXPECT_EQ(RiskyChoices(fields, bytes, ConstFuseSlots(factory)).size(), 1u);
    EXPECT_TRUE(RiskyChoices(fields, bytes, ConstFuseSlots(bytes)).empty());
}

}  // namespace
}  // namespace velmora
