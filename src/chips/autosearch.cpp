#include "chips/autosearch.h"

#include "log/operationlog.h"
#include "prog/parallelprimitives.h"
#include "prog/serialprimitives.h"

namespace velmora {

namespace {

std::nullopt_t Failed(const ProgContext& ctx)
{
    ctx.log.WriteLog(LogFinished, QStringLiteral(" with fail."));
    return std::nullopt;
}

}  // namespace

std::optional<SignatureCode> ReadChipCode(const ProgContext& ctx, int& niietMode)
{
    if (!EnterParallelMode(ctx))
        return Failed(ctx);
    // The generic entry cannot tell a NIIET part from its AVR twin, so the AVR entry is found.
    niietMode = 0;
    const SignatureCode code = ReadSignature(ctx);
    if (!ExitParallelMode(ctx))
        return Failed(ctx);
    if (FindChipEntry(code, false))
        return code;

    // The small chips have no parallel interface: their socket reads like an empty one there.
    // A chip that does not echo Programming Enable leaves the parallel code to decide.
    if (!SpiProgrammingEnable(ctx, " execute Programming Enable")) {
        if (!ctx.link.IsOpen())
            return Failed(ctx);
        return code;
    }
    const SignatureCode serialCode = ReadSerialSignature(ctx);
    if (!ctx.link.IsOpen())
        return Failed(ctx);
    return serialCode;
}

const ChipEntry* Autosearch(const ProgContext& ctx, ChipState& state, const ShowChipFn& showChip)
{
    const std::optional<SignatureCode> code = ReadChipCode(ctx, state.NiietMode);
    return code ? SelectChip(state, *code, ctx.log, showChip) : nullptr;
}

}  // namespace velmora
