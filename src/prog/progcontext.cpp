#include "prog/progcontext.h"

#include "log/operationlog.h"

namespace velmora {

void ProgContext::Sleep(int ms) const
{
    if (sleeper)
        sleeper(ms);
}

void ProgContext::SettleSleep() const
{
    Sleep(1);
    Sleep(delaysValue);
}

bool ProgContext::Send(const GatewayPacket& packet, std::string_view failText) const
{
    if (cancel && cancel->Requested()) {
        if (!cancel->honoured_) {
            // Whatever the chip was doing, it is left without supplies, as after any other end.
            cancel->honoured_ = true;
            link.DisarmSafePacket();
            if (link.IsOpen())
                link.SendPacket(Packets::SuppliesOff());
        }
        return false;
    }
    if (link.SendPacket(packet))
        return true;
    log.WriteLog(LogCommandError, QString::fromUtf8(failText.data(), qsizetype(failText.size())));
    link.SendSafePacket();
    link.CloseGateway();
    return false;
}

bool ProgContext::Read(int expected, std::string_view answerText, GatewayPacket& answer) const
{
    answer = link.ReadAnswer(expected);
    if (answer.count > 0)
        return true;
    log.WriteLog(LogAnswerError, QString::fromUtf8(answerText.data(), qsizetype(answerText.size())));
    link.SendSafePacket();
    link.CloseGateway();
    return false;
}

bool ProgContext::Exchange(const PacketBuilder& packet, std::string_view failText, std::string_view answerText,
                           GatewayPacket& answer) const
{
    return Send(packet, failText) && Read(packet.ExpectedAnswer(), answerText, answer);
}

}  // namespace velmora
