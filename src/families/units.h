#pragma once
// One function per family unit, each defined in the unit's own file (atmega8.cpp, ...).

#include "families/familyunit.h"

namespace velmora::units {

// High-voltage parallel programming.
const FamilyUnit& Atmega8();
const FamilyUnit& Atmega8515();
const FamilyUnit& Atmega16();
const FamilyUnit& Atmega163();
const FamilyUnit& Atmega323();
const FamilyUnit& Atmega48();
const FamilyUnit& Atmega162();
const FamilyUnit& Atmega164();
const FamilyUnit& Atmega169();
const FamilyUnit& Atmega64();
const FamilyUnit& Atmega640();
const FamilyUnit& At90can32();
const FamilyUnit& Attiny261();
const FamilyUnit& Attiny2313();
const FamilyUnit& Atmega161();
const FamilyUnit& Atmega603();
const FamilyUnit& At90s1200();
const FamilyUnit& At90s2313();
const FamilyUnit& At90s4414();
const FamilyUnit& At90s4434();
const FamilyUnit& At90s2333();

// Serial programming.
const FamilyUnit& Attiny13();
const FamilyUnit& Attiny26();
const FamilyUnit& Attiny25();
const FamilyUnit& Attiny12();
const FamilyUnit& Attiny15();
const FamilyUnit& At90s2323();
const FamilyUnit& At90s2343();
const FamilyUnit& Attiny22();

}  // namespace velmora::units
