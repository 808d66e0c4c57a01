#pragma once
// What a chip command works on away from the window, and the frame every command that powers
// the socket runs in.
//
// A command runs on the worker thread that owns the link, on a ChipJob: a copy of the current
// chip (images, lock and fuse slots, calibration bytes) with the catalogue row it dispatches
// on. The window makes the job on its own thread, runs the command, and applies the job back
// with ApplyTo when the command has ended; nothing else is shared while it runs.

#include "chips/chip.h"
#include "chips/chiptarget.h"
#include "chips/progress.h"
#include "families/familyunit.h"
#include "prog/progcontext.h"

#include <functional>

namespace velmora {

class ChipJob {
public:
    // Finds the unit of a family: UnitOf, unless a test puts its own units in.
    using UnitResolver = const FamilyUnit& (*)(FamilyId);

    // Copies the current chip of state with the catalogue row it holds: the row selected, not
    // one found again from SignatureCode under a NiietMode changed since (an Autosearch that
    // found nothing changes NiietMode, not the chip).
    explicit ChipJob(const ChipState& state, UnitResolver units = nullptr);

    SignatureCode Code() const { return copy_.SignatureCode; }
    // The catalogue row, or null with no chip selected or a code no family serves.
    const ChipEntry* Entry() const { return entry_; }
    chip& Chip() { return copy_; }
    const chip& Chip() const { return copy_; }
    // The target over the copy; only with an Entry().
    ChipTarget Target() { return TargetOf(copy_, *entry_); }
    const FamilyUnit& Unit(FamilyId family) const;

    // Puts the copy's images, lock and fuse slots and calibration bytes into state's current
    // chip; the chip must still be the one the job was made from.
    void ApplyTo(ChipState& state) const;

private:
    chip copy_;
    const ChipEntry* entry_;
    UnitResolver units_;
};

// A command on a job: true when it ended with success.
using ChipCommand = std::function<bool(const ProgContext& ctx, ChipJob& job, const ProgressFn& progress)>;

// The family dispatch: the unit that serves the job's chip. With no chip selected it writes
// "No chip selected", with a code no family serves "Selected chip is  unknown", and returns
// null.
const FamilyUnit* DispatchUnit(const ChipJob& job, OperationLog& log);

// One user command's time in programming mode through a unit. A parallel unit puts +12 V on
// RESET and +5 V on the socket; from the start of the session the packet that switches them
// off is armed on the link, so a failing step sends it before the link closes. End() switches
// them off as the command's last step; a session that ends without End() (a failure, a
// difference) sends the packet once as a best effort. Serial programming uses no +12 V and is
// left as it is.
class ProgrammingSession {
public:
    ProgrammingSession(const ProgContext& ctx, const FamilyUnit& unit);
    ~ProgrammingSession();
    ProgrammingSession(const ProgrammingSession&) = delete;
    ProgrammingSession& operator=(const ProgrammingSession&) = delete;

    // Switches the supplies off with no line; a failed send writes its line and closes the
    // link, and the result is false.
    bool End();

private:
    const ProgContext& ctx_;
    bool parallel_;
};

}  // namespace velmora
