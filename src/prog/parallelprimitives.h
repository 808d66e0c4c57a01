#pragma once
// The building blocks of high-voltage parallel programming, as gateway commands: the six
// byte loads (control lines, data bus, XTAL1 latch), the RDY/BSY poll, and the generic mode
// entry and exit with the signature read that chip identification uses.
//
// Every function returns false (ReadSignature: 0) when a step failed; the step has then
// written its line and dropped the link. The one exception is WaitReady giving up on a
// chip that stays busy: no line, link kept. The loads write nothing on success and never
// sleep.

#include "prog/progcontext.h"
#include "prog/signaturecode.h"

#include <cstdint>

namespace velmora {

// The command byte latched by LoadCommand: the chips' parallel programming commands.
enum class ProgCommand : std::uint8_t {
    ChipErase = 0x80,
    WriteFuseBits = 0x40,
    WriteLockBits = 0x20,
    WriteFlash = 0x10,
    WriteEeprom = 0x11,
    ReadSignatureAndCalibration = 0x08,
    ReadFuseAndLockBits = 0x04,
    ReadFlash = 0x02,
    ReadEeprom = 0x03,
    NoOperation = 0x00,  // ends a sequence of flash page writes
};

// Port C / port D values of the working state (+12 V stays on: port C bit 3).
inline constexpr std::uint8_t PortDWork = 0x14;  // PD_WORK: WR = 1, OE = 1
inline constexpr std::uint8_t PortDReadLow = 0x10;  // OE = 0: the chip drives the data bus


bool LoadCommand(const ProgContext& ctx, std::uint8_t command);
inline bool LoadCommand(const ProgContext& ctx, ProgCommand command)
{
    return LoadCommand(ctx, std::uint8_t(command));
}
bool LoadAddressLow(const ProgContext& ctx, std::uint8_t byte);
bool LoadAddressHigh(const ProgContext& ctx, std::uint8_t byte);
bool LoadDataLow(const ProgContext& ctx, std::uint8_t byte);
bool LoadDataHigh(const ProgContext& ctx, std::uint8_t byte);
// The third address byte of the chips with more than 128 KiB of flash (BS2 = 1).
bool LoadAddressExtended(const ProgContext& ctx, std::uint8_t byte);

// Polls RDY/BSY (port C bit 0) up to WaitReadyPolls times, 1 ms apart.
inline constexpr int WaitReadyPolls = 50;
bool WaitReady(const ProgContext& ctx);

// Sends packet, which ends in the WR pulse (0x1D 0x03) of a write or erase, waits DelaysValue
// ms and polls until the chip is ready again.
bool WriteAndWaitReady(const ProgContext& ctx, const GatewayPacket& packet, std::string_view failText);
// A write pulse of fixed length (0x1D 0x08, 0x1D 0x09) on a chip without a RDY/BSY line to ask
// during it: the pulse, then DelaysValue ms.
bool FixedWritePulse(const ProgContext& ctx, PulseKind pulse);

// The failure texts of the five writes of a mode entry, in order: data bus released, port C
// idle, port D low, the power-up, WR = OE = 1. Each chip generation's log has named them its
// own way, so there are three sets.
struct EntryTexts {
    std::string_view releaseBus;
    std::string_view portCIdle;
    std::string_view portDLow;
    std::string_view powerUp;  // the gateway's entry pulse; the PC's power-up has its own texts
    std::string_view work;
};
// By the command bytes: the generic entry and the AT90S/AT90CAN units.
inline constexpr EntryTexts CodeEntryTexts{" 0x0B 0x0 0x0D 0x0", " 0x0F 0x32 0x11 0x0", " 0x13 0xFC 0x15 0x0",
                                           " 0x1D 0x0", " 0x15 0x14(PD_WORK)"};
// By what they do: the ATmega and ATtiny units.
inline constexpr EntryTexts NamedEntryTexts{" set DDRB=0, PORTB=0", " set DDRC=0x32, PORTC=0x0",
                                            " set DDRD=0xFC, PORTD=0x0", " EnterHVPProgMode_AVR", " set WR=1, OE=1"};
// The AT90S1200's.
inline constexpr EntryTexts At90s1200EntryTexts{" set DDRB=0x0, PORTB=0x0", " set DDRC=0x32, PORTC=0x0",
                                                " set DDRD=0xFC, PORTD=0x0", " EnterHVPPrgMode_AVR", " set WR=1, OE=1"};

// Who powers the chip up into programming mode.
enum class EntryPower : std::uint8_t {
    Gateway,  // the gateway's own entry pulse (0x1D 0x00): fast enough for every chip
    Pc,       // +5 V, six XTAL1 pulses, +12 V, each as its own packet from the PC
};

// Powers the chip off and up again into parallel programming mode, WR = OE = 1 at the end.
bool EnterParallelMode(const ProgContext& ctx, const EntryTexts& texts = CodeEntryTexts,
                       EntryPower power = EntryPower::Gateway);
// Switches +12 V and +5 V off; ports B and D stay as they were.
bool ExitParallelMode(const ProgContext& ctx);
// Reads signature bytes 0..2; 0 on any failure (which is also "no chip": only the log
// tells the two apart).
SignatureCode ReadSignature(const ProgContext& ctx);

}  // namespace velmora
