// ATmega48/88/168 and their PA versions: +12 V must follow +5 V within 60 us, so the gateway
// enters programming mode; extended fuse byte selected by BS2 on port D.
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits{
    .id = FamilyId::Atmega48,
    .operations = ExtendedFuseOperations,
    .entryPower = EntryPower::Gateway,
    .flashReadAddressHigh = AddressHighRule::EveryCall,
    .fuseExtendedSelectText = " set BS2=1, BS1=0",
};
}  // namespace

const FamilyUnit& Atmega48() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
