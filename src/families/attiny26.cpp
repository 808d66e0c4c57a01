// ATtiny26 (datasheet "Serial Programming Instruction Set"): as the ATtiny13, with 1024 flash
// words (two address bits in the second byte, 0000 00aa) and a 128-byte EEPROM written a
// byte at a time (1100 0000 ... 0bbb bbbb, t_WD_EEPROM 9 ms); it has no EEPROM page buffer.
#include "families/serialunit.h"
#include "families/units.h"

namespace velmora {

const FamilyUnit& units::Attiny26()
{
    static const SerialUnit unit(SerialTraits{
        .id = FamilyId::Attiny26,
        .operations = Attiny13Operations.Without({ChipOperation::WriteEepromPage}),
    });
    return unit;
}

}  // namespace velmora
