// AT90CAN32/64/128: +12 V within 60 us of +5 V, so the gateway enters programming mode; the
// datasheet programs a flash page on the WR pulse whatever BS1 holds. EEPROM pages of 8 bytes:
// each byte is latched with PAGEL after its data load, as on the ATmega64. One calibration byte.
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits{
    .id = FamilyId::At90can32,
    .operations = ExtendedFuseOperations,
    .entryPower = EntryPower::Gateway,
    .entryTexts = CodeEntryTexts,
    .flashReadAddressHigh = AddressHighRule::EveryCall,
    .pageCommit = PageCommit::AsLoaded,
    .lockReadText = " read Lock-byte",
    .fuseExtendedSelectText = " set BS1=0, BS2=1",
    .calibrationRead = CalibrationRead::FirstByteOnly,
};
}  // namespace

const FamilyUnit& At90can32() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
