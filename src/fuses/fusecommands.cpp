#include "fuses/fusecommands.h"

#include "log/operationlog.h"

namespace velmora {

namespace {
ChipTarget TargetOver(const LockFuseJob& job, FuseBytes& fuses, FuseBytes& calibration)
{
    return ChipTarget{
        .entry = *job.entry,
        .flash = {},
        .eeprom = {},
        .fuses = std::span<std::uint8_t, 8>(fuses),
        .calibrationCount = job.calibrationCount,
        .calibration = std::span<std::uint8_t, 8>(calibration),
    };
}

void LogFail(const ProgContext& ctx)
{
    ctx.log.WriteLog(LogFinished, QStringLiteral(" with fail."));
}

// The lines for a job without a chip to work on; nullopt when there is one.
std::optional<FuseOutcome> Unworkable(const ProgContext& ctx, const LockFuseJob& job)
{
    if (job.code == 0) {
        ctx.log.WriteLog(LogNoChip);
        return FuseOutcome::NoChip;
    }
    if (!job.Known()) {
        ctx.log.WriteLog(LogChipSelected, QStringLiteral(" unknown"));
        return FuseOutcome::Unknown;
    }
    return std::nullopt;
}

bool RunOrder(const LockFuseJob& job, LockFuseDirection direction, const ProgContext& ctx, FuseBytes& fuses)
{
    FuseBytes calibration = job.calibration;
    ChipTarget target = TargetOver(job, fuses, calibration);
    return RunLockFuseOrder(*job.unit, direction, ctx, target);
}
}  // namespace

bool RunLockFuseOrder(const FamilyUnit& unit, LockFuseDirection direction, const ProgContext& ctx, ChipTarget& chip)
{
    bool ok = unit.EnterProgrammingMode(ctx, chip);
    const auto order = direction == LockFuseDirection::Read ? unit.LockFuseReadOrder() : unit.LockFuseWriteOrder();
    for (auto op = order.begin(); ok && op != order.end(); ++op)
        ok = unit.Run(*op, ctx, chip);
    if (!ok)
        LogFail(ctx);
    return ok;
}

LockFuseJob LockFuseJob::For(const ChipState& state)
{
    const chip& c = state.CurrentChip;
    LockFuseJob job;
    job.code = c.SignatureCode;
    job.entry = c.SignatureCode ? FindChipEntry(c.SignatureCode, state.NiietMode == 1) : nullptr;
    job.unit = job.entry ? &UnitOf(*job.entry) : nullptr;
    job.layout = LayoutOf(c.SignatureCode);
    job.fuses = c.FuseDefaults;
    job.calibrationCount = c.CalibrationCount;
    job.calibration = c.CalibrationBytes;
    return job;
}

FuseOutcome ReadLockFuses(const ProgContext& ctx, LockFuseJob& job)
{
    if (const auto outcome = Unworkable(ctx, job))
        return *outcome;
    return RunOrder(job, LockFuseDirection::Read, ctx, job.fuses) ? FuseOutcome::Done : FuseOutcome::Failed;
}

FuseWriteReport WriteLockFuses(const ProgContext& ctx, LockFuseJob& job)
{
    FuseWriteReport report;
    if (const auto outcome = Unworkable(ctx, job)) {
        report.outcome = *outcome;
        return report;
    }
    if (!RunOrder(job, LockFuseDirection::Write, ctx, job.fuses))
        return report;
    // The slots the read order does not touch keep the values written.
    FuseBytes back = job.fuses;
    if (!RunOrder(job, LockFuseDirection::Read, ctx, back))
        return report;
    report.chipValues = back;
    report.differences = ShownDifferences(*job.layout, job.fuses, back);
    for (const ByteDifference& d : report.differences)
        ctx.log.WriteLog(LogPlain, QStringLiteral("Lock and fuse check: ") + DifferenceText(d));
    if (!report.differences.empty())
        LogFail(ctx);
    report.outcome = report.differences.empty() ? FuseOutcome::Done : FuseOutcome::Differs;
    return report;
}

}  // namespace velmora
