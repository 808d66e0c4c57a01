#include "fuses/fuseboxes.h"

namespace velmora {

namespace {
// Calls f(group, bit, FuseBit) for every named bit of the layout's shown groups.
template <typename F>
void ForEachShownBit(const FuseLayout& layout, F&& f)
{
    for (int g = 0; g < layout.groupCount; ++g)
        for (int b = 0; b < FuseBitsPerGroup; ++b)
            if (const FuseBit& bit = layout.groups[std::size_t(g)].bits[std::size_t(b)]; bit.Shown())
                f(g, b, bit);
}
}  // namespace

void ResetFuseBoxes(FuseBoxes& boxes)
{
    boxes.panelVisible = false;
    boxes.groupVisible.fill(false);
    for (FuseBox& box : boxes.boxes)
        box.visible = false;
    UncheckFuseBoxes(boxes);
    for (FuseBox& box : boxes.boxes)
        box.enabled = true;
}

void UncheckFuseBoxes(FuseBoxes& boxes)
{
    for (FuseBox& box : boxes.boxes)
        box.checked = false;
}

void ApplyFuseLayout(const FuseLayout* layout, FuseBoxes& boxes)
{
    if (!layout)
        return;
    for (int g = 0; g < layout->groupCount; ++g) {
        boxes.groupCaption[std::size_t(g)] = layout->groups[std::size_t(g)].caption;
        boxes.groupVisible[std::size_t(g)] = true;
    }
    ForEachShownBit(*layout, [&](int g, int b, const FuseBit& bit) {
        FuseBox& box = boxes.Box(g, b);
        box.caption = bit.name;
        box.tip = TipOf(bit);
        box.enabled = !bit.disabled;
        box.visible = true;
    });
}

void FusesToBoxes(const FuseLayout* layout, ConstFuseSlots fuses, FuseBoxes& boxes)
{
    if (!layout)
        return;
    ForEachShownBit(*layout, [&](int g, int b, const FuseBit&) {
        if ((fuses[std::size_t(g)] >> b & 1) == 0)
            boxes.Box(g, b).checked = true;
    });
}

void BoxesToFuses(const FuseLayout* layout, const FuseBoxes& boxes, FuseSlots fuses)
{
    if (!layout)
        return;
    for (int g = 0; g < layout->groupCount; ++g)
        fuses[std::size_t(g)] = 0xFF;
    ForEachShownBit(*layout, [&](int g, int b, const FuseBit&) {
        if (boxes.Box(g, b).checked)
            fuses[std::size_t(g)] = std::uint8_t(fuses[std::size_t(g)] & ~(1u << b));
    });
}

FuseBoxes OpenedFuseBoxes(const FuseLayout* layout, ConstFuseSlots fuses)
{
    FuseBoxes boxes;
    ResetFuseBoxes(boxes);
    ApplyFuseLayout(layout, boxes);
    FusesToBoxes(layout, fuses, boxes);
    boxes.panelVisible = true;
    return boxes;
}

void ShowFuses(const FuseLayout* layout, ConstFuseSlots fuses, FuseBoxes& boxes)
{
    UncheckFuseBoxes(boxes);
    FusesToBoxes(layout, fuses, boxes);
}

}  // namespace velmora
