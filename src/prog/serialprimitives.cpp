#include "prog/serialprimitives.h"

#include "log/operationlog.h"
#include "prog/framed.h"

namespace velmora {

bool SpiInstruction(const ProgContext& ctx, const SerialInstruction& in)
{
    if (!ctx.Send(PacketBuilder().SpiLoad(in.i1, in.i2, in.i3, in.i4), in.failText) ||
        !ctx.Send(PacketBuilder().SpiTransfer(), LoneCommandText(GatewayCommand::SpiTransfer)))
        return false;
    ctx.DelaySleep();
    return true;
}

bool SpiAnswer(const ProgContext& ctx, SpiAnswerBytes& answer)
{
    answer = {};
    GatewayPacket fetched;
    if (!ctx.Exchange(PacketBuilder().SpiFetch(), LoneCommandText(GatewayCommand::SpiFetch), AnswerSpi, fetched))
        return false;
    answer.count = fetched.count;
    answer.byte0 = fetched.data[0];
    answer.byte1 = fetched.count > 1 ? fetched.data[1] : 0;
    return true;
}

bool SpiRead(const ProgContext& ctx, const SerialInstruction& instruction, SpiAnswerBytes& answer)
{
    return SpiInstruction(ctx, instruction) && SpiAnswer(ctx, answer);
}

SignatureCode ReadSerialSignature(const ProgContext& ctx)
{
    ctx.log.WriteLog(LogTrying, QStringLiteral(" read signature bytes"));
    SignatureCode code = 0;
    for (std::uint8_t i = 0; i < 3; ++i) {
        SpiAnswerBytes answer;
        if (!SpiRead(ctx, ReadSignatureInstruction(i), answer))
            return 0;
        code |= SignatureCode(answer.byte0) << (8 * i);
    }
    ctx.log.WriteLog(LogFinished);
    return code;
}

bool SpiProgrammingEnable(const ProgContext& ctx, std::string_view startText)
{
    return Framed(ctx, startText, [&] {
        if (!ctx.Send(PacketBuilder().SpiPrepare(), LoneCommandText(GatewayCommand::SpiPrepare)))
            return false;
        ctx.DelaySleep();
        if (!ctx.Send(PacketBuilder().SpiStart(), LoneCommandText(GatewayCommand::SpiStart)))
            return false;
        ctx.Sleep(SpiStartSettleMs);
        SpiAnswerBytes answer;
        if (!SpiRead(ctx, ProgrammingEnableInstruction, answer))
            return false;
        // Out of step with the chip: no line, the link stays open.
        return answer.count >= 2 && answer.byte1 == 0x53;
    });
}

}  // namespace velmora
