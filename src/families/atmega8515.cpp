// ATmega8515 and ATmega8535: programmed as the ATmega8 (same page geometry and commands).
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits{
    .id = FamilyId::Atmega8515,
};
}  // namespace

const FamilyUnit& Atmega8515() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
