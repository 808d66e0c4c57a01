// AT90S2313: as the AT90S1200; no EEPROM address high byte (128 bytes).
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits = [] {
    ParallelTraits t = At90sGeneration(FamilyId::At90s2313);
    return t;
}();
}  // namespace

const FamilyUnit& At90s2313() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
