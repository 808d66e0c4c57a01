#include "chips/catalogue.h"

#include <algorithm>
#include <cctype>

namespace velmora {

namespace {
// Name, signature (byte 0, 1, 2), flash and EEPROM bytes, calibration bytes, picture, factory
// lock and fuse values (count given after them; unused slots stay 0xFF), family unit, menu item,
// item enabled, NIIET part. The order is the menu's: the NIIET parts come last so that a
// search by code meets the AVR entry first.
constexpr ChipEntry Catalogue[ChipCount] = {
    {"AT90S1200", MakeSignatureCode(0x1E, 0x90, 0x01), 1024, 64, 0, "AT90S1200.jpg", {0xDF, 0xFF, 0xFF, 0xFF}, 2, "At90s1200", "AT90S12001", true, false},
    {"AT90S2313", MakeSignatureCode(0x1E, 0x91, 0x01), 2048, 128, 0, "AT90S2313.jpg", {0xDF, 0xFF, 0xFF, 0xFF}, 2, "At90s2313", "AT90S23131", true, false},
    {"AT90S2323", MakeSignatureCode(0x1E, 0x91, 0x02), 2048, 128, 0, "AT90S2323.jpg", {0xDE, 0xFF, 0xFF, 0xFF}, 2, "At90s2323", "AT90S23231", false, false},
    {"AT90S2333", MakeSignatureCode(0x1E, 0x91, 0x05), 2048, 128, 0, "AT90S2333.jpg", {0xDA, 0xFF, 0xFF, 0xFF}, 2, "At90s2333", "AT90S23331", true, false},
    {"AT90S2343", MakeSignatureCode(0x1E, 0x91, 0x03), 2048, 128, 0, "AT90S2343.jpg", {0xDE, 0xFF, 0xFF, 0xFF}, 2, "At90s2343", "AT90S23431", false, false},
    {"AT90S4414", MakeSignatureCode(0x1E, 0x92, 0x01), 4096, 256, 0, "AT90S4414.jpg", {0xDF, 0xFF, 0xFF, 0xFF}, 2, "At90s4414", "AT90S44141", true, false},
    {"AT90S4433", MakeSignatureCode(0x1E, 0x92, 0x03), 4096, 256, 0, "AT90S4433.jpg", {0xDA, 0xFF, 0xFF, 0xFF}, 2, "At90s2333", "AT90S44331", true, false},
    {"AT90S4434", MakeSignatureCode(0x1E, 0x92, 0x02), 4096, 256, 0, "AT90S4434.jpg", {0xDF, 0xFF, 0xFF, 0xFF}, 2, "At90s4434", "AT90S44341", true, false},
    {"AT90S8515", MakeSignatureCode(0x1E, 0x93, 0x01), 8192, 512, 0, "AT90S8515.jpg", {0xDF, 0xFF, 0xFF, 0xFF}, 2, "At90s4414", "AT90S85151", true, false},
    {"AT90S8535", MakeSignatureCode(0x1E, 0x93, 0x03), 8192, 512, 0, "AT90S8535.jpg", {0xDF, 0xFF, 0xFF, 0xFF}, 2, "At90s4434", "AT90S85351", true, false},
    {"AT90CAN32", MakeSignatureCode(0x1E, 0x95, 0x81), 32768, 1024, 1, "AT90CAN32.jpg", {0x62, 0x99, 0xFF, 0xFF}, 4, "At90can32", "AT90CAN321", true, false},
    {"AT90CAN64", MakeSignatureCode(0x1E, 0x96, 0x81), 65536, 2048, 1, "AT90CAN64.jpg", {0x62, 0x99, 0xFF, 0xFF}, 4, "At90can32", "AT90CAN641", true, false},
    {"AT90CAN128", MakeSignatureCode(0x1E, 0x97, 0x81), 131072, 4096, 1, "AT90CAN128.jpg", {0x62, 0x99, 0xFF, 0xFF}, 4, "At90can32", "AT90CAN1281", true, false},
    {"ATtiny12", MakeSignatureCode(0x1E, 0x90, 0x05), 1024, 64, 1, "ATtiny12.jpg", {0x52, 0xFF, 0xFF, 0xFF}, 2, "Attiny12", "ATtiny121", false, false},
    {"ATtiny13", MakeSignatureCode(0x1E, 0x90, 0x07), 1024, 64, 1, "ATtiny13.jpg", {0x6A, 0xFF, 0xFF, 0xFF}, 3, "Attiny13", "ATtiny131", false, false},
    {"ATtiny15", MakeSignatureCode(0x1E, 0x90, 0x06), 1024, 64, 1, "ATtiny15.jpg", {0x5C, 0xFF, 0xFF, 0xFF}, 2, "Attiny15", "ATtiny151", false, false},
    {"ATtiny22", MakeSignatureCode(0x1E, 0x91, 0x06), 2048, 128, 1, "ATtiny22.jpg", {0xDE, 0xFF, 0xFF, 0xFF}, 2, "Attiny22", "ATtiny221", false, false},
    {"ATtiny2313", MakeSignatureCode(0x1E, 0x91, 0x0A), 2048, 128, 2, "ATtiny2313.jpg", {0x64, 0xDF, 0xFF, 0xFF}, 4, "Attiny2313", "tiny23131", true, false},
    {"ATtiny25", MakeSignatureCode(0x1E, 0x91, 0x08), 2048, 128, 2, "ATtiny25.jpg", {0x62, 0xDF, 0xFF, 0xFF}, 4, "Attiny25", "ATtiny251", false, false},
    {"ATtiny26", MakeSignatureCode(0x1E, 0x91, 0x09), 2048, 128, 4, "ATtiny26.jpg", {0xE1, 0xF7, 0xFF, 0xFF}, 3, "Attiny26", "ATtiny261", false, false},
    {"ATtiny261", MakeSignatureCode(0x1E, 0x91, 0x0C), 2048, 128, 1, "ATtiny261.jpg", {0x62, 0xDF, 0xFF, 0xFF}, 4, "Attiny261", "ATtiny2611", true, false},
    {"ATtiny45", MakeSignatureCode(0x1E, 0x92, 0x06), 4096, 256, 2, "ATtiny45.jpg", {0x62, 0xDF, 0xFF, 0xFF}, 4, "Attiny25", "ATtiny451", false, false},
    {"ATtiny461", MakeSignatureCode(0x1E, 0x92, 0x08), 4096, 256, 1, "ATtiny461.jpg", {0x62, 0xDF, 0xFF, 0xFF}, 4, "Attiny261", "ATtiny4611", true, false},
    {"ATtiny85", MakeSignatureCode(0x1E, 0x93, 0x0B), 8192, 512, 2, "ATtiny85.jpg", {0x62, 0xDF, 0xFF, 0xFF}, 4, "Attiny25", "ATtiny851", false, false},
    {"ATtiny861", MakeSignatureCode(0x1E, 0x93, 0x0D), 8192, 512, 1, "ATtiny861.jpg", {0x62, 0xDF, 0xFF, 0xFF}, 4, "Attiny261", "ATtiny8611", true, false},
    {"ATmega103", MakeSignatureCode(0x1E, 0x97, 0x01), 131072, 4096, 0, "ATmega103.jpg", {0xDF, 0xFF, 0xFF, 0xFF}, 2, "Atmega603", "ATmega1031", true, false},
    {"ATmega128", MakeSignatureCode(0x1E, 0x97, 0x02), 131072, 4096, 4, "ATmega128.jpg", {0xE1, 0x99, 0xFD, 0xFF}, 4, "Atmega64", "ATmega1281", true, false},
    {"ATmega1280", MakeSignatureCode(0x1E, 0x97, 0x03), 131072, 4096, 1, "ATmega1280.jpg", {0x62, 0x99, 0xFF, 0xFF}, 4, "Atmega640", "ATmega12801", true, false},
    {"ATmega1281", MakeSignatureCode(0x1E, 0x97, 0x04), 131072, 4096, 1, "ATmega1281.jpg", {0x62, 0x99, 0xFF, 0xFF}, 4, "Atmega640", "ATmega12811", true, false},
    {"ATmega16", MakeSignatureCode(0x1E, 0x94, 0x03), 16384, 512, 4, "ATmega16.jpg", {0xE1, 0x99, 0xFF, 0xFF}, 3, "Atmega16", "ATmega161", true, false},
    {"ATmega161", MakeSignatureCode(0x1E, 0x94, 0x01), 16384, 512, 0, "ATmega161.jpg", {0xDA, 0xFF, 0xFF, 0xFF}, 2, "Atmega161", "ATmega1611", true, false},
    {"ATmega162", MakeSignatureCode(0x1E, 0x94, 0x04), 16384, 512, 1, "ATmega162.jpg", {0x62, 0x99, 0xFF, 0xFF}, 4, "Atmega162", "ATmega1621", true, false},
    {"ATmega163", MakeSignatureCode(0x1E, 0x94, 0x02), 16384, 512, 1, "ATmega163.jpg", {0xD2, 0xFF, 0xFF, 0xFF}, 3, "Atmega163", "ATmega1631", true, false},
    {"ATmega164", MakeSignatureCode(0x1E, 0x94, 0x0A), 16384, 512, 1, "ATmega164.jpg", {0x62, 0x99, 0xFF, 0xFF}, 4, "Atmega164", "ATmega1641", true, false},
    {"ATmega168", MakeSignatureCode(0x1E, 0x94, 0x06), 16384, 512, 1, "ATmega168.jpg", {0x62, 0xDF, 0xF9, 0xFF}, 4, "Atmega48", "ATmega1681", true, false},
    {"ATmega168PA", MakeSignatureCode(0x1E, 0x94, 0x0B), 16384, 512, 1, "ATmega168.jpg", {0x62, 0xDF, 0xF9, 0xFF}, 4, "Atmega48", "ATmega168PA1", true, false},
    {"ATmega169", MakeSignatureCode(0x1E, 0x94, 0x05), 16384, 512, 1, "ATmega169.jpg", {0x62, 0x99, 0xFF, 0xFF}, 4, "Atmega169", "ATmega1691", true, false},
    {"ATmega2560", MakeSignatureCode(0x1E, 0x98, 0x01), 262144, 4096, 1, "ATmega2560.jpg", {0x62, 0x99, 0xFF, 0xFF}, 4, "Atmega640", "ATmega25601", true, false},
    {"ATmega2561", MakeSignatureCode(0x1E, 0x98, 0x02), 262144, 4096, 1, "ATmega2561.jpg", {0x62, 0x99, 0xFF, 0xFF}, 4, "Atmega640", "ATmega25611", true, false},
    {"ATmega32", MakeSignatureCode(0x1E, 0x95, 0x02), 32768, 1024, 4, "ATmega32.jpg", {0xE1, 0x99, 0xFF, 0xFF}, 3, "Atmega16", "ATmega321", true, false},
    {"ATmega323", MakeSignatureCode(0x1E, 0x95, 0x01), 32768, 1024, 1, "ATmega323.jpg", {0xF2, 0x9F, 0xFF, 0xFF}, 3, "Atmega323", "ATmega3231", true, false},
    {"ATmega324", MakeSignatureCode(0x1E, 0x95, 0x08), 32768, 1024, 1, "ATmega324.jpg", {0x62, 0x99, 0xFF, 0xFF}, 4, "Atmega164", "ATmega3241", true, false},
    {"ATmega48", MakeSignatureCode(0x1E, 0x92, 0x05), 4096, 256, 1, "ATmega48.jpg", {0x62, 0xDF, 0xFF, 0xFF}, 4, "Atmega48", "ATmega481", true, false},
    {"ATmega48PA", MakeSignatureCode(0x1E, 0x92, 0x0A), 4096, 256, 1, "ATmega48.jpg", {0x62, 0xDF, 0xFF, 0xFF}, 4, "Atmega48", "ATmega48PA1", true, false},
    {"ATmega603", MakeSignatureCode(0x1E, 0x96, 0x01), 65536, 2048, 0, "ATmega603.jpg", {0xDF, 0xFF, 0xFF, 0xFF}, 2, "Atmega603", "ATmega6031", true, false},
    {"ATmega64", MakeSignatureCode(0x1E, 0x96, 0x02), 65536, 2048, 4, "ATmega64.jpg", {0xE1, 0x99, 0xFD, 0xFF}, 4, "Atmega64", "ATmega641", true, false},
    {"ATmega640", MakeSignatureCode(0x1E, 0x96, 0x08), 65536, 4096, 1, "ATmega640.jpg", {0x62, 0x99, 0xFF, 0xFF}, 4, "Atmega640", "ATmega6401", true, false},
    {"ATmega644", MakeSignatureCode(0x1E, 0x96, 0x0A), 65536, 2048, 1, "ATmega644.jpg", {0x62, 0x99, 0xFF, 0xFF}, 4, "Atmega164", "ATmega6441", true, false},
    {"ATmega8", MakeSignatureCode(0x1E, 0x93, 0x07), 8192, 512, 4, "ATmega8.jpg", {0xE1, 0xD9, 0xFF, 0xFF}, 3, "Atmega8", "ATmega81", true, false},
    {"ATmega8515", MakeSignatureCode(0x1E, 0x93, 0x06), 8192, 512, 4, "ATmega8515.jpg", {0xE1, 0xD9, 0xFF, 0xFF}, 3, "Atmega8515", "ATmega85151", true, false},
    {"ATmega8535", MakeSignatureCode(0x1E, 0x93, 0x08), 8192, 512, 4, "ATmega8535.jpg", {0xE1, 0xD9, 0xFF, 0xFF}, 3, "Atmega8515", "ATmega85351", true, false},
    {"ATmega88", MakeSignatureCode(0x1E, 0x93, 0x0A), 8192, 512, 1, "ATmega88.jpg", {0x62, 0xDF, 0xF9, 0xFF}, 4, "Atmega48", "ATmega881", true, false},
    {"ATmega88PA", MakeSignatureCode(0x1E, 0x93, 0x0F), 8192, 512, 1, "ATmega88.jpg", {0x62, 0xDF, 0xF9, 0xFF}, 4, "Atmega48", "ATmega88PA1", true, false},
    {"1887ВЕ4У", MakeSignatureCode(0x1E, 0x93, 0x08), 8192, 1024, 4, "1887VE4U.jpg", {0xE1, 0xD9, 0xFF, 0xFF}, 3, "Atmega8515", "N188741", true, true},
    {"1887ВЕ7Т", MakeSignatureCode(0x1E, 0x97, 0x02), 131072, 4096, 4, "1887VE7T.jpg", {0xE1, 0x99, 0xFD, 0xFF}, 4, "Atmega64", "N188771", true, true},
};

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}
}  // namespace

std::span<const ChipEntry, ChipCount> ChipCatalogue()
{
    return std::span<const ChipEntry, ChipCount>(Catalogue);
}

const ChipEntry* FindChipEntry(SignatureCodeType code, bool niietMode)
{
    if (code == 0)
        return nullptr;
    const auto it = std::find_if(std::begin(Catalogue), std::end(Catalogue),
                                 [&](const ChipEntry& e) { return e.code == code && e.niiet == niietMode; });
    return it == std::end(Catalogue) ? nullptr : &*it;
}

const ChipEntry* FindChipByName(std::string_view name)
{
    // Names first: a menu item name can be another chip's name ("ATtiny261" is the item of
    // the ATtiny26).
    for (const ChipEntry& e : Catalogue)
        if (SameText(e.name, name))
            return &e;
    for (const ChipEntry& e : Catalogue)
        if (SameText(e.menuItem, name))
            return &e;
    // The NIIET parts also by the Latin spelling of their picture files ("1887VE4U").
    for (const ChipEntry& e : Catalogue)
        if (e.niiet && SameText(e.picture.substr(0, e.picture.rfind('.')), name))
            return &e;
    return nullptr;
}

}  // namespace velmora
