#pragma once
// A chip's three signature bytes as one integer, the key of the catalogue and of chip
// identification.

#include <cstdint>

namespace velmora {

// Byte 0 | byte 1 << 8 | byte 2 << 16 (0x1E 0x93 0x07 gives 0x07931E); 0 means no chip.
using SignatureCode = std::int32_t;

constexpr SignatureCode MakeSignatureCode(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2)
{
    return static_cast<SignatureCode>(b0 | (b1 << 8) | (b2 << 16));
}

}  // namespace velmora
