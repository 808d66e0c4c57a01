// ATmega162: extended fuse byte; its calibration byte is read through the ATmega163 unit.
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits{
    .id = FamilyId::Atmega162,
    .operations = ExtendedFuseOperations.Without({ChipOperation::ReadCalibration}),
    .calibrationFrom = FamilyId::Atmega163,
};
}  // namespace

const FamilyUnit& Atmega162() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
