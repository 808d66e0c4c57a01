#include "chips/catalogue.h"

#include <algorithm>
#include <cctype>

namespace velmora {

namespace {
// The order is the menu's: the NIIET parts come last so that a search by code meets the AVR
// entry first. Page sizes are the datasheets' (flash page 0: programmed word by word or byte by
// byte; EEPROM page 0: every byte programmed by its own write). The AT90S parts with at most 256
// bytes of EEPROM have no EEPROM address high byte to load; the ATtiny25/45/85 carry it in every
// serial EEPROM instruction, whatever their size.
constexpr ChipEntry Catalogue[ChipCount] = {
    {.name = "AT90S1200", .code = MakeSignatureCode(0x1E, 0x90, 0x01), .family = FamilyId::At90s1200,
     .flashSize = 1024, .flashPageBytes = 0, .eepromSize = 64, .eepromPageBytes = 0,
     .eepromAddressHigh = false, .calibrationCount = 0, .picture = "AT90S1200.jpg",
     .factory = {0xDF, 0xFF, 0xFF, 0xFF}, .factoryCount = 2, .menuItem = "AT90S12001", .menuEnabled = true, .niiet = false},
    {.name = "AT90S2313", .code = MakeSignatureCode(0x1E, 0x91, 0x01), .family = FamilyId::At90s2313,
     .flashSize = 2048, .flashPageBytes = 0, .eepromSize = 128, .eepromPageBytes = 0,
     .eepromAddressHigh = false, .calibrationCount = 0, .picture = "AT90S2313.jpg",
     .factory = {0xDF, 0xFF, 0xFF, 0xFF}, .factoryCount = 2, .menuItem = "AT90S23131", .menuEnabled = true, .niiet = false},
    {.name = "AT90S2323", .code = MakeSignatureCode(0x1E, 0x91, 0x02), .family = FamilyId::At90s2323,
     .flashSize = 2048, .flashPageBytes = 0, .eepromSize = 128, .eepromPageBytes = 0,
     .eepromAddressHigh = false, .calibrationCount = 0, .picture = "AT90S2323.jpg",
     .factory = {0xDE, 0xFF, 0xFF, 0xFF}, .factoryCount = 2, .menuItem = "AT90S23231", .menuEnabled = false, .niiet = false},
    {.name = "AT90S2333", .code = MakeSignatureCode(0x1E, 0x91, 0x05), .family = FamilyId::At90s2333,
     .flashSize = 2048, .flashPageBytes = 0, .eepromSize = 128, .eepromPageBytes = 0,
     .eepromAddressHigh = false, .calibrationCount = 0, .picture = "AT90S2333.jpg",
     .factory = {0xDA, 0xFF, 0xFF, 0xFF}, .factoryCount = 2, .menuItem = "AT90S23331", .menuEnabled = true, .niiet = false},
    {.name = "AT90S2343", .code = MakeSignatureCode(0x1E, 0x91, 0x03), .family = FamilyId::At90s2343,
     .flashSize = 2048, .flashPageBytes = 0, .eepromSize = 128, .eepromPageBytes = 0,
     .eepromAddressHigh = false, .calibrationCount = 0, .picture = "AT90S2343.jpg",
     .factory = {0xDE, 0xFF, 0xFF, 0xFF}, .factoryCount = 2, .menuItem = "AT90S23431", .menuEnabled = false, .niiet = false},
    {.name = "AT90S4414", .code = MakeSignatureCode(0x1E, 0x92, 0x01), .family = FamilyId::At90s4414,
     .flashSize = 4096, .flashPageBytes = 0, .eepromSize = 256, .eepromPageBytes = 0,
     .eepromAddressHigh = false, .calibrationCount = 0, .picture = "AT90S4414.jpg",
     .factory = {0xDF, 0xFF, 0xFF, 0xFF}, .factoryCount = 2, .menuItem = "AT90S44141", .menuEnabled = true, .niiet = false},
    {.name = "AT90S4433", .code = MakeSignatureCode(0x1E, 0x92, 0x03), .family = FamilyId::At90s2333,
     .flashSize = 4096, .flashPageBytes = 0, .eepromSize = 256, .eepromPageBytes = 0,
     .eepromAddressHigh = false, .calibrationCount = 0, .picture = "AT90S4433.jpg",
     .factory = {0xDA, 0xFF, 0xFF, 0xFF}, .factoryCount = 2, .menuItem = "AT90S44331", .menuEnabled = true, .niiet = false},
    {.name = "AT90S4434", .code = MakeSignatureCode(0x1E, 0x92, 0x02), .family = FamilyId::At90s4434,
     .flashSize = 4096, .flashPageBytes = 0, .eepromSize = 256, .eepromPageBytes = 0,
     .eepromAddressHigh = false, .calibrationCount = 0, .picture = "AT90S4434.jpg",
     .factory = {0xDF, 0xFF, 0xFF, 0xFF}, .factoryCount = 2, .menuItem = "AT90S44341", .menuEnabled = true, .niiet = false},
    {.name = "AT90S8515", .code = MakeSignatureCode(0x1E, 0x93, 0x01), .family = FamilyId::At90s4414,
     .flashSize = 8192, .flashPageBytes = 0, .eepromSize = 512, .eepromPageBytes = 0,
     .eepromAddressHigh = true, .calibrationCount = 0, .picture = "AT90S8515.jpg",
     .factory = {0xDF, 0xFF, 0xFF, 0xFF}, .factoryCount = 2, .menuItem = "AT90S85151", .menuEnabled = true, .niiet = false},
    {.name = "AT90S8535", .code = MakeSignatureCode(0x1E, 0x93, 0x03), .family = FamilyId::At90s4434,
     .flashSize = 8192, .flashPageBytes = 0, .eepromSize = 512, .eepromPageBytes = 0,
     .eepromAddressHigh = true, .calibrationCount = 0, .picture = "AT90S8535.jpg",
     .factory = {0xDF, 0xFF, 0xFF, 0xFF}, .factoryCount = 2, .menuItem = "AT90S85351", .menuEnabled = true, .niiet = false},
    {.name = "AT90CAN32", .code = MakeSignatureCode(0x1E, 0x95, 0x81), .family = FamilyId::At90can32,
     .flashSize = 32768, .flashPageBytes = 256, .eepromSize = 1024, .eepromPageBytes = 8,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "AT90CAN32.jpg",
     .factory = {0x62, 0x99, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "AT90CAN321", .menuEnabled = true, .niiet = false},
    {.name = "AT90CAN64", .code = MakeSignatureCode(0x1E, 0x96, 0x81), .family = FamilyId::At90can32,
     .flashSize = 65536, .flashPageBytes = 256, .eepromSize = 2048, .eepromPageBytes = 8,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "AT90CAN64.jpg",
     .factory = {0x62, 0x99, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "AT90CAN641", .menuEnabled = true, .niiet = false},
    {.name = "AT90CAN128", .code = MakeSignatureCode(0x1E, 0x97, 0x81), .family = FamilyId::At90can32,
     .flashSize = 131072, .flashPageBytes = 256, .eepromSize = 4096, .eepromPageBytes = 8,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "AT90CAN128.jpg",
     .factory = {0x62, 0x99, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "AT90CAN1281", .menuEnabled = true, .niiet = false},
    {.name = "ATtiny12", .code = MakeSignatureCode(0x1E, 0x90, 0x05), .family = FamilyId::Attiny12,
     .flashSize = 1024, .flashPageBytes = 0, .eepromSize = 64, .eepromPageBytes = 0,
     .eepromAddressHigh = false, .calibrationCount = 1, .picture = "ATtiny12.jpg",
     .factory = {0x52, 0xFF, 0xFF, 0xFF}, .factoryCount = 2, .menuItem = "ATtiny121", .menuEnabled = false, .niiet = false},
    {.name = "ATtiny13", .code = MakeSignatureCode(0x1E, 0x90, 0x07), .family = FamilyId::Attiny13,
     .flashSize = 1024, .flashPageBytes = 32, .eepromSize = 64, .eepromPageBytes = 4,
     .eepromAddressHigh = false, .calibrationCount = 1, .picture = "ATtiny13.jpg",
     .factory = {0x6A, 0xFF, 0xFF, 0xFF}, .factoryCount = 3, .menuItem = "ATtiny131", .menuEnabled = false, .niiet = false},
    {.name = "ATtiny15", .code = MakeSignatureCode(0x1E, 0x90, 0x06), .family = FamilyId::Attiny15,
     .flashSize = 1024, .flashPageBytes = 0, .eepromSize = 64, .eepromPageBytes = 0,
     .eepromAddressHigh = false, .calibrationCount = 1, .picture = "ATtiny15.jpg",
     .factory = {0x5C, 0xFF, 0xFF, 0xFF}, .factoryCount = 2, .menuItem = "ATtiny151", .menuEnabled = false, .niiet = false},
    {.name = "ATtiny22", .code = MakeSignatureCode(0x1E, 0x91, 0x06), .family = FamilyId::Attiny22,
     .flashSize = 2048, .flashPageBytes = 0, .eepromSize = 128, .eepromPageBytes = 0,
     .eepromAddressHigh = false, .calibrationCount = 1, .picture = "ATtiny22.jpg",
     .factory = {0xDE, 0xFF, 0xFF, 0xFF}, .factoryCount = 2, .menuItem = "ATtiny221", .menuEnabled = false, .niiet = false},
    {.name = "ATtiny2313", .code = MakeSignatureCode(0x1E, 0x91, 0x0A), .family = FamilyId::Attiny2313,
     .flashSize = 2048, .flashPageBytes = 32, .eepromSize = 128, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 2, .picture = "ATtiny2313.jpg",
     .factory = {0x64, 0xDF, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "tiny23131", .menuEnabled = true, .niiet = false},
    {.name = "ATtiny25", .code = MakeSignatureCode(0x1E, 0x91, 0x08), .family = FamilyId::Attiny25,
     .flashSize = 2048, .flashPageBytes = 32, .eepromSize = 128, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 2, .picture = "ATtiny25.jpg",
     .factory = {0x62, 0xDF, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "ATtiny251", .menuEnabled = false, .niiet = false},
    {.name = "ATtiny26", .code = MakeSignatureCode(0x1E, 0x91, 0x09), .family = FamilyId::Attiny26,
     .flashSize = 2048, .flashPageBytes = 32, .eepromSize = 128, .eepromPageBytes = 0,
     .eepromAddressHigh = false, .calibrationCount = 4, .picture = "ATtiny26.jpg",
     .factory = {0xE1, 0xF7, 0xFF, 0xFF}, .factoryCount = 3, .menuItem = "ATtiny261", .menuEnabled = false, .niiet = false},
    {.name = "ATtiny261", .code = MakeSignatureCode(0x1E, 0x91, 0x0C), .family = FamilyId::Attiny261,
     .flashSize = 2048, .flashPageBytes = 32, .eepromSize = 128, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATtiny261.jpg",
     .factory = {0x62, 0xDF, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "ATtiny2611", .menuEnabled = true, .niiet = false},
    {.name = "ATtiny45", .code = MakeSignatureCode(0x1E, 0x92, 0x06), .family = FamilyId::Attiny25,
     .flashSize = 4096, .flashPageBytes = 64, .eepromSize = 256, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 2, .picture = "ATtiny45.jpg",
     .factory = {0x62, 0xDF, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "ATtiny451", .menuEnabled = false, .niiet = false},
    {.name = "ATtiny461", .code = MakeSignatureCode(0x1E, 0x92, 0x08), .family = FamilyId::Attiny261,
     .flashSize = 4096, .flashPageBytes = 64, .eepromSize = 256, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATtiny461.jpg",
     .factory = {0x62, 0xDF, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "ATtiny4611", .menuEnabled = true, .niiet = false},
    {.name = "ATtiny85", .code = MakeSignatureCode(0x1E, 0x93, 0x0B), .family = FamilyId::Attiny25,
     .flashSize = 8192, .flashPageBytes = 64, .eepromSize = 512, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 2, .picture = "ATtiny85.jpg",
     .factory = {0x62, 0xDF, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "ATtiny851", .menuEnabled = false, .niiet = false},
    {.name = "ATtiny861", .code = MakeSignatureCode(0x1E, 0x93, 0x0D), .family = FamilyId::Attiny261,
     .flashSize = 8192, .flashPageBytes = 64, .eepromSize = 512, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATtiny861.jpg",
     .factory = {0x62, 0xDF, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "ATtiny8611", .menuEnabled = true, .niiet = false},
    {.name = "ATmega103", .code = MakeSignatureCode(0x1E, 0x97, 0x01), .family = FamilyId::Atmega603,
     .flashSize = 131072, .flashPageBytes = 256, .eepromSize = 4096, .eepromPageBytes = 0,
     .eepromAddressHigh = true, .calibrationCount = 0, .picture = "ATmega103.jpg",
     .factory = {0xDF, 0xFF, 0xFF, 0xFF}, .factoryCount = 2, .menuItem = "ATmega1031", .menuEnabled = true, .niiet = false},
    {.name = "ATmega128", .code = MakeSignatureCode(0x1E, 0x97, 0x02), .family = FamilyId::Atmega64,
     .flashSize = 131072, .flashPageBytes = 256, .eepromSize = 4096, .eepromPageBytes = 8,
     .eepromAddressHigh = true, .calibrationCount = 4, .picture = "ATmega128.jpg",
     .factory = {0xE1, 0x99, 0xFD, 0xFF}, .factoryCount = 4, .menuItem = "ATmega1281", .menuEnabled = true, .niiet = false},
    {.name = "ATmega1280", .code = MakeSignatureCode(0x1E, 0x97, 0x03), .family = FamilyId::Atmega640,
     .flashSize = 131072, .flashPageBytes = 256, .eepromSize = 4096, .eepromPageBytes = 8,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATmega1280.jpg",
     .factory = {0x62, 0x99, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "ATmega12801", .menuEnabled = true, .niiet = false},
    {.name = "ATmega1281", .code = MakeSignatureCode(0x1E, 0x97, 0x04), .family = FamilyId::Atmega640,
     .flashSize = 131072, .flashPageBytes = 256, .eepromSize = 4096, .eepromPageBytes = 8,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATmega1281.jpg",
     .factory = {0x62, 0x99, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "ATmega12811", .menuEnabled = true, .niiet = false},
    {.name = "ATmega16", .code = MakeSignatureCode(0x1E, 0x94, 0x03), .family = FamilyId::Atmega16,
     .flashSize = 16384, .flashPageBytes = 128, .eepromSize = 512, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 4, .picture = "ATmega16.jpg",
     .factory = {0xE1, 0x99, 0xFF, 0xFF}, .factoryCount = 3, .menuItem = "ATmega161", .menuEnabled = true, .niiet = false},
    {.name = "ATmega161", .code = MakeSignatureCode(0x1E, 0x94, 0x01), .family = FamilyId::Atmega161,
     .flashSize = 16384, .flashPageBytes = 128, .eepromSize = 512, .eepromPageBytes = 0,
     .eepromAddressHigh = true, .calibrationCount = 0, .picture = "ATmega161.jpg",
     .factory = {0xDA, 0xFF, 0xFF, 0xFF}, .factoryCount = 2, .menuItem = "ATmega1611", .menuEnabled = true, .niiet = false},
    {.name = "ATmega162", .code = MakeSignatureCode(0x1E, 0x94, 0x04), .family = FamilyId::Atmega162,
     .flashSize = 16384, .flashPageBytes = 128, .eepromSize = 512, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATmega162.jpg",
     .factory = {0x62, 0x99, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "ATmega1621", .menuEnabled = true, .niiet = false},
    {.name = "ATmega163", .code = MakeSignatureCode(0x1E, 0x94, 0x02), .family = FamilyId::Atmega163,
     .flashSize = 16384, .flashPageBytes = 128, .eepromSize = 512, .eepromPageBytes = 0,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATmega163.jpg",
     .factory = {0xD2, 0xFF, 0xFF, 0xFF}, .factoryCount = 3, .menuItem = "ATmega1631", .menuEnabled = true, .niiet = false},
    {.name = "ATmega164", .code = MakeSignatureCode(0x1E, 0x94, 0x0A), .family = FamilyId::Atmega164,
     .flashSize = 16384, .flashPageBytes = 128, .eepromSize = 512, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATmega164.jpg",
     .factory = {0x62, 0x99, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "ATmega1641", .menuEnabled = true, .niiet = false},
    {.name = "ATmega168", .code = MakeSignatureCode(0x1E, 0x94, 0x06), .family = FamilyId::Atmega48,
     .flashSize = 16384, .flashPageBytes = 128, .eepromSize = 512, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATmega168.jpg",
     .factory = {0x62, 0xDF, 0xF9, 0xFF}, .factoryCount = 4, .menuItem = "ATmega1681", .menuEnabled = true, .niiet = false},
    {.name = "ATmega168PA", .code = MakeSignatureCode(0x1E, 0x94, 0x0B), .family = FamilyId::Atmega48,
     .flashSize = 16384, .flashPageBytes = 128, .eepromSize = 512, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATmega168.jpg",
     .factory = {0x62, 0xDF, 0xF9, 0xFF}, .factoryCount = 4, .menuItem = "ATmega168PA1", .menuEnabled = true, .niiet = false},
    {.name = "ATmega169", .code = MakeSignatureCode(0x1E, 0x94, 0x05), .family = FamilyId::Atmega169,
     .flashSize = 16384, .flashPageBytes = 128, .eepromSize = 512, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATmega169.jpg",
     .factory = {0x62, 0x99, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "ATmega1691", .menuEnabled = true, .niiet = false},
    {.name = "ATmega2560", .code = MakeSignatureCode(0x1E, 0x98, 0x01), .family = FamilyId::Atmega640,
     .flashSize = 262144, .flashPageBytes = 256, .eepromSize = 4096, .eepromPageBytes = 8,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATmega2560.jpg",
     .factory = {0x62, 0x99, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "ATmega25601", .menuEnabled = true, .niiet = false},
    {.name = "ATmega2561", .code = MakeSignatureCode(0x1E, 0x98, 0x02), .family = FamilyId::Atmega640,
     .flashSize = 262144, .flashPageBytes = 256, .eepromSize = 4096, .eepromPageBytes = 8,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATmega2561.jpg",
     .factory = {0x62, 0x99, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "ATmega25611", .menuEnabled = true, .niiet = false},
    {.name = "ATmega32", .code = MakeSignatureCode(0x1E, 0x95, 0x02), .family = FamilyId::Atmega16,
     .flashSize = 32768, .flashPageBytes = 128, .eepromSize = 1024, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 4, .picture = "ATmega32.jpg",
     .factory = {0xE1, 0x99, 0xFF, 0xFF}, .factoryCount = 3, .menuItem = "ATmega321", .menuEnabled = true, .niiet = false},
    {.name = "ATmega323", .code = MakeSignatureCode(0x1E, 0x95, 0x01), .family = FamilyId::Atmega323,
     .flashSize = 32768, .flashPageBytes = 128, .eepromSize = 1024, .eepromPageBytes = 0,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATmega323.jpg",
     .factory = {0xF2, 0x9F, 0xFF, 0xFF}, .factoryCount = 3, .menuItem = "ATmega3231", .menuEnabled = true, .niiet = false},
    {.name = "ATmega324", .code = MakeSignatureCode(0x1E, 0x95, 0x08), .family = FamilyId::Atmega164,
     .flashSize = 32768, .flashPageBytes = 128, .eepromSize = 1024, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATmega324.jpg",
     .factory = {0x62, 0x99, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "ATmega3241", .menuEnabled = true, .niiet = false},
    {.name = "ATmega48", .code = MakeSignatureCode(0x1E, 0x92, 0x05), .family = FamilyId::Atmega48,
     .flashSize = 4096, .flashPageBytes = 64, .eepromSize = 256, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATmega48.jpg",
     .factory = {0x62, 0xDF, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "ATmega481", .menuEnabled = true, .niiet = false},
    {.name = "ATmega48PA", .code = MakeSignatureCode(0x1E, 0x92, 0x0A), .family = FamilyId::Atmega48,
     .flashSize = 4096, .flashPageBytes = 64, .eepromSize = 256, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATmega48.jpg",
     .factory = {0x62, 0xDF, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "ATmega48PA1", .menuEnabled = true, .niiet = false},
    {.name = "ATmega603", .code = MakeSignatureCode(0x1E, 0x96, 0x01), .family = FamilyId::Atmega603,
     .flashSize = 65536, .flashPageBytes = 256, .eepromSize = 2048, .eepromPageBytes = 0,
     .eepromAddressHigh = true, .calibrationCount = 0, .picture = "ATmega603.jpg",
     .factory = {0xDF, 0xFF, 0xFF, 0xFF}, .factoryCount = 2, .menuItem = "ATmega6031", .menuEnabled = true, .niiet = false},
    {.name = "ATmega64", .code = MakeSignatureCode(0x1E, 0x96, 0x02), .family = FamilyId::Atmega64,
     .flashSize = 65536, .flashPageBytes = 256, .eepromSize = 2048, .eepromPageBytes = 8,
     .eepromAddressHigh = true, .calibrationCount = 4, .picture = "ATmega64.jpg",
     .factory = {0xE1, 0x99, 0xFD, 0xFF}, .factoryCount = 4, .menuItem = "ATmega641", .menuEnabled = true, .niiet = false},
    {.name = "ATmega640", .code = MakeSignatureCode(0x1E, 0x96, 0x08), .family = FamilyId::Atmega640,
     .flashSize = 65536, .flashPageBytes = 256, .eepromSize = 4096, .eepromPageBytes = 8,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATmega640.jpg",
     .factory = {0x62, 0x99, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "ATmega6401", .menuEnabled = true, .niiet = false},
    {.name = "ATmega644", .code = MakeSignatureCode(0x1E, 0x96, 0x0A), .family = FamilyId::Atmega164,
     .flashSize = 65536, .flashPageBytes = 256, .eepromSize = 2048, .eepromPageBytes = 8,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATmega644.jpg",
     .factory = {0x62, 0x99, 0xFF, 0xFF}, .factoryCount = 4, .menuItem = "ATmega6441", .menuEnabled = true, .niiet = false},
    {.name = "ATmega8", .code = MakeSignatureCode(0x1E, 0x93, 0x07), .family = FamilyId::Atmega8,
     .flashSize = 8192, .flashPageBytes = 64, .eepromSize = 512, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 4, .picture = "ATmega8.jpg",
     .factory = {0xE1, 0xD9, 0xFF, 0xFF}, .factoryCount = 3, .menuItem = "ATmega81", .menuEnabled = true, .niiet = false},
    {.name = "ATmega8515", .code = MakeSignatureCode(0x1E, 0x93, 0x06), .family = FamilyId::Atmega8515,
     .flashSize = 8192, .flashPageBytes = 64, .eepromSize = 512, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 4, .picture = "ATmega8515.jpg",
     .factory = {0xE1, 0xD9, 0xFF, 0xFF}, .factoryCount = 3, .menuItem = "ATmega85151", .menuEnabled = true, .niiet = false},
    {.name = "ATmega8535", .code = MakeSignatureCode(0x1E, 0x93, 0x08), .family = FamilyId::Atmega8515,
     .flashSize = 8192, .flashPageBytes = 64, .eepromSize = 512, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 4, .picture = "ATmega8535.jpg",
     .factory = {0xE1, 0xD9, 0xFF, 0xFF}, .factoryCount = 3, .menuItem = "ATmega85351", .menuEnabled = true, .niiet = false},
    {.name = "ATmega88", .code = MakeSignatureCode(0x1E, 0x93, 0x0A), .family = FamilyId::Atmega48,
     .flashSize = 8192, .flashPageBytes = 64, .eepromSize = 512, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATmega88.jpg",
     .factory = {0x62, 0xDF, 0xF9, 0xFF}, .factoryCount = 4, .menuItem = "ATmega881", .menuEnabled = true, .niiet = false},
    {.name = "ATmega88PA", .code = MakeSignatureCode(0x1E, 0x93, 0x0F), .family = FamilyId::Atmega48,
     .flashSize = 8192, .flashPageBytes = 64, .eepromSize = 512, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 1, .picture = "ATmega88.jpg",
     .factory = {0x62, 0xDF, 0xF9, 0xFF}, .factoryCount = 4, .menuItem = "ATmega88PA1", .menuEnabled = true, .niiet = false},
    {.name = "1887ВЕ4У", .code = MakeSignatureCode(0x1E, 0x93, 0x08), .family = FamilyId::Atmega8515,
     .flashSize = 8192, .flashPageBytes = 64, .eepromSize = 1024, .eepromPageBytes = 4,
     .eepromAddressHigh = true, .calibrationCount = 4, .picture = "1887VE4U.jpg",
     .factory = {0xE1, 0xD9, 0xFF, 0xFF}, .factoryCount = 3, .menuItem = "N188741", .menuEnabled = true, .niiet = true},
    {.name = "1887ВЕ7Т", .code = MakeSignatureCode(0x1E, 0x97, 0x02), .family = FamilyId::Atmega64,
     .flashSize = 131072, .flashPageBytes = 256, .eepromSize = 4096, .eepromPageBytes = 8,
     .eepromAddressHigh = true, .calibrationCount = 4, .picture = "1887VE7T.jpg",
     .factory = {0xE1, 0x99, 0xFD, 0xFF}, .factoryCount = 4, .menuItem = "N188771", .menuEnabled = true, .niiet = true},
};

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}
}  // namespace

std::string_view FamilyName(FamilyId id)
{
    static constexpr std::array<std::string_view, FamilyCount> Names = {
#define VELMORA_FAMILY(name, progress) #name,
#include "chips/familylist.h"
#undef VELMORA_FAMILY
    };
    return Names[static_cast<std::size_t>(id)];
}

std::span<const ChipEntry, ChipCount> ChipCatalogue()
{
    return std::span<const ChipEntry, ChipCount>(Catalogue);
}

const ChipEntry* FindChipEntry(SignatureCode code, bool niietMode)
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
