// AT90S2323: see at90s2323.h.
#include "families/at90s2323.h"
#include "families/units.h"

namespace velmora {

namespace {
constexpr SerialTraits Traits = At90s2323Traits(FamilyId::At90s2323);
}  // namespace

const FamilyUnit& units::At90s2323() { return UnitFor<SerialUnit, Traits>(); }

}  // namespace velmora
