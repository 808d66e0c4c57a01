#include "prog/progcontext.h"

#include "log/operationlog.h"
#include "prog/readpipeline.h"

#include <algorithm>

namespace velmora {

bool ProgContext::CollectAhead() const
{
    return !pipeline || pipeline->Collect();
}

void ProgContext::Sleep(int ms) const
{
    // A wait counts from what was sent before it: the answers still to come prove it ran.
    if (ms > 0)
        CollectAhead();
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
    if (pipeline && pipeline->Failed())
        return false;  // its line is written and the link closed
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
    if (!CollectAhead() || !Send(packet, failText) || !Read(packet.ExpectedAnswer(), answerText, answer))
        return false;
    if (packet.Fetches())
        LearnFetchFraming(answer);
    return true;
}

void ProgContext::LearnFetchFraming(GatewayPacket& answer) const
{
    GatewayLink::SpiFetchFraming& framing = link.FetchFraming();
    if (framing.length == 0) {
        const GatewayPacket late = link.ReadLate(FetchQuietMs);
        const int take = std::min<int>(late.count, int(answer.data.size()) - answer.count);
        std::copy_n(late.data.begin(), take, answer.data.begin() + answer.count);
        answer.count += take;
        framing.length = answer.count;
        // A full record may have cut the answer short: its length is not known.
        framing.unframed = answer.count >= int(answer.data.size());
    } else if (answer.count != framing.length) {
        framing.unframed = true;
    }
}

}  // namespace velmora
