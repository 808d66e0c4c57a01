// AT90S2323: see at90s2323.h.
#include "families/at90s2323.h"
#include "families/units.h"

namespace velmora {

const FamilyUnit& units::At90s2323()
{
    static const SerialUnit unit(At90s2323Traits);
    return unit;
}

}  // namespace velmora
