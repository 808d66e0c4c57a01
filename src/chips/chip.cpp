#include "chips/chip.h"

#include <algorithm>

namespace velmora {

chip::chip() : FlashImage(FlashImageSize, 0xFF), EepromImage(EepromImageSize, 0xFF)
{
    FuseDefaults.fill(0xFF);
    CalibrationBytes.fill(0xFF);
}

std::uint8_t* chip::Image(int kind)
{
    return kind == FlashKind ? FlashImage.data() : kind == EepromKind ? EepromImage.data() : nullptr;
}

const std::uint8_t* chip::Image(int kind) const
{
    return const_cast<chip*>(this)->Image(kind);
}

std::uint32_t chip::ImageSize(int kind) const
{
    // The sizes never exceed the buffers; the clamp keeps a corrupted size from overrunning them.
    if (kind == FlashKind)
        return std::min<std::uint32_t>(flashSize, FlashImageSize);
    if (kind == EepromKind)
        return std::min<std::uint32_t>(eepromSize, EepromImageSize);
    return 0;
}

void ResetBuffer(ChipState& state, std::uint8_t type)
{
    chip& c = state.CurrentChip;
    switch (type) {
    case 1:
        std::fill(c.FlashImage.begin(), c.FlashImage.end(), BlankValue(state));
        break;
    case 2:
        std::fill(c.EepromImage.begin(), c.EepromImage.end(), BlankValue(state));
        break;
    case 3: {
        c.FuseDefaults.fill(0xFF);
        c.FusesReadFromChip.reset();
        if (const ChipEntry* e = c.entry)
            std::copy_n(e->factory.begin(), e->factoryCount, c.FuseDefaults.begin());
        break;
    }
    case 4:
        c.CalibrationBytes.fill(0xFF);
        break;
    default:
        break;
    }
}

}  // namespace velmora
