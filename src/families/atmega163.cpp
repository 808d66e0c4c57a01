// ATmega163: entered by the gateway; its datasheet latches each data byte into the page
// buffer with its own PAGEL pulse, and programs every EEPROM byte by its own WR pulse.
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits{
    .id = FamilyId::Atmega163,
    .entryPower = EntryPower::Gateway,
    .flashLatch = FlashLatch::TwoPagel,
    .eepromWriteAddressHigh = AddressHighRule::OnWrap,
};
}  // namespace

const FamilyUnit& Atmega163() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
