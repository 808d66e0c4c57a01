#pragma once
// Reading and writing the lock and fuse bytes of the current chip through its family unit:
// what the dialog's Read and Write buttons and the command line run on the worker thread.
// A command works on a ChipJob, a copy of the current chip; the caller applies the outcome.
//
// Every sequence starts with EnterProgrammingMode and then calls the unit's own order; the
// first operation that fails has logged its failure, the sequence adds "Finished with fail."
// and stops.

#include "fuses/fusecheck.h"
#include "ops/chipjob.h"
#include "ops/memorycommands.h"

#include <optional>
#include <vector>

namespace velmora {

enum class LockFuseDirection : std::uint8_t { Read, Write };

// EnterProgrammingMode and the unit's read or write order on chip, in one programming session;
// false after the first failing operation, with the " with fail." line written (or "Cancelled").
// With socket enabled, the chip in the socket is checked first (a write's only).
bool RunLockFuseOrder(const FamilyUnit& unit, LockFuseDirection direction, const ProgContext& ctx, ChipTarget& chip,
                      const SocketCheck& socket = {});

enum class FuseOutcome : std::uint8_t {
    Done,
    Failed,   // an operation failed (its lines and " with fail." are logged)
    Differs,  // written, but the chip holds other values (each difference and " with fail." logged)
    NoChip,   // "No chip selected" logged
    Unknown,  // "Selected chip is  unknown" logged
};

// The dialog's Read: the unit's read order into the job's FuseDefaults. On a failure the
// slots read before it hold their new bytes.
FuseOutcome ReadLockFuses(const ProgContext& ctx, ChipJob& job);

struct FuseWriteReport {
    FuseOutcome outcome = FuseOutcome::Failed;
    // What the chip holds, read back with its own read order after the write.
    std::optional<FuseBytes> chipValues;
    std::vector<ByteDifference> differences;
};
// The dialog's Write: the unit's write order sending the job's FuseDefaults, then the read
// order into a second copy. A lock byte that refuses changes, or fuses locked by it, report
// "with success." from the write steps alone; the read-back shows what the chip really took,
// and each shown byte that differs is logged. The job's FuseDefaults keep the values written.
// With socket enabled, nothing is written before the chip in the socket proved to be the
// selected one (or was approved).
FuseWriteReport WriteLockFuses(const ProgContext& ctx, ChipJob& job, const SocketCheck& socket = {});

}  // namespace velmora
