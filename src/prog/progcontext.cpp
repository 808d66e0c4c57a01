#include "prog/progcontext.h"

#include "link/stopsignals.h"
#include "log/operationlog.h"

#include <csignal>

namespace velmora {

void ProgContext::Sleep(int ms) const
{
    if (!sleeper)
        return;
    if (ms > 0)
        link.WaitUntilSent();
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
    return Send(packet, failText) && Read(packet.ExpectedAnswer(), answerText, answer);
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
