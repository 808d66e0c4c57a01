#include "link/gatewaycommands.h"

#include <stdexcept>

namespace velmora {

int CommandLength(std::uint8_t code)
{
    switch (GatewayCommand(code)) {
    case GatewayCommand::Handshake1:
        return 3;
    case GatewayCommand::SetDdrB:
    case GatewayCommand::SetPortB:
    case GatewayCommand::SetDdrC:
    case GatewayCommand::SetPortC:
    case GatewayCommand::SetDdrD:
    case GatewayCommand::SetPortD:
    case GatewayCommand::Pulse:
        return 2;
    case GatewayCommand::SpiLoad:
        return 5;
    case GatewayCommand::Handshake2:
    case GatewayCommand::Handshake3:
    case GatewayCommand::ReadPinB:
    case GatewayCommand::ReadPinC:
    case GatewayCommand::SpiFetch:
    case GatewayCommand::SpiTransfer:
    case GatewayCommand::SpiStart:
    case GatewayCommand::SpiPrepare:
        return 1;
    }
    return 0;
}

int AnswerLength(std::uint8_t code)
{
    switch (GatewayCommand(code)) {
    case GatewayCommand::Handshake3:
    case GatewayCommand::ReadPinB:
    case GatewayCommand::ReadPinC:
        return 1;
    case GatewayCommand::SpiFetch:
        return SpiFetchAnswerBytes;
    default:
        return 0;
    }
}

bool IsReadCommand(std::uint8_t code)
{
    const auto c = GatewayCommand(code);
    return c == GatewayCommand::ReadPinB || c == GatewayCommand::ReadPinC || c == GatewayCommand::SpiFetch;
}

PacketBuilder& PacketBuilder::SpiLoad(std::uint8_t i1, std::uint8_t i2, std::uint8_t i3, std::uint8_t i4)
{
    Command(GatewayCommand::SpiLoad);
    Append(i4);
    Append(i3);
    Append(i2);
    Append(i1);
    return *this;
}

PacketBuilder& PacketBuilder::Command(GatewayCommand code)
{
    const auto byte = std::uint8_t(code);
    if (IsReadCommand(byte)) {
        // One answer per packet: the sender reads it right after the packet.
        if (hasRead_)
            throw std::logic_error("a gateway packet holds at most one read command");
        hasRead_ = true;
        fetches_ = code == GatewayCommand::SpiFetch;
        expected_ = fetches_ ? SpiFetchExpected : 1;
    }
    Append(byte);
    return *this;
}

PacketBuilder& PacketBuilder::Command(GatewayCommand code, std::uint8_t operand)
{
    Command(code);
    Append(operand);
    return *this;
}

void PacketBuilder::Append(std::uint8_t byte)
{
    if (packet_.count >= GatewayLink::MaxPacketBytes)
        throw std::logic_error("a gateway packet holds at most 9 bytes");
    packet_.data[std::size_t(packet_.count++)] = byte;
}

std::string_view LoneCommandText(GatewayCommand code)
{
    switch (code) {
    case GatewayCommand::ReadPinC:
        return " PINCRead";
    case GatewayCommand::SpiTransfer:
        return " 0x46";
    case GatewayCommand::SpiFetch:
        return " 0x45";
    case GatewayCommand::SpiStart:
        return " 0x47";
    case GatewayCommand::SpiPrepare:
        return " 0x48";
    default:
        return {};
    }
}

std::string_view PulseText(PulseKind kind)
{
    switch (kind) {
    case PulseKind::EnterHVPProgMode_AVR:
        return " EnterHVPProgMode_AVR";
    case PulseKind::GivePagelPosPulse:
        return " GivePagelPosPulse";
    case PulseKind::GiveXTALPosPulse:
        return " GiveXTALPosPulse";
    case PulseKind::GiveWRNegPulse:
        return " GiveWRNegPulse";
    case PulseKind::GiveWR100NegPulse:
        return " GiveWR100NegPulse";
    case PulseKind::GiveWR15NegPulse:
        return " GiveWR15NegPulse";
    }
    return {};
}

}  // namespace velmora
