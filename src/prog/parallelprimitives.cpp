#include "prog/parallelprimitives.h"

#include "log/operationlog.h"
#include "prog/framed.h"

#include <string_view>

namespace velmora {

namespace {

// One row per load: the control lines it sets and the failure text of each of its three
// sends. The texts differ from row to row because each names the step as the log has
// always named it.
struct LoadForm {
    std::uint8_t portC;
    std::uint8_t portD;
    std::string_view linesText;
    std::string_view busText;
    std::string_view latchText;
};

constexpr LoadForm CommandForm{0x18, PortDWork, " set XA1, XA0 = 10, BS1, BS2 = 00", " set Command", " GiveXtalPosPulse"};
constexpr LoadForm AddressLowForm{0x08, PortDWork, " set XA1, XA0 = 00, BS1, BS2 = 00", " Load Address Low Byte", " 0x1D 0x02"};
constexpr LoadForm AddressHighForm{0x0A, PortDWork, " set XA1, XA0 = 00, BS1, BS2 = 10", " 0x0D a", " 0x1D 0x02"};
constexpr LoadForm DataLowForm{0x08, 0x54, " set XA1, XA0 = 01, BS1, BS2 = 00", " Load Data Low Byte", " 0x1D 0x02"};
constexpr LoadForm DataHighForm{0x0A, 0x54, " set XA1, XA0 = 01, BS1, BS2 = 10", " Load Data High Byte", " 0x1D 0x02"};
constexpr LoadForm AddressExtendedForm{0x08, 0x94, " set XA1, XA0 = 00, BS1, BS2 = 01", " 0x0D a", " 0x1D 0x02"};

bool Load(const ProgContext& ctx, const LoadForm& form, std::uint8_t byte)
{
    return ctx.Send(Packets::ControlLines(form.portC, form.portD), form.linesText) &&
           ctx.Send(Packets::DriveBus(byte), form.busText) &&
           ctx.Send(Packets::Pulse(PulseKind::GiveXTALPosPulse), form.latchText);
}

}  // namespace

bool LoadCommand(const ProgContext& ctx, std::uint8_t command) { return Load(ctx, CommandForm, command); }
bool LoadAddressLow(const ProgContext& ctx, std::uint8_t byte) { return Load(ctx, AddressLowForm, byte); }
bool LoadAddressHigh(const ProgContext& ctx, std::uint8_t byte) { return Load(ctx, AddressHighForm, byte); }
bool LoadDataLow(const ProgContext& ctx, std::uint8_t byte) { return Load(ctx, DataLowForm, byte); }
bool LoadDataHigh(const ProgContext& ctx, std::uint8_t byte) { return Load(ctx, DataHighForm, byte); }
bool LoadAddressExtended(const ProgContext& ctx, std::uint8_t byte) { return Load(ctx, AddressExtendedForm, byte); }

bool WaitReady(const ProgContext& ctx)
{
    const PacketBuilder poll = PacketBuilder().ReadPinC();
    GatewayPacket answer;
    for (int tries = 0; tries < WaitReadyPolls; ++tries) {
        if (!ctx.Exchange(poll, LoneCommandText(GatewayCommand::ReadPinC), AnswerPinC, answer))
            return false;
        // The answer shows the gateway has run everything: the 1 ms between polls need not
        // wait for the line.
        ctx.link.NoteAllExecuted();
        if (answer.data[0] & 0x01)
            return true;
        ctx.Sleep(1);
    }
    // Still busy: the caller stops without a line of its own; the link stays usable.
    return false;
}

bool WriteAndWaitReady(const ProgContext& ctx, const GatewayPacket& packet, std::string_view failText)
{
    if (!ctx.Send(packet, failText))
        return false;
    ctx.DelaySleep();
    return WaitReady(ctx);
}

bool FixedWritePulse(const ProgContext& ctx, PulseKind pulse)
{
    if (!ctx.Send(Packets::Pulse(pulse), PulseText(pulse)))
        return false;
    ctx.DelaySleep();
    // No ready poll follows a fixed pulse: an answered command checks the link instead.
    return ctx.CheckLink();
}

namespace {

// The datasheets' entry: +5 V, at least six XTAL1 pulses with the Prog_enable lines low,
// then +12 V on RESET.
bool PowerUpFromPc(const ProgContext& ctx)
{
    if (!ctx.Send(Packets::SupplyOn(), " enable +5V"))
        return false;
    for (int i = 0; i < 6; ++i) {
        if (!ctx.Send(Packets::Pulse(PulseKind::GiveXTALPosPulse), " GiveXTALPosPulse"))
            return false;
    }
    return ctx.Send(Packets::ProgrammingVoltageOn(), " enable +12V");
}

}  // namespace

bool EnterParallelMode(const ProgContext& ctx, const EntryTexts& texts, EntryPower power)
{
    return Framed(ctx, " enter Programming Mode", [&] {
        if (!ctx.Send(Packets::ReleaseDataBus(), texts.releaseBus) || !ctx.Send(Packets::PortCIdle(), texts.portCIdle) ||
            !ctx.Send(Packets::PortDAllLow(), texts.portDLow))
            return false;
        // The chip without supply for a moment: it forgets whatever mode it was in.
        ctx.SettleSleep();
        if (power == EntryPower::Pc) {
            if (!PowerUpFromPc(ctx))
                return false;
        } else if (!ctx.Send(Packets::Pulse(PulseKind::EnterHVPProgMode_AVR), texts.powerUp)) {
            return false;
        }
        ctx.SettleSleep();
        return ctx.Send(Packets::PortDWork(), texts.work);
    });
}

bool ExitParallelMode(const ProgContext& ctx)
{
    return Framed(ctx, " exit Programming Mode", [&] {
        if (!ctx.Send(Packets::SuppliesOff(), " 0x11 0x0 0x0F 0x32"))
            return false;
        ctx.SettleSleep();
        return true;
    });
}

SignatureCode ReadSignature(const ProgContext& ctx)
{
    ctx.log.WriteLog(LogTrying, QStringLiteral(" read signature bytes"));
    SignatureCode code = 0;
    if (!LoadCommand(ctx, ProgCommand::ReadSignatureAndCalibration))
        return 0;
    // Bus to input, OE low, read, OE high again; the address high byte is never loaded.
    const PacketBuilder read = Packets::ReadByte();
    GatewayPacket answer;
    for (int i = 0; i < 3; ++i) {
        if (!LoadAddressLow(ctx, std::uint8_t(i)) || !ctx.Exchange(read, " Read Signature Bytes", AnswerPinB, answer))
            return 0;
        code |= SignatureCode(answer.data[0]) << (8 * i);
    }
    ctx.log.WriteLog(LogFinished);
    return code;
}

}  // namespace velmora
