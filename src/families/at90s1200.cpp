// AT90S1200: flash programmed word by word, fuse and lock bits read as one byte; no EEPROM
// address high byte (64 bytes).
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits = [] {
    ParallelTraits t = At90sGeneration(FamilyId::At90s1200);
    t.entryTexts = At90s1200EntryTexts;
    return t;
}();
}  // namespace

const FamilyUnit& At90s1200() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
