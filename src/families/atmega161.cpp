// ATmega161: entered by the gateway; each data byte latched by its own PAGEL pulse; one fuse
// byte, the lock byte in slot 1; EEPROM bytes programmed one by one.
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits{
    .id = FamilyId::Atmega161,
    .operations = Atmega161Operations,
    .entryPower = EntryPower::Gateway,
    .flashLatch = FlashLatch::TwoPagel,
    .eepromWriteAddressHigh = AddressHighRule::OnWrap,
};
}  // namespace

const FamilyUnit& Atmega161() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
