// ATmega603 and ATmega103: erase and fuse write by the gateway's long WR pulses (no RDY/BSY
// during them); a flash page is programmed whatever BS1 holds; only lock bits 1 and 2 exist,
// the others read as 1.
#include "families/lockbits.h"
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits{
    .id = FamilyId::Atmega603,
    .operations = Atmega161Operations,
    .entryPower = EntryPower::Gateway,
    .longErasePulse = true,
    .flashReadAddressHigh = AddressHighRule::EveryCall,
    .flashLatch = FlashLatch::TwoPagel,
    .pageCommit = PageCommit::AsLoaded,
    .eepromWriteAddressHigh = AddressHighRule::EveryCall,
    .lockReadText = " read Lock byte",
    .lockReadMask = OnlyLockBits12,
    .fuseLowReadText = " read Fuse byte",
    .fixedFusePulse = true,
};
}  // namespace

const FamilyUnit& Atmega603() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
