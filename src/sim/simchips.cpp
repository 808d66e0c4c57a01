#include "sim/simchips.h"

#include <algorithm>
#include <cctype>

namespace velmora::sim {

namespace {

using F = std::array<std::uint8_t, 4>;

// A parallel part with the datasheet defaults of the paged ATmega generation; the
// modifiers below state how a chip differs.
constexpr SimChipModel Parallel(std::string_view name, std::uint8_t s1, std::uint8_t s2, std::uint32_t flash,
                                std::uint32_t eeprom, std::uint16_t flashPage, std::uint16_t eepromPage,
                                std::uint8_t cal, F factory, std::uint8_t count, SimEntry entry)
{
    return SimChipModel{name,  {0x1E, s1, s2}, flash, eeprom, flashPage, eepromPage, cal, factory, count,
                        SimInterface::Parallel, entry, SimFuseLayout::Modern, false, false, false, true, false,
                        4500, 9000, 9000, 4500};
}

// Serial parts: busy times just below the waits their datasheets give for each write.
constexpr SimChipModel Serial(std::string_view name, std::uint8_t s1, std::uint8_t s2, std::uint32_t flash,
                              std::uint32_t eeprom, std::uint16_t flashPage, std::uint16_t eepromPage,
                              std::uint8_t cal, F factory, std::uint8_t count, SimFuseLayout fuses,
                              std::uint32_t flashUs, std::uint32_t eepromUs, std::uint32_t eraseUs)
{
    SimChipModel m = Parallel(name, s1, s2, flash, eeprom, flashPage, eepromPage, cal, factory, count, SimEntry::Plain);
    m.interface = SimInterface::Serial;
    m.fuses = fuses;
    m.flashWriteUs = flashUs;
    m.eepromWriteUs = eepromUs;
    m.eraseUs = eraseUs;
    return m;
}

// The AT90S generation and the ATmega603/103: erase and fuse writes by long WR pulses.
constexpr SimChipModel Old(SimChipModel m, SimFuseLayout fuses)
{
    m.entry = SimEntry::Plain;
    m.fuses = fuses;
    m.longWrPulses = true;
    return m;
}

// PAGEL on BS1 and BS2 on XA1 (the 20-pin ATtiny parts).
constexpr SimChipModel SharedPins(SimChipModel m)
{
    m.pagelOnBs1 = true;
    m.bs2OnXa1 = true;
    return m;
}

// Their datasheets program the page on the WR pulse whatever BS1 holds.
constexpr SimChipModel AnyBs1(SimChipModel m)
{
    m.commitNeedsBs1Low = false;
    return m;
}

// A latch that takes its data at the falling edge of the shared BS1/PAGEL line: a word still
// in the data latches when the WR pulse comes with BS1 high is not in the page.
constexpr SimChipModel PagelOnFall(SimChipModel m)
{
    m.pagelLatchesOnFall = true;
    return m;
}

// The fuse bits that take serial programming away (SPIEN unprogrammed, RSTDISBL or DWEN
// programmed), by the datasheets' fuse tables.
constexpr SimChipModel SerialFuses(SimChipModel m, SimFuseBit spien, SimFuseBit rstdisbl = {}, SimFuseBit dwen = {})
{
    m.spien = spien;
    m.rstdisbl = rstdisbl;
    m.dwen = dwen;
    return m;
}

constexpr SimChipModel Niiet(SimChipModel m)
{
    m.niiet = true;
    return m;
}

constexpr auto Combined = SimFuseLayout::Combined;
constexpr auto Separate = SimFuseLayout::Separate;
constexpr auto Modern = SimFuseLayout::Modern;
constexpr auto Xtal = SimEntry::XtalToggle;
constexpr auto Plain = SimEntry::Plain;
constexpr auto Timed = SimEntry::Timed;

// In the order of the chip menu.
constexpr std::array<SimChipModel, SimChipCount> Models{{
    Old(Parallel("AT90S1200", 0x90, 0x01, 1024, 64, 0, 0, 0, F{0xDF, 0xFF}, 2, Plain), Combined),
    Old(Parallel("AT90S2313", 0x91, 0x01, 2048, 128, 0, 0, 0, F{0xDF, 0xFF}, 2, Plain), Combined),
    SerialFuses(Serial("AT90S2323", 0x91, 0x02, 2048, 128, 0, 0, 0, F{0xDE, 0xFF}, 2, Combined, 4000, 4000, 8000), {0, 0x20}),
    Old(Parallel("AT90S2333", 0x91, 0x05, 2048, 128, 0, 0, 0, F{0xDA, 0xFF}, 2, Plain), Separate),
    SerialFuses(Serial("AT90S2343", 0x91, 0x03, 2048, 128, 0, 0, 0, F{0xDE, 0xFF}, 2, Combined, 4000, 4000, 8000), {0, 0x20}),
    Old(Parallel("AT90S4414", 0x92, 0x01, 4096, 256, 0, 0, 0, F{0xDF, 0xFF}, 2, Plain), Combined),
    Old(Parallel("AT90S4433", 0x92, 0x03, 4096, 256, 0, 0, 0, F{0xDA, 0xFF}, 2, Plain), Separate),
    Old(Parallel("AT90S4434", 0x92, 0x02, 4096, 256, 0, 0, 0, F{0xDF, 0xFF}, 2, Plain), Combined),
    Old(Parallel("AT90S8515", 0x93, 0x01, 8192, 512, 0, 0, 0, F{0xDF, 0xFF}, 2, Plain), Combined),
    Old(Parallel("AT90S8535", 0x93, 0x03, 8192, 512, 0, 0, 0, F{0xDF, 0xFF}, 2, Plain), Combined),
    AnyBs1(Parallel("AT90CAN32", 0x95, 0x81, 32768, 1024, 256, 8, 1, F{0x62, 0x99, 0xFF, 0xFF}, 4, Timed)),
    AnyBs1(Parallel("AT90CAN64", 0x96, 0x81, 65536, 2048, 256, 8, 1, F{0x62, 0x99, 0xFF, 0xFF}, 4, Timed)),
    AnyBs1(Parallel("AT90CAN128", 0x97, 0x81, 131072, 4096, 256, 8, 1, F{0x62, 0x99, 0xFF, 0xFF}, 4, Timed)),
    SerialFuses(Serial("ATtiny12", 0x90, 0x05, 1024, 64, 0, 0, 1, F{0x52, 0xFF}, 2, Separate, 3500, 6000, 8000), {0, 0x20}, {0, 0x10}),
    SerialFuses(Serial("ATtiny13", 0x90, 0x07, 1024, 64, 32, 4, 1, F{0x6A, 0xFF, 0xFF}, 3, Modern, 4500, 4500, 8000), {0, 0x80}, {1, 0x01}, {1, 0x08}),
    SerialFuses(Serial("ATtiny15", 0x90, 0x06, 1024, 64, 0, 0, 1, F{0x5C, 0xFF}, 2, Separate, 3500, 6000, 8000), {0, 0x20}, {0, 0x10}),
    SerialFuses(Serial("ATtiny22", 0x91, 0x06, 2048, 128, 0, 0, 1, F{0xDE, 0xFF}, 2, Combined, 4000, 4000, 8000), {0, 0x20}),
    PagelOnFall(AnyBs1(SharedPins(Parallel("ATtiny2313", 0x91, 0x0A, 2048, 128, 32, 4, 2, F{0x64, 0xDF, 0xFF, 0xFF}, 4, Timed)))),
    SerialFuses(Serial("ATtiny25", 0x91, 0x08, 2048, 128, 32, 4, 2, F{0x62, 0xDF, 0xFF, 0xFF}, 4, Modern, 4500, 4500, 8000), {1, 0x20}, {1, 0x80}, {1, 0x40}),
    SerialFuses(Serial("ATtiny26", 0x91, 0x09, 2048, 128, 32, 0, 4, F{0xE1, 0xF7, 0xFF}, 3, Modern, 4500, 8000, 8000), {1, 0x08}, {1, 0x10}),
    SharedPins(Parallel("ATtiny261", 0x91, 0x0C, 2048, 128, 32, 4, 1, F{0x62, 0xDF, 0xFF, 0xFF}, 4, Xtal)),
    SerialFuses(Serial("ATtiny45", 0x92, 0x06, 4096, 256, 64, 4, 2, F{0x62, 0xDF, 0xFF, 0xFF}, 4, Modern, 4500, 4500, 8000), {1, 0x20}, {1, 0x80}, {1, 0x40}),
    SharedPins(Parallel("ATtiny461", 0x92, 0x08, 4096, 256, 64, 4, 1, F{0x62, 0xDF, 0xFF, 0xFF}, 4, Xtal)),
    SerialFuses(Serial("ATtiny85", 0x93, 0x0B, 8192, 512, 64, 4, 2, F{0x62, 0xDF, 0xFF, 0xFF}, 4, Modern, 4500, 4500, 8000), {1, 0x20}, {1, 0x80}, {1, 0x40}),
    SharedPins(Parallel("ATtiny861", 0x93, 0x0D, 8192, 512, 64, 4, 1, F{0x62, 0xDF, 0xFF, 0xFF}, 4, Xtal)),
    AnyBs1(Old(Parallel("ATmega103", 0x97, 0x01, 131072, 4096, 256, 0, 0, F{0xDF, 0xFF}, 2, Plain), Separate)),
    Parallel("ATmega128", 0x97, 0x02, 131072, 4096, 256, 8, 4, F{0xE1, 0x99, 0xFD, 0xFF}, 4, Xtal),
    Parallel("ATmega1280", 0x97, 0x03, 131072, 4096, 256, 8, 1, F{0x62, 0x99, 0xFF, 0xFF}, 4, Xtal),
    Parallel("ATmega1281", 0x97, 0x04, 131072, 4096, 256, 8, 1, F{0x62, 0x99, 0xFF, 0xFF}, 4, Xtal),
    Parallel("ATmega16", 0x94, 0x03, 16384, 512, 128, 4, 4, F{0xE1, 0x99, 0xFF}, 3, Xtal),
    Parallel("ATmega161", 0x94, 0x01, 16384, 512, 128, 0, 0, F{0xDA, 0xFF}, 2, Plain),
    Parallel("ATmega162", 0x94, 0x04, 16384, 512, 128, 4, 1, F{0x62, 0x99, 0xFF, 0xFF}, 4, Xtal),
    Parallel("ATmega163", 0x94, 0x02, 16384, 512, 128, 0, 1, F{0xD2, 0xFF, 0xFF}, 3, Plain),
    Parallel("ATmega164", 0x94, 0x0A, 16384, 512, 128, 4, 1, F{0x62, 0x99, 0xFF, 0xFF}, 4, Xtal),
    Parallel("ATmega168", 0x94, 0x06, 16384, 512, 128, 4, 1, F{0x62, 0xDF, 0xF9, 0xFF}, 4, Timed),
    Parallel("ATmega168PA", 0x94, 0x0B, 16384, 512, 128, 4, 1, F{0x62, 0xDF, 0xF9, 0xFF}, 4, Timed),
    Parallel("ATmega169", 0x94, 0x05, 16384, 512, 128, 4, 1, F{0x62, 0x99, 0xFF, 0xFF}, 4, Xtal),
    Parallel("ATmega2560", 0x98, 0x01, 262144, 4096, 256, 8, 1, F{0x62, 0x99, 0xFF, 0xFF}, 4, Xtal),
    Parallel("ATmega2561", 0x98, 0x02, 262144, 4096, 256, 8, 1, F{0x62, 0x99, 0xFF, 0xFF}, 4, Xtal),
    Parallel("ATmega32", 0x95, 0x02, 32768, 1024, 128, 4, 4, F{0xE1, 0x99, 0xFF}, 3, Xtal),
    Parallel("ATmega323", 0x95, 0x01, 32768, 1024, 128, 0, 1, F{0xF2, 0x9F, 0xFF}, 3, Plain),
    Parallel("ATmega324", 0x95, 0x08, 32768, 1024, 128, 4, 1, F{0x62, 0x99, 0xFF, 0xFF}, 4, Xtal),
    Parallel("ATmega48", 0x92, 0x05, 4096, 256, 64, 4, 1, F{0x62, 0xDF, 0xFF, 0xFF}, 4, Timed),
    Parallel("ATmega48PA", 0x92, 0x0A, 4096, 256, 64, 4, 1, F{0x62, 0xDF, 0xFF, 0xFF}, 4, Timed),
    AnyBs1(Old(Parallel("ATmega603", 0x96, 0x01, 65536, 2048, 256, 0, 0, F{0xDF, 0xFF}, 2, Plain), Separate)),
    Parallel("ATmega64", 0x96, 0x02, 65536, 2048, 256, 8, 4, F{0xE1, 0x99, 0xFD, 0xFF}, 4, Xtal),
    Parallel("ATmega640", 0x96, 0x08, 65536, 4096, 256, 8, 1, F{0x62, 0x99, 0xFF, 0xFF}, 4, Xtal),
    Parallel("ATmega644", 0x96, 0x0A, 65536, 2048, 256, 8, 1, F{0x62, 0x99, 0xFF, 0xFF}, 4, Xtal),
    Parallel("ATmega8", 0x93, 0x07, 8192, 512, 64, 4, 4, F{0xE1, 0xD9, 0xFF}, 3, Xtal),
    Parallel("ATmega8515", 0x93, 0x06, 8192, 512, 64, 4, 4, F{0xE1, 0xD9, 0xFF}, 3, Xtal),
    Parallel("ATmega8535", 0x93, 0x08, 8192, 512, 64, 4, 4, F{0xE1, 0xD9, 0xFF}, 3, Xtal),
    Parallel("ATmega88", 0x93, 0x0A, 8192, 512, 64, 4, 1, F{0x62, 0xDF, 0xF9, 0xFF}, 4, Timed),
    Parallel("ATmega88PA", 0x93, 0x0F, 8192, 512, 64, 4, 1, F{0x62, 0xDF, 0xF9, 0xFF}, 4, Timed),
    Niiet(Parallel("1887ВЕ4У", 0x93, 0x08, 8192, 1024, 64, 4, 4, F{0xE1, 0xD9, 0xFF}, 3, Xtal)),
    Niiet(Parallel("1887ВЕ7Т", 0x97, 0x02, 131072, 4096, 256, 8, 4, F{0xE1, 0x99, 0xFD, 0xFF}, 4, Xtal)),
}};

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::span<const SimChipModel, SimChipCount> SimChipModels() { return Models; }

const SimChipModel* FindSimChip(std::string_view name)
{
    // Latin spellings of the two NIIET parts, for command lines without Cyrillic input.
    if (SameText(name, "1887VE4U"))
        name = "1887ВЕ4У";
    else if (SameText(name, "1887VE7T"))
        name = "1887ВЕ7Т";
    for (const SimChipModel& m : Models) {
        if (SameText(m.name, name))
            return &m;
    }
    return nullptr;
}

}  // namespace velmora::sim
