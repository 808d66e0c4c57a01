#pragma once
// The current chip with its memory images, lock and fuse values and calibration bytes, and
// the state that goes with it for the whole run. Owned by the application, passed explicitly.

#include "chips/catalogue.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

inline constexpr std::size_t FlashImageSize = 0x40000;   // 256 KiB, the largest flash
inline constexpr std::size_t EepromImageSize = 0x10000;  // 64 KiB

enum ImageKind : int { NoImage = 0, FlashKind = 1, EepromKind = 2 };

class chip {
public:
    chip();

    // The catalogue row of this chip: the family, geometry and layouts every command works
    // with; null with no chip selected. A failed selection leaves it, like the fields below.
    const ChipEntry* entry = nullptr;
    std::string name;     // UTF-8
    std::string picture;  // connection picture file name
    velmora::SignatureCode SignatureCode = 0;
    std::uint32_t flashSize = 0;
    std::vector<std::uint8_t> FlashImage;  // FlashImageSize bytes; word w at [2w] (low), [2w+1]
    std::uint32_t eepromSize = 0;
    std::vector<std::uint8_t> EepromImage;  // EepromImageSize bytes
    std::array<std::uint8_t, 8> FuseDefaults{};
    // The lock and fuse bytes this chip last gave in this run (a read, or the check after a
    // write); none since the selection, which puts factory values into FuseDefaults.
    std::optional<std::array<std::uint8_t, 8>> FusesReadFromChip;
    std::uint8_t CalibrationCount = 0;
    std::array<std::uint8_t, 8> CalibrationBytes{};

    // The image of kind and the part of it the chip uses (size 0 for any other kind).
    std::uint8_t* Image(int kind);
    const std::uint8_t* Image(int kind) const;
    std::uint32_t ImageSize(int kind) const;
};

struct ChipState {
    chip CurrentChip;
    // 1 while one of the NIIET parts is to be programmed: it picks the NIIET entry for a shared
    // signature and makes erased bytes read 0x00.
    int NiietMode = 0;
};

// The value of an erased byte: 0xFF, or 0x00 for the NIIET parts.
inline std::uint8_t BlankValue(const ChipState& state)
{
    return state.NiietMode == 1 ? 0x00 : 0xFF;
}

// 1: flash image blank; 2: EEPROM image blank; 3: factory lock and fuse values of the current
// chip, and the values read from a chip forgotten; 4: calibration bytes 0xFF. Any other type
// does nothing.
void ResetBuffer(ChipState& state, std::uint8_t type);

}  // namespace velmora
