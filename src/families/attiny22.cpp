// ATtiny22 (datasheet "Serial Programming Instruction Set"): the instructions, times and lock and
// fuse forms of the AT90S2323 (at90s2323.h).
#include "families/at90s2323.h"
#include "families/units.h"

namespace velmora {

namespace {
constexpr SerialTraits Traits = At90s2323Traits(FamilyId::Attiny22);
}  // namespace

const FamilyUnit& units::Attiny22() { return UnitFor<SerialUnit, Traits>(); }

}  // namespace velmora
