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

// Sends SpiLoad [44 I4 I3 I2 I1] (failText names it on failure), then SpiTransfer, then
// waits DelaysValue ms.
bool SpiInstruction(const ProgContext& ctx, std::uint8_t i1, std::uint8_t i2, std::uint8_t i3, std::uint8_t i4,
                    std::string_view failText);
// Fetches what the chip returned during the last instruction (asks for 8 bytes, takes any
// non-empty answer).
bool SpiAnswer(const ProgContext& ctx, SpiAnswerBytes& answer);

// The wait the chip needs after SpiStart before it listens to Programming Enable.
inline constexpr int SpiStartSettleMs = 20;
inline constexpr std::string_view ProgrammingEnableText = " 0x44 0x00 0x00 0x53 0xAC";

// SpiPrepare, SpiStart, Programming Enable and its echo check. A wrong echo (also an
// answer of a single byte, which cannot hold the echo) gives false with no line and the
// link kept; the user simply tries again.
bool SpiProgrammingEnable(const ProgContext& ctx, std::string_view startText);

}  // namespace velmora
