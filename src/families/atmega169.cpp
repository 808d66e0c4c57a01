// ATmega169: as the ATmega8, with the extended fuse byte.
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits{
    .id = FamilyId::Atmega169,
    .operations = ExtendedFuseOperations,
};
}  // namespace

const FamilyUnit& Atmega169() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
