#pragma once
// The gateway's command vocabulary: command codes, pulse operands, and a packet builder that
// keeps the packet rules (at most 9 bytes, at most one read command, which must come last
// but for trailing register writes). The step texts that name commands in failure lines are
// here too, so that every caller spells them the same way.

#include "link/gatewaylink.h"

#include <cstdint>
#include <string_view>

namespace velmora {

// The first byte of each command. Layout in brackets: code then operand bytes.
enum class GatewayCommand : std::uint8_t {
    Handshake1 = 0x0A,   // [0A 08 00]            connection handshake only
    Handshake2 = 0x1E,   // [1E]                  connection handshake only
    Handshake3 = 0x04,   // [04]                  answered with at least one byte
    SetDdrB = 0x0B,      // [0B v]                port B direction, 1 = output
    SetPortB = 0x0D,     // [0D v]                port B output levels (the data bus)
    SetDdrC = 0x0F,      // [0F v]
    SetPortC = 0x11,     // [11 v]
    SetDdrD = 0x13,      // [13 v]
    SetPortD = 0x15,     // [15 v]
    ReadPinB = 0x17,     // [17]                  answered with 1 byte: port B pin levels
    ReadPinC = 0x18,     // [18]                  answered with 1 byte: bit 0 is RDY/BSY
    Pulse = 0x1D,        // [1D kind]             a PulseKind
    SpiLoad = 0x44,      // [44 I4 I3 I2 I1]      instruction held for the next transfer
    SpiFetch = 0x45,     // [45]                  answered with the bytes of the last transfer
    SpiTransfer = 0x46,  // [46]                  shift the held instruction out, I1 first
    SpiStart = 0x47,     // [47]                  second step of serial entry
    SpiPrepare = 0x48,   // [48]                  first step of serial entry
};

// The operand of Pulse. The names are the words the log uses.
enum class PulseKind : std::uint8_t {
    EnterHVPProgMode_AVR = 0x00,  // the gateway runs the high-voltage entry itself
    GivePagelPosPulse = 0x01,     // PAGEL: latch a page buffer word
    GiveXTALPosPulse = 0x02,      // XTAL1: latch a command, address or data byte
    GiveWRNegPulse = 0x03,        // WR: start a write or erase
    GiveWR100NegPulse = 0x08,     // long WR pulse: chip erase of the older chips
    GiveWR15NegPulse = 0x09,      // WR pulse of a second length: fuse write of the older chips
};

// Length in bytes of the command starting with code (code included); 0 for an unknown code.
int CommandLength(std::uint8_t code);
// How many answer bytes the command produces: 1 for the pin reads, 4 for SpiFetch (the
// bytes of one 4-byte transfer), 1 for Handshake3, 0 otherwise.
int AnswerLength(std::uint8_t code);
// ReadPinB, ReadPinC and SpiFetch: the commands a packet may hold at most one of.
bool IsReadCommand(std::uint8_t code);

// The gateway answers a fetch with the four bytes of the last transfer, last received first.
inline constexpr int SpiFetchAnswerBytes = 4;
// ...but the system asks for 8 and accepts any non-empty answer.
inline constexpr int SpiFetchExpected = 8;

// Builds one packet, command by command, in sending order. Breaking a packet rule (more
// than 9 bytes, a second read command) is a programming error and throws std::logic_error.
class PacketBuilder {
public:
    PacketBuilder& SetDdrB(std::uint8_t v) { return Command(GatewayCommand::SetDdrB, v); }
    PacketBuilder& SetPortB(std::uint8_t v) { return Command(GatewayCommand::SetPortB, v); }
    PacketBuilder& SetDdrC(std::uint8_t v) { return Command(GatewayCommand::SetDdrC, v); }
    PacketBuilder& SetPortC(std::uint8_t v) { return Command(GatewayCommand::SetPortC, v); }
    PacketBuilder& SetDdrD(std::uint8_t v) { return Command(GatewayCommand::SetDdrD, v); }
    PacketBuilder& SetPortD(std::uint8_t v) { return Command(GatewayCommand::SetPortD, v); }
    PacketBuilder& ReadPinB() { return Command(GatewayCommand::ReadPinB); }
    PacketBuilder& ReadPinC() { return Command(GatewayCommand::ReadPinC); }
    PacketBuilder& Pulse(PulseKind kind) { return Command(GatewayCommand::Pulse, std::uint8_t(kind)); }
    // [44 I4 I3 I2 I1]: the instruction travels last byte first.
    PacketBuilder& SpiLoad(std::uint8_t i1, std::uint8_t i2, std::uint8_t i3, std::uint8_t i4);
    PacketBuilder& SpiTransfer() { return Command(GatewayCommand::SpiTransfer); }
    PacketBuilder& SpiFetch() { return Command(GatewayCommand::SpiFetch); }
    PacketBuilder& SpiPrepare() { return Command(GatewayCommand::SpiPrepare); }
    PacketBuilder& SpiStart() { return Command(GatewayCommand::SpiStart); }

    // True when the packet holds a read command, so its sender must read the answer.
    bool HasRead() const { return hasRead_; }
    // The count its sender asks ReadAnswer for: 1 after a pin read, SpiFetchExpected after a
    // fetch, 0 when the packet has no read.
    int ExpectedAnswer() const { return expected_; }
    const GatewayPacket& Packet() const { return packet_; }
    operator const GatewayPacket&() const { return packet_; }

private:
    PacketBuilder& Command(GatewayCommand code);
    PacketBuilder& Command(GatewayCommand code, std::uint8_t operand);
    void Append(std::uint8_t byte);

    GatewayPacket packet_;
    bool hasRead_ = false;
    int expected_ = 0;
};

// The texts a failure line uses for what was read: LogAnswerError + one of these.
inline constexpr std::string_view AnswerPinB = " (PINB)";
inline constexpr std::string_view AnswerPinC = " (PINC)";
inline constexpr std::string_view AnswerSpi = " (SPI paket)";

// The failure text of a command sent alone: its log word (" GiveWRNegPulse",
// " EnterHVPProgMode_AVR", " PINCRead") or its code (" 0x46", " 0x45", " 0x47", " 0x48").
// An SpiLoad is named by its caller with letters for the variable bytes (" 0x44 0x00 b a 0x2H").
std::string_view LoneCommandText(GatewayCommand code);
std::string_view PulseText(PulseKind kind);

}  // namespace velmora
