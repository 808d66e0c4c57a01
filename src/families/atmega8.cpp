// The ATmega8: the traits' defaults are this unit. The PC powers the chip up (+5 V, six XTAL1
// pulses, +12 V), pages of 32 words latched by PAGEL and programmed with BS1 = 0, EEPROM pages
// of 4 bytes, calibration bytes read with BS1 = 1 under the signature command.
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits{
    .id = FamilyId::Atmega8,
};
}  // namespace

const FamilyUnit& Atmega8() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
