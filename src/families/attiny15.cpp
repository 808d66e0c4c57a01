// ATtiny15 (datasheet "Serial Programming Instruction Set"): as the ATtiny12, without the
// zero-word write between erases. Its fuse byte is BODLEVEL, BODEN, SPIEN, RSTDISBL, two
// unused bits (3 and 2, read as 1: the factory value 0x5C), then CKSEL1..0; the unused bits
// are read and written as 1, CKSEL1 as the user set it.
#include "families/attiny12.h"
#include "families/units.h"

namespace velmora {

namespace {
constexpr SerialTraits Traits = [] {
    SerialTraits t = Attiny12Traits;
    t.id = FamilyId::Attiny15;
    t.operations = t.operations.Without({ChipOperation::WriteFlashZeroWord});
    t.fuseLowOr = 0x0C;
    return t;
}();
}  // namespace

const FamilyUnit& units::Attiny15() { return UnitFor<SerialUnit, Traits>(); }

}  // namespace velmora
