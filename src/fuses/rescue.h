#pragma once
// Rescue of a chip that its lock and fuse bytes have shut off: what a high-voltage programmer
// is bought for. In parallel programming mode neither the clock source, nor a disabled reset
// pin, nor SPIEN or debugWIRE keep the programmer out, so the chip's bytes can be read, the
// chip erased where lock bits block the fuse write, and the catalogue's factory values
// written back.

#include "fuses/fusecommands.h"
#include "ops/approval.h"

#include <QString>
#include <QStringList>

namespace velmora {

// What is wrong with values, in plain words, one entry each: the external clock, a disabled
// reset pin, serial programming disabled, debugWIRE on, lock bits programmed.
QStringList RescueFindings(const FuseLayout& layout, ConstFuseSlots values);

// Whether values have a lock bit programmed that keeps the fuses from being written (LB1, LB2:
// the datasheets' lock modes 2 and 3); only a chip erase clears it.
bool LockBlocksFuseWrite(const FuseLayout& layout, ConstFuseSlots values);

// Whether a rescue can reach the chip: only chips entered in parallel programming mode; a chip
// programmed over SPI is shut out by the very bits a rescue would mend.
bool RescueReaches(const ChipEntry& entry);

// The question before the erase a rescue needs.
inline const QString RescueEraseQuestion =
    QStringLiteral("The lock bits keep the fuses from being written. Only a chip erase clears them: the flash and "
                   "EEPROM will be lost. Erase the chip?");

enum class RescueOutcome : std::uint8_t {
    Restored,     // the chip holds the factory values now (also when it held them already)
    NotParallel,  // the chip is not programmed in parallel mode: nothing was done
    Refused,      // the erase was not approved, or the chip in the socket was not
    Failed,       // a step failed, or the chip holds other values afterwards
};

struct RescueReport {
    RescueOutcome outcome = RescueOutcome::Failed;
    std::optional<FuseBytes> found;     // the bytes read before anything was changed
    std::optional<FuseBytes> restored;  // the bytes read back after the write
    bool erased = false;
};

// "Restore factory fuses" and the command line's rescue: the lines "Trying to rescue the chip"
// and the Start time; the socket check; the lock and fuse bytes read and each finding logged;
// the erase when the lock bits block the fuse write (approve is asked first, a Routine
// question: the flash is lost); the factory values written and read back; the End time. The
// job's FuseDefaults end as the chip holds them.
RescueReport RunRescue(const ProgContext& ctx, ChipJob& job, const Approver& approve, const SocketCheck& socket = {});

}  // namespace velmora
