// ATtiny25/45/85 (datasheet "Serial Programming Instruction Set"): every instruction carries
// the full address: Load Program Memory Page 0100 H000 000a aaaa bbbb bbbb, Write Program
// Memory Page 0100 1100 000a aaaa bbbb bbbb, Read and Write EEPROM (Page) with the address
// high bits in the second byte (the rows' eepromAddressHigh). With the full address in every
// load, Write Program commits after every 32 bytes, also the 64-byte pages of the ATtiny45/85:
// each half is programmed on its own. An extended fuse byte (50 08 / AC A4); the lock and fuse
// bytes are read and written as they are. The lock byte follows the extended fuse byte in slot 3.
#include "families/serialunit.h"
#include "families/units.h"

namespace velmora {

namespace {

constexpr std::array<ChipOperation, 4> ReadOrder{ChipOperation::ReadLockBits, ChipOperation::ReadFuseExtended,
                                                 ChipOperation::ReadFuseHigh, ChipOperation::ReadFuseLow};
constexpr std::array<ChipOperation, 4> WriteOrder{ChipOperation::WriteFuseExtended, ChipOperation::WriteFuseHigh,
                                                  ChipOperation::WriteFuseLow, ChipOperation::WriteLockBits};

constexpr SerialTraits Traits{
    .id = FamilyId::Attiny25,
    .operations = Attiny13Operations.With({ChipOperation::ReadFuseExtended, ChipOperation::WriteFuseExtended}),
    .lockFuseReadOrder = ReadOrder,
    .lockFuseWriteOrder = WriteOrder,
    .loadPageFullAddress = true,
    .flashCommitBytes = 32,
    .lockOr = 0x00,
    .fuseHighOr = 0x00,
};

}  // namespace

const FamilyUnit& units::Attiny25() { return UnitFor<SerialUnit, Traits>(); }

}  // namespace velmora
