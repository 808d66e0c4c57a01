// AT90S2343 (datasheet "Serial Programming Instruction Set"): the instructions, times and lock and
// fuse forms of the AT90S2323 (at90s2323.h).
#include "families/at90s2323.h"
#include "families/units.h"

namespace velmora {

namespace {
constexpr SerialTraits Traits = At90s2323Traits(FamilyId::At90s2343);
}  // namespace

const FamilyUnit& units::At90s2343() { return UnitFor<SerialUnit, Traits>(); }

}  // namespace velmora
