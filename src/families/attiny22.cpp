// ATtiny22 (datasheet "Serial Programming Instruction Set"): the instructions, times and lock and
// fuse forms of the AT90S2323 (at90s2323.h).
#include "families/at90s2323.h"
#include "families/units.h"

namespace velmora {

const FamilyUnit& units::Attiny22()
{
    static const SerialUnit unit([] {
        SerialTraits t = At90s2323Traits;
        t.id = FamilyId::Attiny22;
        return t;
    }());
    return unit;
}

}  // namespace velmora
