#include "link/gatewaylink.h"

#include "link/gatewaycommands.h"
#include "link/stopsignals.h"
#include "log/operationlog.h"

#include <algorithm>

namespace velmora {

GatewayPacket::GatewayPacket(std::initializer_list<std::uint8_t> bytes)
{
    const auto n = std::min<std::size_t>(bytes.size(), data.size());
    std::copy_n(bytes.begin(), n, data.begin());
    count = static_cast<std::int32_t>(n);
}

namespace {

// True when one of the packet's commands is answered by the gateway.
bool ExpectsAnswer(const std::uint8_t* data, int count)
{
    for (int i = 0; i < count;) {
        if (AnswerLength(data[i]) > 0)
            return true;
        const int length = CommandLength(data[i]);
        if (length == 0)
            return false;  // not a command the gateway knows: it answers nothing
        i += length;
    }
    return false;
}

// Set while SendSafePacket sends: the one packet that still goes out after a stop.
thread_local bool sendingSafePacket = false;

}  // namespace

bool GatewayLink::SendPacket(const GatewayPacket& packet)
{
    const int count = std::clamp<int>(packet.count, 0, int(packet.data.size()));
    ++counters_.packets;
    if (!IsOpen())
        return false;
    // After a stop signal only the supplies-off packet goes out: the command fails here.
    if (StopRequested() && !sendingSafePacket)
        return false;
    if (answersAhead_ == 0 && ExpectsAnswer(packet.data.data(), count)) {
        held_.clear();
        DiscardInput();
    }
    if (!WriteBytes(packet.data.data(), count))
        return false;
    counters_.bytesOut += static_cast<std::uint64_t>(count);
    if (trace_)
        trace_(true, packet.data.data(), count);
    return true;
}

void GatewayLink::TakeHeld(GatewayPacket& answer, int want)
{
    while (answer.count < want && !held_.empty()) {
        answer.data[std::size_t(answer.count++)] = held_.front();
        held_.pop_front();
    }
}

void GatewayLink::CountAnswer(const GatewayPacket& answer)
{
    if (answer.count > 0) {
        ++counters_.answers;
        counters_.bytesIn += static_cast<std::uint64_t>(answer.count);
    }
    if (trace_)
        trace_(false, answer.data.data(), answer.count);
}

GatewayPacket GatewayLink::ReadAnswer(int expected)
{
    GatewayPacket answer;
    const int capacity = int(answer.data.size());
    expected = std::clamp<int>(expected, 0, capacity);
    TakeHeld(answer, capacity);
    if (IsOpen() && answer.count < expected) {
        GatewayPacket more = ReadBytes(expected - answer.count, AnswerTimeoutMs);
        // The count comes from the link: never let it claim more than the packet holds.
        more.count = std::clamp<std::int32_t>(more.count, 0, capacity - answer.count);
        std::copy_n(more.data.begin(), more.count, answer.data.begin() + answer.count);
        answer.count += more.count;
    }
    CountAnswer(answer);
    return answer;
}

bool GatewayLink::SendAhead(const GatewayPacket& packet)
{
    if (!SendPacket(packet))
        return false;
    ++answersAhead_;
    return true;
}

GatewayPacket GatewayLink::ReadFramed(int length)
{
    GatewayPacket answer;
    length = std::clamp<int>(length, 0, int(answer.data.size()));
    TakeHeld(answer, length);
    while (answer.count < length && IsOpen()) {
        GatewayPacket more = ReadBytes(length - answer.count, AnswerTimeoutMs);
        more.count = std::clamp<std::int32_t>(more.count, 0, std::int32_t(more.data.size()));
        held_.insert(held_.end(), more.data.begin(), more.data.begin() + more.count);
        TakeHeld(answer, length);
        if (more.count == 0)
            break;  // the answer time ran out
    }
    if (answersAhead_ > 0)
        --answersAhead_;
    CountAnswer(answer);
    return answer;
}

GatewayPacket GatewayLink::ReadLate(int quietMs)
{
    GatewayPacket late;
    const int capacity = int(late.data.size());
    TakeHeld(late, capacity);
    while (IsOpen() && late.count < capacity) {
        GatewayPacket more = ReadQuiet(quietMs);
        more.count = std::clamp<std::int32_t>(more.count, 0, capacity - late.count);
        if (more.count == 0)
            break;
        std::copy_n(more.data.begin(), more.count, late.data.begin() + late.count);
        late.count += more.count;
    }
    counters_.bytesIn += static_cast<std::uint64_t>(late.count);
    if (trace_ && late.count > 0)
        trace_(false, late.data.data(), late.count);
    return late;
}

void GatewayLink::ResetConnectionState()
{
    held_.clear();
    answersAhead_ = 0;
    fetchFraming_ = {};
}

void GatewayLink::SendSafePacket()
{
    if (!SafePacketArmed())
        return;
    const GatewayPacket packet = safePacket_;
    DisarmSafePacket();
    if (IsOpen()) {
        sendingSafePacket = true;
        SendPacket(packet);  // best effort: the link is about to close or the command to end
        sendingSafePacket = false;
    }
}

bool OpenGateway(GatewayLink& link, const QString& devicePath, OperationLog& log, QString* reason)
{
    auto fail = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return false;
    };
    link.ResetConnectionState();
    const OpenResult opened = link.Open(devicePath);
    switch (opened.status) {
    case OpenStatus::Ok:
        break;
    case OpenStatus::Unavailable:
        log.WriteLog(LogPortUnavailable);
        return fail(opened.reason);  // nothing was opened, so nothing is closed
    case OpenStatus::GetParamsError:
        log.WriteLog(LogGetParamsError);
        link.CloseGateway();
        return fail(opened.reason);
    case OpenStatus::SetParamsError:
        log.WriteLog(LogSetParamsError);
        link.CloseGateway();
        return fail(opened.reason);
    }

    struct HandshakeSend {
        GatewayPacket packet;
        const char* name;
    };
    const HandshakeSend sends[] = {
        {{0x0A, 0x08, 0x00}, " 0x0A 0x08 0x00"},
        {{0x1E}, " 0x1E"},
        {{0x04}, " 0x04"},
    };
    for (const HandshakeSend& send : sends) {
        if (!link.SendPacket(send.packet)) {
            log.WriteLog(LogCommandError, QString::fromLatin1(send.name));
            link.CloseGateway();
            return fail(QStringLiteral("the port did not take the handshake"));
        }
    }
    // Any answer of one byte or more passes; its value belongs to the gateway.
    if (link.ReadAnswer(1).count == 0) {
        log.WriteLog(LogAnswerError, QStringLiteral(" (PINB)"));
        link.CloseGateway();
        return fail(QStringLiteral("no gateway answered on this port"));
    }
    return true;
}

bool ConnectGateway(GatewayLink& link, const QString& devicePath, OperationLog& log, QString* reason)
{
    if (!OpenGateway(link, devicePath, log, reason))
        return false;
    log.WriteLog(LogPortOpen, devicePath);
    return true;
}

void DisconnectGateway(GatewayLink& link, OperationLog& log)
{
    link.SendSafePacket();
    link.CloseGateway();
    log.WriteLog(LogPortClosed);
}

}  // namespace velmora
