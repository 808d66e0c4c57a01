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

// The gateway answers a fetch with the four bytes of the last transfer, last received first,
// so a fetch's answer is complete with them: waiting for more would wait out the whole answer
// time on every serial read. Any non-empty answer is accepted.
inline constexpr int SpiFetchAnswerBytes = 4;
inline constexpr int SpiFetchExpected = SpiFetchAnswerBytes;

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
    // True when the packet's read command is SpiFetch, whose answer length is the gateway's.
    bool Fetches() const { return fetches_; }
    const GatewayPacket& Packet() const { return packet_; }
    operator const GatewayPacket&() const { return packet_; }

private:
    PacketBuilder& Command(GatewayCommand code);
    PacketBuilder& Command(GatewayCommand code, std::uint8_t operand);
    void Append(std::uint8_t byte);

    GatewayPacket packet_;
    bool hasRead_ = false;
    bool fetches_ = false;
    int expected_ = 0;
};

// The packets that recur across the programming steps, by what they do to the chip.
// Port C keeps bit 3 set (+12 V) in every value written while in programming mode.
namespace Packets {
// [0B 00 0D 00] data bus to input, no pull-ups
inline PacketBuilder ReleaseDataBus() { return PacketBuilder().SetDdrB(0x00).SetPortB(0x00); }
// [0F 32 11 00] port C idle: BS1, XA1 and C5 outputs, both supplies off
inline PacketBuilder PortCIdle() { return PacketBuilder().SetDdrC(0x32).SetPortC(0x00); }
// [13 FC 15 00] port D: D2..D7 outputs, all low
inline PacketBuilder PortDAllLow() { return PacketBuilder().SetDdrD(0xFC).SetPortD(0x00); }
// [0F 36] +5 V on
inline PacketBuilder SupplyOn() { return PacketBuilder().SetDdrC(0x36); }
// [0F 3E 11 08] +12 V on RESET, XA1 = BS1 = 0
inline PacketBuilder ProgrammingVoltageOn() { return PacketBuilder().SetDdrC(0x3E).SetPortC(0x08); }
// [15 14] PD_WORK: WR = 1, OE = 1, XA0 = 0, BS2 = 0
inline PacketBuilder PortDWork() { return PacketBuilder().SetPortD(0x14); }
// [11 00 0F 32] +12 V and +5 V off: leaves programming mode
inline PacketBuilder SuppliesOff() { return PacketBuilder().SetPortC(0x00).SetDdrC(0x32); }
// [11 c 15 d] the control lines of a byte load
inline PacketBuilder ControlLines(std::uint8_t c, std::uint8_t d) { return PacketBuilder().SetPortC(c).SetPortD(d); }
// [0B FF 0D v] drive v onto the data bus
inline PacketBuilder DriveBus(std::uint8_t v) { return PacketBuilder().SetDdrB(0xFF).SetPortB(v); }
// [1D kind] one pulse
inline PacketBuilder Pulse(PulseKind kind) { return PacketBuilder().Pulse(kind); }
// [0B 00 15 10 17] read the low byte: bus to input, OE low, read (OE stays low)
inline PacketBuilder ReadLowByte() { return PacketBuilder().SetDdrB(0x00).SetPortD(0x10).ReadPinB(); }
// [11 0A 17 15 14] read the high byte: BS1 high, read, OE back high
inline PacketBuilder ReadHighByte() { return PacketBuilder().SetPortC(0x0A).ReadPinB().SetPortD(0x14); }
// [0B 00 15 10 17 15 14] read one byte and release OE
inline PacketBuilder ReadByte() { return PacketBuilder().SetDdrB(0x00).SetPortD(0x10).ReadPinB().SetPortD(0x14); }
// [11 s 0B 00 15 o 17 15 14] read with selector s on port C and o on port D (fuse, lock and
// calibration bytes)
inline PacketBuilder ReadSelected(std::uint8_t s, std::uint8_t o)
{
    return PacketBuilder().SetPortC(s).SetDdrB(0x00).SetPortD(o).ReadPinB().SetPortD(0x14);
}
// [11 08 1D 03] BS1 = 0, then the WR pulse that programs a page
inline PacketBuilder CommitPage() { return PacketBuilder().SetPortC(0x08).Pulse(PulseKind::GiveWRNegPulse); }
}  // namespace Packets

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
