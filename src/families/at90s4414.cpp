// AT90S4414 and AT90S8515: as the AT90S1200; only the AT90S8515 (512 bytes of EEPROM) has an EEPROM
// address high byte (catalogue).
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits = [] {
    ParallelTraits t = At90sGeneration(FamilyId::At90s4414);
    t.fuseLockReadTrying = " read fuse- and lock-bits";
    return t;
}();
}  // namespace

const FamilyUnit& At90s4414() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
