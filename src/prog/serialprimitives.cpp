#include "prog/serialprimitives.h"

#include "log/operationlog.h"

namespace velmora {

bool SpiInstruction(const ProgContext& ctx, std::uint8_t i1, std::uint8_t i2, std::uint8_t i3, std::uint8_t i4,
                    std::string_view failText)
{
    if (!ctx.Send(PacketBuilder().SpiLoad(i1, i2, i3, i4), failText) ||
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

bool SpiProgrammingEnable(const ProgContext& ctx, std::string_view startText)
{
    ctx.log.WriteLog(LogTrying, QString::fromUtf8(startText.data(), qsizetype(startText.size())));
    if (!ctx.Send(PacketBuilder().SpiPrepare(), LoneCommandText(GatewayCommand::SpiPrepare)))
        return false;
    ctx.DelaySleep();
    if (!ctx.Send(PacketBuilder().SpiStart(), LoneCommandText(GatewayCommand::SpiStart)))
        return false;
    ctx.Sleep(SpiStartSettleMs);
    SpiAnswerBytes answer;
    if (!SpiInstruction(ctx, 0xAC, 0x53, 0x00, 0x00, ProgrammingEnableText) || !SpiAnswer(ctx, answer))
        return false;
    // Out of step with the chip: no line, the link stays open.
    if (answer.count < 2 || answer.byte1 != 0x53)
        return false;
    ctx.log.WriteLog(LogFinished, QStringLiteral(" with success."));
    return true;
}

}  // namespace velmora
