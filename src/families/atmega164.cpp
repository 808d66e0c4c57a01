// ATmega164, ATmega324 and ATmega644: extended fuse byte; the page commit also returns BS2 and
// XA0 to 0 (PD_WORK). EEPROM pages are 4 bytes, 8 on the ATmega644 (catalogue); the EEPROM
// address high byte is loaded when the low byte wraps.
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits{
    .id = FamilyId::Atmega164,
    .operations = ExtendedFuseOperations,
    .pageCommit = PageCommit::Bs1LowPortDWork,
    .eepromWriteAddressHigh = AddressHighRule::OnWrap,
};
}  // namespace

const FamilyUnit& Atmega164() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
