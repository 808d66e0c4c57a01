#include "session/session.h"

#include "chips/autosearch.h"
#include "link/serialport.h"
#include "log/operationlog.h"

namespace velmora {

std::optional<FuseOutcome> ReadFusesInto(ChipState& chips, const ChipJobRunner& run)
{
    // Slots read before a failure hold their new bytes (the job is taken back).
    std::optional<FuseOutcome> outcome;
    run([&](const ProgContext& ctx, ChipJob& job, const ProgressFn&) {
        outcome = ReadLockFuses(ctx, job);
        return outcome == FuseOutcome::Done;
    });
    if (outcome == FuseOutcome::Done)
        chips.CurrentChip.FusesReadFromChip = chips.CurrentChip.FuseDefaults;
    return outcome;
}

FuseWriteReport WriteFusesFrom(ChipState& chips, const ChipJobRunner& run)
{
    FuseWriteReport report;
    run([&](const ProgContext& ctx, ChipJob& job, const ProgressFn&) {
        report = WriteLockFuses(ctx, job);
        return report.outcome == FuseOutcome::Done;
    });
    if (report.chipValues) {
        chips.CurrentChip.FuseDefaults = *report.chipValues;
        chips.CurrentChip.FusesReadFromChip = *report.chipValues;
    }
    return report;
}

Session::Session(ChipState& chips, OperationLog& log)
    : chips_(chips), log_(log), linkFactory_(SerialLinkFactory())
{
}

Session::~Session() = default;

bool Session::Run(const WorkerJob& job)
{
    if (executor_)
        return executor_(job);
    job({});
    return true;
}

ProgContext Session::Context() const
{
    return ProgContext{*link_, log_, delaysValue_, sleeper_};
}

bool Session::Connect(const QString& portText, QString* devicePath, QString* reason)
{
    bool connected = false;
    Run([&](const ProgressFn&) {
        Release();
        PortLink made = linkFactory_(portText);
        link_ = std::move(made.link);
        sleeper_ = std::move(made.sleeper);
        if (devicePath)
            *devicePath = made.devicePath;
        // The line names the device actually opened.
        connected = ConnectGateway(*link_, made.devicePath, log_, reason);
    });
    return connected;
}

void Session::Disconnect()
{
    Run([this](const ProgressFn&) {
        if (link_)
            DisconnectGateway(*link_, log_);
        else
            log_.WriteLog(LogPortClosed);
    });
}

void Session::Release()
{
    if (!link_)
        return;
    link_->SendSafePacket();
    link_->CloseGateway();
}

bool Session::RunChipJob(const ChipCommand& command)
{
    if (!link_)
        link_ = std::make_unique<SerialLink>();
    ChipJob job(chips_);
    bool ok = false;
    if (!Run([&](const ProgressFn& progress) { ok = command(Context(), job, progress); }))
        return false;
    job.ApplyTo(chips_);
    return ok;
}

bool Session::RunOnLink(const std::function<void(const ProgContext& ctx)>& work)
{
    return link_ && Run([&](const ProgressFn&) { work(Context()); });
}

std::optional<SignatureCode> Session::ReadCode(int& niietMode)
{
    std::optional<SignatureCode> code;
    Run([&](const ProgressFn&) { code = ReadChipCode(Context(), niietMode); });
    return code;
}

std::optional<SignatureCode> Session::ReadSignature()
{
    if (!link_)
        return std::nullopt;
    int niietMode = 0;
    return ReadCode(niietMode);
}

Session::AutosearchResult Session::Autosearch(const ShowChipFn& showChip)
{
    if (!link_)
        return {};
    int niietMode = chips_.NiietMode;
    AutosearchResult result;
    result.code = ReadCode(niietMode);
    chips_.NiietMode = niietMode;
    if (result.code)
        result.entry = SelectChip(chips_, *result.code, log_, showChip);
    return result;
}

}  // namespace velmora
