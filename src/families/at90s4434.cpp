// AT90S4434 and AT90S8535: as the AT90S4414; only the AT90S8535 has an EEPROM address high byte.
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits = [] {
    ParallelTraits t = At90sGeneration(FamilyId::At90s4434);
    t.wordLowPulseText = " 0x1D 0x03";
    t.fuseLockReadTrying = " read fuse- and lock-bits";
    return t;
}();
}  // namespace

const FamilyUnit& At90s4434() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
