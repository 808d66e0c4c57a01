#include "prog/progcontext.h"

#include "link/stopsignals.h"
#include "log/operationlog.h"
#include "prog/readpipeline.h"

#include <algorithm>

#include <csignal>

namespace velmora {

bool ProgContext::CollectAhead() const
{
    return !pipeline || pipeline->Collect();
}

void ProgContext::Sleep(int ms) const
{
    // A wait counts from what was sent before it: the answers still to come prove it ran,
    // and the line must have carried the rest.
    if (ms > 0) {
        CollectAhead();
        link.WaitUntilSent();
    }
    if (sleeper)
        sleeper(ms);
}

void ProgContext::SettleSleep() const
{
    Sleep(1);
    Sleep(delaysValue);
}

namespace {

QString StopLine()
{
    const int signal = StopSignal();
    const char* name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : signal == SIGHUP ? "SIGHUP" : "a signal";
    return QStringLiteral("Stopped by %1: the supplies are switched off and the port closed").arg(QLatin1String(name));
}

}  // namespace

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
    if (pipeline && pipeline->Failed())
        return false;  // its line is written and the link closed
    if (link.SendPacket(packet))
        return true;
    if (StopRequested())
        log.WriteLog(LogPlain, StopLine());
    else
        log.WriteLog(LogCommandError, QString::fromUtf8(failText.data(), qsizetype(failText.size())));
    link.SendSafePacket();
    link.CloseGateway();
    return false;
}

bool ProgContext::Read(int expected, std::string_view answerText, GatewayPacket& answer) const
{
    answer = link.ReadAnswer(expected);
    const QString what = QString::fromUtf8(answerText.data(), qsizetype(answerText.size()));
    // A pin read is answered with exactly one byte: a second one came from somewhere else
    // (noise on the line, a byte left over), and which of the two is the pin's cannot be told.
    if (expected == 1 && answer.count > 1) {
        log.WriteLog(LogAnswerError, what + QStringLiteral(": %1 bytes came where 1 was asked for").arg(answer.count));
        link.SendSafePacket();
        link.CloseGateway();
        return false;
    }
    if (answer.count > 0)
        return true;
    log.WriteLog(LogAnswerError, what);
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

bool ProgContext::CheckLink() const
{
    GatewayPacket answer;
    if (!Exchange(PacketBuilder().ReadPinC(), LoneCommandText(GatewayCommand::ReadPinC), AnswerPinC, answer))
        return false;
    link.NoteAllExecuted();
    return true;
}

}  // namespace velmora
