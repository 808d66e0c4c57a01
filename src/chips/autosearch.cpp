#include "chips/autosearch.h"

#include "log/operationlog.h"
#include "prog/parallelprimitives.h"

namespace velmora {

std::optional<SignatureCode> ReadChipCode(const ProgContext& ctx, int& niietMode)
{
    if (!EnterParallelMode(ctx)) {
        ctx.log.WriteLog(LogFinished, QStringLiteral(" with fail."));
        return std::nullopt;
    }
    // The generic entry cannot tell a NIIET part from its AVR twin, so the AVR entry is found.
    niietMode = 0;
    const SignatureCode code = ReadSignature(ctx);
    if (!ExitParallelMode(ctx)) {
        ctx.log.WriteLog(LogFinished, QStringLiteral(" with fail."));
        return std::nullopt;
    }
    return code;
}

const ChipEntry* Autosearch(const ProgContext& ctx, ChipState& state, const ShowChipFn& showChip)
{
    const std::optional<SignatureCode> code = ReadChipCode(ctx, state.NiietMode);
    return code ? SelectChip(state, *code, ctx.log, showChip) : nullptr;
}

}  // namespace velmora
