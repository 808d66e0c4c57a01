// The family units, one line each, in the order of the unit registry: the high-voltage
// parallel units, then the serial ones. No include guard: each user defines VELMORA_FAMILY and
// includes this list where it needs it.
//
//   VELMORA_FAMILY(Name, progress rule)
//
// Name is the unit's name as the sources and the log of a developer name it: its file is
// src/families/<name in lower case>.cpp and defines units::Name(). The progress rule says when
// the memory commands move the progress bar (ops/progressrules.cpp has its helpers). Adding a
// family is adding its file and one line here; the enum, the counts, the names, the registry
// and the build follow from this list.

VELMORA_FAMILY(Atmega8, Rules(Every32Words, Every16Words))
VELMORA_FAMILY(Atmega8515, Rules(Every32Words, Every32Words))
VELMORA_FAMILY(Atmega16, Default)
VELMORA_FAMILY(Atmega163, SecondByte)
VELMORA_FAMILY(Atmega323, SecondByte)
VELMORA_FAMILY(Atmega48, Default)
VELMORA_FAMILY(Atmega162, SecondByte)
// The ATmega644 (256-byte flash pages, 8-byte EEPROM pages) reports like the ATmega64.
VELMORA_FAMILY(Atmega164, Eeprom(OtherPages(Rules(Every16Words, Every16WordsSecondByte), 256, 2), 3, 0))
VELMORA_FAMILY(Atmega169, SecondByte)
VELMORA_FAMILY(Atmega64, SecondByte)
VELMORA_FAMILY(Atmega640, SecondByte)
VELMORA_FAMILY(At90can32, Eeprom(Rules(Every128Words, Every128Words), 7, 7))
// The ATtiny261 (32-byte pages) counts to the first byte, the ATtiny461 and 861 to the second.
VELMORA_FAMILY(Attiny261, OtherPages(SecondByte, 32, 1))
VELMORA_FAMILY(Attiny2313, Rules(Every16WordsSecondByte, Every16Words, 2))
VELMORA_FAMILY(Atmega161, Rules(Every16Words, Every16Words, 2))
VELMORA_FAMILY(Atmega603, Eeprom(Rules(Every128Words, Every16Words, 2), 0x1F, 0x1F))
VELMORA_FAMILY(At90s1200, Default)
VELMORA_FAMILY(At90s2313, Default)
VELMORA_FAMILY(At90s4414, Default)
VELMORA_FAMILY(At90s4434, Default)
VELMORA_FAMILY(At90s2333, Rules(Every16Words, Every16Words, 2))
VELMORA_FAMILY(Attiny13, Default)
VELMORA_FAMILY(Attiny26, Default)
VELMORA_FAMILY(Attiny25, Default)
VELMORA_FAMILY(Attiny12, Default)
VELMORA_FAMILY(Attiny15, Default)
VELMORA_FAMILY(At90s2323, Default)
VELMORA_FAMILY(At90s2343, Default)
VELMORA_FAMILY(Attiny22, Default)
