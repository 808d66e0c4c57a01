// ATtiny13 (datasheet "Serial Programming Instruction Set"): flash pages of 16 words loaded
// with the in-page word address (0100 H000 000x xxxx xxxx bbbb), committed with the page
// address (0100 1100 0000 000a bbbb xxxx); EEPROM pages of 4 bytes (C1 load, C2 write); lock
// bits in bits 1..0, fuse high bits 4..0, every other bit read and written as 1. No ready
// polling: the fixed waits (page 5 ms, erase 9 ms) exceed the datasheet's write times.
#include "families/serialunit.h"
#include "families/units.h"

namespace velmora {

namespace {
constexpr SerialTraits Traits{};
}  // namespace

const FamilyUnit& units::Attiny13() { return UnitFor<SerialUnit, Traits>(); }

}  // namespace velmora
