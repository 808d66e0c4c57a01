#include "fuses/fusecommands.h"

#include "log/operationlog.h"

namespace velmora {

namespace {
void LogFail(const ProgContext& ctx)
{
    WriteStopLines(ctx, false);
}

// The unit and layout of the job's chip, or the outcome already logged when there is none.
struct Dispatch {
    const FamilyUnit* unit = nullptr;
    const FuseLayout* layout = nullptr;
    FuseOutcome outcome = FuseOutcome::Done;
};
Dispatch DispatchLockFuses(const ProgContext& ctx, const ChipJob& job)
{
    Dispatch d;
    d.unit = DispatchUnit(job, ctx.log);
    d.layout = LayoutOf(job.Entry());
    if (!d.unit)
        d.outcome = job.Code() == 0 ? FuseOutcome::NoChip : FuseOutcome::Unknown;
    else if (!d.layout) {
        ctx.log.WriteLog(LogChipSelected, QStringLiteral(" unknown"));
        d.outcome = FuseOutcome::Unknown;
    }
    return d;
}
}  // namespace

bool RunLockFuseOrder(const FamilyUnit& unit, LockFuseDirection direction, const ProgContext& ctx, ChipTarget& chip,
                      const SocketCheck& socket)
{
    ProgrammingSession session(ctx, unit);
    bool ok = CheckChipInSocket(ctx, unit, chip, socket) && unit.EnterProgrammingMode(ctx, chip);
    const auto order = direction == LockFuseDirection::Read ? unit.LockFuseReadOrder() : unit.LockFuseWriteOrder();
    for (auto op = order.begin(); ok && op != order.end(); ++op)
        ok = unit.Run(*op, ctx, chip);
    ok = ok && session.End();
    if (!ok)
        LogFail(ctx);
    return ok;
}

FuseOutcome ReadLockFuses(const ProgContext& ctx, ChipJob& job)
{
    const Dispatch d = DispatchLockFuses(ctx, job);
    if (d.outcome != FuseOutcome::Done)
        return d.outcome;
    ChipTarget target = job.Target();
    return RunLockFuseOrder(*d.unit, LockFuseDirection::Read, ctx, target) ? FuseOutcome::Done : FuseOutcome::Failed;
}

FuseWriteReport WriteLockFuses(const ProgContext& ctx, ChipJob& job, const SocketCheck& socket)
{
    FuseWriteReport report;
    const Dispatch d = DispatchLockFuses(ctx, job);
    if (d.outcome != FuseOutcome::Done) {
        report.outcome = d.outcome;
        return report;
    }
    ChipTarget target = job.Target();
    if (!RunLockFuseOrder(*d.unit, LockFuseDirection::Write, ctx, target, socket))
        return report;
    // Read back into a copy; the slots the read order does not touch keep the values written.
    FuseBytes back = job.Chip().FuseDefaults;
    ChipTarget readBack{target.entry, target.flash, target.eeprom, std::span<std::uint8_t, 8>(back),
                        target.calibrationCount, target.calibration};
    if (!RunLockFuseOrder(*d.unit, LockFuseDirection::Read, ctx, readBack))
        return report;
    report.chipValues = back;
    report.differences = ShownDifferences(*d.layout, job.Chip().FuseDefaults, back);
    for (const ByteDifference& diff : report.differences)
        ctx.log.WriteLog(LogPlain, QStringLiteral("Lock and fuse check: ") + DifferenceText(diff));
    if (!report.differences.empty())
        LogFail(ctx);
    report.outcome = report.differences.empty() ? FuseOutcome::Done : FuseOutcome::Differs;
    return report;
}

}  // namespace velmora
