#pragma once
// The building blocks of serial (SPI) programming: one 4-byte instruction handed to the
// gateway and shifted out, the fetch of what the chip shifted back, and the entry into
// serial programming with the Programming Enable echo check.

#include "prog/progcontext.h"

#include <cstdint>
#include <string_view>

namespace velmora {

// The two bytes of a fetch answer that the system uses.
struct SpiAnswerBytes {
    std::uint8_t byte0 = 0;  // returned while I4 went out: the data byte of a read
    std::uint8_t byte1 = 0;  // returned while I3 went out: the echo of I2
    int count = 0;           // how many bytes the gateway answered
};

// One serial programming instruction, in the order of the chips' instruction set (i1 is the
// instruction code), with the text that names its load packet in a failure line. The text
// spells the packet with letters for the variable bytes (" 0x44 0x00 b a 0x2H"); the values
// themselves never go into the log.
struct SerialInstruction {
    std::uint8_t i1 = 0;
    std::uint8_t i2 = 0;
    std::uint8_t i3 = 0;
    std::uint8_t i4 = 0;
    std::string_view failText;

    constexpr bool operator==(const SerialInstruction&) const = default;
};

// Sends SpiLoad [44 I4 I3 I2 I1] (failText names it on failure), then SpiTransfer, then
// waits DelaysValue ms.
bool SpiInstruction(const ProgContext& ctx, const SerialInstruction& instruction);
// Fetches what the chip returned during the last instruction: the gateway answers the four
// bytes of the transfer, and the answer is complete once they are there.
bool SpiAnswer(const ProgContext& ctx, SpiAnswerBytes& answer);
// An instruction followed at once by the fetch of its answer: every serial read.
bool SpiRead(const ProgContext& ctx, const SerialInstruction& instruction, SpiAnswerBytes& answer);

// The wait the chip needs after SpiStart before it listens to Programming Enable.
inline constexpr int SpiStartSettleMs = 20;
inline constexpr SerialInstruction ProgrammingEnableInstruction{
    .i1 = 0xAC, .i2 = 0x53, .i3 = 0x00, .i4 = 0x00, .failText = " 0x44 0x00 0x00 0x53 0xAC"};

// Read Signature Byte (30 00 b 00): signature byte b (0 to 2) in answer byte 0.
constexpr SerialInstruction ReadSignatureInstruction(std::uint8_t b)
{
    return {.i1 = 0x30, .i2 = 0x00, .i3 = b, .i4 = 0x00, .failText = " 0x44 0x00 b 0x00 0x30"};
}

// SpiPrepare, SpiStart, Programming Enable and its echo check. A wrong echo (also an
// answer of a single byte, which cannot hold the echo) gives false with no line and the
// link kept; the user simply tries again.
bool SpiProgrammingEnable(const ProgContext& ctx, std::string_view startText);

}  // namespace velmora
