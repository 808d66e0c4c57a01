// ATmega64 and ATmega128: extended fuse byte, EEPROM pages of 8 bytes (catalogue).
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits{
    .id = FamilyId::Atmega64,
    .operations = ExtendedFuseOperations,
};
}  // namespace

const FamilyUnit& Atmega64() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
