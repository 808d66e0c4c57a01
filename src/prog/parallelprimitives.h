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

// The signature bytes as one integer: byte 0 | byte 1 << 8 | byte 2 << 16; 0 = no chip.
using SignatureCode = std::int32_t;

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

// Generic entry: the gateway powers the chip into programming mode itself (pulse 0x00).
bool EnterParallelMode(const ProgContext& ctx);
// Switches +12 V and +5 V off; ports B and D stay as they were.
bool ExitParallelMode(const ProgContext& ctx);
// Reads signature bytes 0..2; 0 on any failure (which is also "no chip": only the log
// tells the two apart).
SignatureCode ReadSignature(const ProgContext& ctx);

}  // namespace velmora
