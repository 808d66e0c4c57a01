#pragma once
// One function per family unit of chips/familylist.h, each defined in the unit's own file
// (atmega8.cpp, ...).

#include "families/familyunit.h"

namespace velmora::units {

#define VELMORA_FAMILY(name, progress) const FamilyUnit& name();
#include "chips/familylist.h"
#undef VELMORA_FAMILY

}  // namespace velmora::units
