// ATtiny2313: entered by the gateway (+12 V within 60 us). PAGEL shares the BS1 pin and BS2 the
// XA1 pin, as on the ATtiny261: the datasheet latches on the PAGEL (= BS1) pulse and programs a
// page with BS1 = 0, so EEPROM bytes are latched by raising BS1 and every page commit lowers it
// first. Fuse and lock bytes are read in one operation with OE held low.
#include "families/parallelunit.h"
#include "families/units.h"

namespace velmora::units {

namespace {
constexpr ParallelTraits Traits{
    .id = FamilyId::Attiny2313,
    .operations = OperationSet{ChipOperation::EnterProgrammingMode, ChipOperation::ChipErase, ChipOperation::ReadFlashWord,
                                  ChipOperation::LoadFlashWord, ChipOperation::WriteFlashPage, ChipOperation::ReadEepromByte,
                                  ChipOperation::WriteEepromByte, ChipOperation::ReadFuseAndLockBits, ChipOperation::WriteLockBits,
                                  ChipOperation::WriteFuseLow, ChipOperation::WriteFuseHigh, ChipOperation::WriteFuseExtended,
                                  ChipOperation::ReadCalibration},
    .entryPower = EntryPower::Gateway,
    .flashReadAddressHigh = AddressHighRule::EveryCall,
    .flashLatch = FlashLatch::SharedBs1,
    .pageCommitText = " set BS1=0, GiveWRNegPulse",
    .eepromLatch = EepromLatch::SharedBs1,
    .bs2OnXa1 = true,
    .fuseHighSelectText = " set BS1=1, BS2(XA1)=0",
    .fuseHighPulseText = " 0x1D 0x03",
    .fuseExtendedSelectText = " set BS1=0, BS2(XA1)=1",
    .fuseLockRead = FuseLockRead::FourReads,
    .calibrationRead = CalibrationRead::SelectFirst,
};
}  // namespace

const FamilyUnit& Attiny2313() { return UnitFor<ParallelUnit, Traits>(); }

}  // namespace velmora::units
