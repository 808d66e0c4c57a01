#include "ops/progressrules.h"

#include <array>

namespace velmora {

namespace {

struct Row {
    FamilyId family;
    ProgressRules rules;
};

constexpr ProgressPoint Every16Words{0x1F, 1};
constexpr ProgressPoint Every16WordsSecondByte{0x1F, 2};
constexpr ProgressPoint Every32Words{0x3F, 1};
constexpr ProgressPoint Every128Words{0xFF, 1};

// The rows state only what differs from ProgressRules' defaults.
constexpr ProgressRules Rules(ProgressPoint read, ProgressPoint verify, std::uint32_t writeOffset = 1)
{
    ProgressRules r;
    r.readFlash = read;
    r.verifyFlash = verify;
    r.writeOffset = writeOffset;
    return r;
}
constexpr ProgressRules OtherPages(ProgressRules r, std::uint16_t pageBytes, std::uint32_t offset)
{
    r.otherPageBytes = pageBytes;
    r.otherOffset = offset;
    return r;
}
constexpr ProgressRules Eeprom(ProgressRules r, std::uint32_t mask, std::uint32_t writeMask)
{
    r.eepromMask = mask;
    r.eepromWriteMask = writeMask;
    return r;
}
constexpr ProgressRules Default = Rules(Every16Words, Every16Words);
constexpr ProgressRules SecondByte = Rules(Every16WordsSecondByte, Every16WordsSecondByte, 2);

// In FamilyId order, checked below.
constexpr std::array<Row, FamilyCount> Rows = {{
    {FamilyId::Atmega8, Rules(Every32Words, Every16Words)},
    {FamilyId::Atmega8515, Rules(Every32Words, Every32Words)},
    {FamilyId::Atmega16, Default},
    {FamilyId::Atmega163, SecondByte},
    {FamilyId::Atmega323, SecondByte},
    {FamilyId::Atmega48, Default},
    {FamilyId::Atmega162, SecondByte},
    // The ATmega644 (256-byte flash pages, 8-byte EEPROM pages) reports like the ATmega64.
    {FamilyId::Atmega164, Eeprom(OtherPages(Rules(Every16Words, Every16WordsSecondByte), 256, 2), 3, 0)},
    {FamilyId::Atmega169, SecondByte},
    {FamilyId::Atmega64, SecondByte},
    {FamilyId::Atmega640, SecondByte},
    {FamilyId::At90can32, Eeprom(Rules(Every128Words, Every128Words), 7, 7)},
    // The ATtiny261 (32-byte pages) counts to the first byte, the ATtiny461 and 861 to the second.
    {FamilyId::Attiny261, OtherPages(SecondByte, 32, 1)},
    {FamilyId::Attiny2313, Rules(Every16WordsSecondByte, Every16Words, 2)},
    {FamilyId::Atmega161, Rules(Every16Words, Every16Words, 2)},
    {FamilyId::Atmega603, Eeprom(Rules(Every128Words, Every16Words, 2), 0x1F, 0x1F)},
    {FamilyId::At90s1200, Default},
    {FamilyId::At90s2313, Default},
    {FamilyId::At90s4414, Default},
    {FamilyId::At90s4434, Default},
    {FamilyId::At90s2333, Rules(Every16Words, Every16Words, 2)},
    {FamilyId::Attiny13, Default},
    {FamilyId::Attiny26, Default},
    {FamilyId::Attiny25, Default},
    {FamilyId::Attiny12, Default},
    {FamilyId::Attiny15, Default},
    {FamilyId::At90s2323, Default},
    {FamilyId::At90s2343, Default},
    {FamilyId::Attiny22, Default},
}};

constexpr bool InFamilyOrder()
{
    for (std::size_t i = 0; i < Rows.size(); ++i)
        if (static_cast<std::size_t>(Rows[i].family) != i)
            return false;
    return true;
}
static_assert(InFamilyOrder(), "one row per family unit, in FamilyId order");

}  // namespace

const ProgressRules& ProgressRulesOf(FamilyId family)
{
    return Rows[static_cast<std::size_t>(family)].rules;
}

}  // namespace velmora
