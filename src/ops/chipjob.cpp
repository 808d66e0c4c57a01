#include "ops/chipjob.h"

#include "log/operationlog.h"

#include <algorithm>

namespace velmora {

ChipJob::ChipJob(const ChipState& state, UnitResolver units)
    : copy_(state.CurrentChip),
      entry_(state.CurrentChip.entry),
      units_(units)
{
}

const FamilyUnit& ChipJob::Unit(FamilyId family) const
{
    return units_ ? units_(family) : UnitOf(family);
}

void ChipJob::ApplyTo(ChipState& state) const
{
    chip& c = state.CurrentChip;
    std::copy(copy_.FlashImage.begin(), copy_.FlashImage.end(), c.FlashImage.begin());
    std::copy(copy_.EepromImage.begin(), copy_.EepromImage.end(), c.EepromImage.begin());
    c.FuseDefaults = copy_.FuseDefaults;
    c.CalibrationBytes = copy_.CalibrationBytes;
}

const FamilyUnit* DispatchUnit(const ChipJob& job, OperationLog& log)
{
    if (job.Code() == 0) {
        log.WriteLog(LogNoChip);
        return nullptr;
    }
    if (!job.Entry()) {
        log.WriteLog(LogChipSelected, QStringLiteral(" unknown"));
        return nullptr;
    }
    return &job.Unit(job.Entry()->family);
}

namespace {
// [11 00 0F 32]: SetPortC 0x00, SetDdrC 0x32: +12 V and +5 V off.
constexpr const char* SuppliesOffText = " 0x11 0x0 0x0F 0x32";
}  // namespace

ProgrammingSession::ProgrammingSession(const ProgContext& ctx, const FamilyUnit& unit)
    : ctx_(ctx), parallel_(unit.Interface() == ProgrammingInterface::Parallel)
{
    if (parallel_)
        ctx_.link.ArmSafePacket(Packets::SuppliesOff());
}

ProgrammingSession::~ProgrammingSession()
{
    if (parallel_)
        ctx_.link.SendSafePacket();
}

bool ProgrammingSession::End()
{
    // The command's last packet is confirmed by an answered command: success means the
    // gateway ran everything (the supplies are off), not merely that the bytes were written.
    if (!parallel_)
        return ctx_.link.IsOpen() && ctx_.CheckLink();
    if (!ctx_.link.SafePacketArmed())
        return true;
    ctx_.link.DisarmSafePacket();
    // Sent as a step of its own: a link that fails here fails the command.
    return ctx_.link.IsOpen() && ctx_.Send(Packets::SuppliesOff(), SuppliesOffText) && ctx_.CheckLink();
}

}  // namespace velmora
