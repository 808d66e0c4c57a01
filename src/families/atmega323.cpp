// ATmega323: entered by the gateway; EEPROM bytes programmed one by one.
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits{
    .id = FamilyId::Atmega323,
    .entryPower = EntryPower::Gateway,
    .eepromWriteAddressHigh = AddressHighRule::OnWrap,
};
}  // namespace

const FamilyUnit& Atmega323() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
