// ATtiny12: see attiny12.h. Write Program and Chip Erase erase it twice, with 0xFF written
// into the low byte of word 0 between the two erases (WriteFlashZeroWord, 4 ms like any
// flash byte).
#include "families/attiny12.h"
#include "families/units.h"

namespace velmora {

const FamilyUnit& units::Attiny12() { return UnitFor<SerialUnit, Attiny12Traits>(); }

}  // namespace velmora
