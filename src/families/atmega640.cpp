// ATmega640/1280/1281/2560/2561: extended fuse byte, EEPROM pages of 8 bytes. The 256 KiB parts
// take a third address byte (BS2 = 1) at the start of each 128 KiB half on reads and on every
// page write; the page commit returns BS2 to 0 with PD_WORK.
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits{
    .id = FamilyId::Atmega640,
    .operations = ExtendedFuseOperations,
    .pageCommit = PageCommit::Bs1LowPortDWork,
};
}  // namespace

const FamilyUnit& Atmega640() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
