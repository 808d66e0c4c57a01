#pragma once
// Reading and writing the lock and fuse bytes of the current chip through its family unit:
// what the dialog's Read and Write buttons and the command line run on the worker thread.
// A job works on its own copy of the chip's values; the caller applies the outcome.
//
// Every sequence starts with EnterProgrammingMode and then calls the unit's own order; the
// first operation that fails has logged its failure, the sequence adds "Finished with fail."
// and stops.

#include "chips/chip.h"
#include "families/familyunit.h"
#include "fuses/fusecheck.h"
#include "prog/progcontext.h"

#include <optional>
#include <vector>

namespace velmora {

enum class LockFuseDirection : std::uint8_t { Read, Write };

// EnterProgrammingMode and the unit's read or write order on chip; false after the first
// failing operation, with the " with fail." line written.
bool RunLockFuseOrder(const FamilyUnit& unit, LockFuseDirection direction, const ProgContext& ctx, ChipTarget& chip);

// A lock and fuse command on a copy of the current chip's values.
struct LockFuseJob {
    SignatureCodeType code = 0;         // 0: no chip selected
    const ChipEntry* entry = nullptr;   // null with no chip or a code the programmer does not know
    const FamilyUnit* unit = nullptr;
    const FuseLayout* layout = nullptr;
    FuseBytes fuses{};                  // FuseDefaults: read into, written from
    std::uint8_t calibrationCount = 0;
    FuseBytes calibration{};

    // A job for the current chip of state, its unit found through the registry.
    static LockFuseJob For(const ChipState& state);
    bool Known() const { return entry && unit && layout; }
};

enum class FuseOutcome : std::uint8_t {
    Done,
    Failed,   // an operation failed (its lines and " with fail." are logged)
    Differs,  // written, but the chip holds other values (each difference and " with fail." logged)
    NoChip,   // "No chip selected" logged
    Unknown,  // "Selected chip is  unknown" logged
};

// The dialog's Read: the unit's read order into job.fuses. On a failure the slots read before
// it hold their new bytes.
FuseOutcome ReadLockFuses(const ProgContext& ctx, LockFuseJob& job);

struct FuseWriteReport {
    FuseOutcome outcome = FuseOutcome::Failed;
    // What the chip holds, read back with its own read order after the write.
    std::optional<FuseBytes> chipValues;
    std::vector<ByteDifference> differences;
};
// The dialog's Write: the unit's write order sending job.fuses, then the read order into a
// second copy. A lock byte that refuses changes, or fuses locked by it, report "with success."
// from the write steps alone; the read-back shows what the chip really took, and each shown
// byte that differs is logged.
FuseWriteReport WriteLockFuses(const ProgContext& ctx, LockFuseJob& job);

}  // namespace velmora
