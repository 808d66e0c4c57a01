#include "chips/catalogue.h"
#include "sim/simchips.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace velmora {
namespace {

TEST(Catalogue, HoldsFiftyFiveChipsWithUniqueNamesAndItems)
{
    std::set<std::string_view> names, items;
    int disabled = 0, niiet = 0;
    for (const ChipEntry& e : ChipCatalogue()) {
        names.insert(e.name);
        items.insert(e.menuItem);
        disabled += e.menuEnabled ? 0 : 1;
        niiet += e.niiet ? 1 : 0;
        EXPECT_EQ(e.flashSize % 16, 0u) << e.name;
        EXPECT_EQ(e.eepromSize % 16, 0u) << e.name;
        EXPECT_LE(e.flashSize, 0x40000u) << e.name;
        EXPECT_LE(e.eepromSize, 0x10000u) << e.name;
        EXPECT_GE(e.factoryCount, 2) << e.name;
        EXPECT_LE(e.factoryCount, 4) << e.name;
        // Every AVR signature starts with Atmel's maker byte.
        EXPECT_EQ(e.code & 0xFF, 0x1E) << e.name;
    }
    EXPECT_EQ(names.size(), 55u);
    EXPECT_EQ(items.size(), 55u);
    EXPECT_EQ(disabled, 10);
    EXPECT_EQ(niiet, 2);
}

TEST(Catalogue, AvrCodesAreUniqueAndNiietPartsShareTwoOfThem)
{
    std::set<SignatureCode> avr;
    for (const ChipEntry& e : ChipCatalogue()) {
        if (!e.niiet) {
            EXPECT_TRUE(avr.insert(e.code).second) << e.name;
        }
    }
    for (const ChipEntry& e : ChipCatalogue()) {
        if (e.niiet) {
            EXPECT_TRUE(avr.count(e.code)) << e.name;
        }
    }
}

struct EntryCase {
    const char* name;
    SignatureCode code;
    std::uint32_t flash, eeprom;
    int calibration;
    const char* picture;
    std::vector<std::uint8_t> factory;
    const char* unit;
    const char* item;
    bool enabled;
};

TEST(Catalogue, EntriesCarryTheirData)
{
    const EntryCase cases[] = {
        {"ATmega8", 496414, 8192, 512, 4, "ATmega8.jpg", {0xE1, 0xD9, 0xFF}, "Atmega8", "ATmega81", true},
        {"AT90S1200", 102430, 1024, 64, 0, "AT90S1200.jpg", {0xDF, 0xFF}, "At90s1200", "AT90S12001", true},
        {"AT90CAN32", 8492318, 32768, 1024, 1, "AT90CAN32.jpg", {0x62, 0x99, 0xFF, 0xFF}, "At90can32", "AT90CAN321", true},
        {"ATtiny26", 626974, 2048, 128, 4, "ATtiny26.jpg", {0xE1, 0xF7, 0xFF}, "Attiny26", "ATtiny261", false},
        {"ATtiny261", 823582, 2048, 128, 1, "ATtiny261.jpg", {0x62, 0xDF, 0xFF, 0xFF}, "Attiny261", "ATtiny2611", true},
        {"ATtiny2313", 692510, 2048, 128, 2, "ATtiny2313.jpg", {0x64, 0xDF, 0xFF, 0xFF}, "Attiny2313", "tiny23131", true},
        {"ATmega2560", 104478, 262144, 4096, 1, "ATmega2560.jpg", {0x62, 0x99, 0xFF, 0xFF}, "Atmega640", "ATmega25601", true},
        {"ATmega640", 562718, 65536, 4096, 1, "ATmega640.jpg", {0x62, 0x99, 0xFF, 0xFF}, "Atmega640", "ATmega6401", true},
        {"ATmega168PA", 758814, 16384, 512, 1, "ATmega168.jpg", {0x62, 0xDF, 0xF9, 0xFF}, "Atmega48", "ATmega168PA1", true},
        {"ATmega88PA", 1020702, 8192, 512, 1, "ATmega88.jpg", {0x62, 0xDF, 0xF9, 0xFF}, "Atmega48", "ATmega88PA1", true},
        {"ATmega48PA", 692766, 4096, 256, 1, "ATmega48.jpg", {0x62, 0xDF, 0xFF, 0xFF}, "Atmega48", "ATmega48PA1", true},
        {"ATmega323", 103710, 32768, 1024, 1, "ATmega323.jpg", {0xF2, 0x9F, 0xFF}, "Atmega323", "ATmega3231", true},
        {"1887ВЕ4У", 561950, 8192, 1024, 4, "1887VE4U.jpg", {0xE1, 0xD9, 0xFF}, "Atmega8515", "N188741", true},
        {"1887ВЕ7Т", 169758, 131072, 4096, 4, "1887VE7T.jpg", {0xE1, 0x99, 0xFD, 0xFF}, "Atmega64", "N188771", true},
    };
    for (const EntryCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ChipEntry* e = FindChipByName(c.name);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->code, c.code);
        EXPECT_EQ(e->flashSize, c.flash);
        EXPECT_EQ(e->eepromSize, c.eeprom);
        EXPECT_EQ(e->calibrationCount, c.calibration);
        EXPECT_EQ(e->picture, c.picture);
        EXPECT_EQ(std::vector<std::uint8_t>(e->factory.begin(), e->factory.begin() + e->factoryCount), c.factory);
        EXPECT_EQ(FamilyName(e->family), c.unit);
        EXPECT_EQ(e->menuItem, c.item);
        EXPECT_EQ(e->menuEnabled, c.enabled);
        if (std::string_view(c.item) != "ATtiny261") {  // that item name is also a chip's name
            EXPECT_EQ(FindChipByName(c.item), e);
        }
    }
}

TEST(Catalogue, SignatureCodeOfTheBytes)
{
    EXPECT_EQ(MakeSignatureCode(0x1E, 0x93, 0x07), 0x07931E);
    EXPECT_EQ(MakeSignatureCode(0x1E, 0x93, 0x07), 496414);
    EXPECT_EQ(MakeSignatureCode(0xFF, 0xFF, 0xFF), 0xFFFFFF);
}

TEST(Catalogue, LookupByCodeFollowsNiietMode)
{
    struct Case {
        SignatureCode code;
        bool niiet;
        const char* expected;  // null: no entry
    } cases[] = {
        {561950, false, "ATmega8535"}, {561950, true, "1887ВЕ4У"}, {169758, false, "ATmega128"},
        {169758, true, "1887ВЕ7Т"},    {496414, false, "ATmega8"},  {496414, true, nullptr},
        {0, false, nullptr},           {0, true, nullptr},          {0xFFFFFF, false, nullptr},
        {102430, false, "AT90S1200"},  {430110, false, "ATtiny15"},
    };
    for (const Case& c : cases) {
        const ChipEntry* e = FindChipEntry(c.code, c.niiet);
        if (!c.expected) {
            EXPECT_EQ(e, nullptr) << c.code;
            continue;
        }
        ASSERT_NE(e, nullptr) << c.code;
        EXPECT_EQ(e->name, c.expected);
    }
    EXPECT_EQ(FindChipByName("atmega8"), FindChipByName("ATmega8"));
    EXPECT_EQ(FindChipByName("AT90C8534"), nullptr);  // a menu item without an entry
    EXPECT_EQ(FindChipByName("ATtiny261")->code, 823582);  // a name wins over the ATtiny26's item
    EXPECT_EQ(FindChipByName("ATmega81")->name, "ATmega8");
    EXPECT_EQ(FindChipByName("1887ve7t")->name, "1887ВЕ7Т");
}

// The page geometry the family units rely on, against the simulator's own chip table (written
// from the datasheets independently of the catalogue).
TEST(Catalogue, PageGeometryAgreesWithTheSimulatedChips)
{
    for (const ChipEntry& e : ChipCatalogue()) {
        SCOPED_TRACE(std::string(e.name));
        const sim::SimChipModel* m = nullptr;
        for (const sim::SimChipModel& s : sim::SimChipModels())
            if (s.Code() == e.code && s.niiet == e.niiet)
                m = &s;
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(e.flashPageBytes, m->flashPageBytes);
        EXPECT_EQ(e.eepromPageBytes, m->eepromPageBytes);
    }
}

}  // namespace
}  // namespace velmora
