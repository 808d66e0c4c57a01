// AT90S2333 and AT90S4433: the fuse byte (BS1 = 0) and the lock byte (BS1 = 1) are read
// separately; the fuse write logs no start line.
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits = [] {
    ParallelTraits t = At90sGeneration(FamilyId::At90s2333);
    t.wordLowPulseText = " 0x1D 0x03";
    t.fuseLockRead = FuseLockRead::Separate;
    t.fuseLockReadTrying = " read fuse- and lock-bits";
    t.fuseByteTryingLine = false;
    return t;
}();
}  // namespace

const FamilyUnit& At90s2333() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
