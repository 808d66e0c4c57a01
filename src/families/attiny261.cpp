// ATtiny261/461/861: PAGEL shares the BS1 pin and BS2 the XA1 pin. The data high load
// (BS1 = 1) latches a flash word; an EEPROM byte is latched by raising BS1 after its data load;
// BS1 = 0 before the WR pulse that programs a page.
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits{
    .id = FamilyId::Attiny261,
    .operations = ExtendedFuseOperations,
    .flashLatch = FlashLatch::SharedBs1,
    .pageCommitText = " set BS1=0, GiveWRNegPulse",
    .eepromLatch = EepromLatch::SharedBs1,
    .lockReadText = " set BS2(XA1)=0, BS1=1",
    .bs2OnXa1 = true,
    .fuseHighSelectText = " set BS1=1, BS2(XA1)=0",
    .fuseExtendedSelectText = " set BS2(XA1)=1, BS1=0",
};
}  // namespace

const FamilyUnit& Attiny261() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
