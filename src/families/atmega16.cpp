// ATmega16 and ATmega32: programmed as the ATmega8, with 64-word flash pages (catalogue).
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits{
    .id = FamilyId::Atmega16,
};
}  // namespace

const FamilyUnit& Atmega16() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
