#pragma once
// The Lock & Fuses dialog without widgets: the state of its panel, four group boxes and 32
// check boxes, and the operations that move values between FuseDefaults and the boxes. The
// window shows this state; the tests check it directly.
//
// The bit rule: the box of bit b in group g is checked exactly when bit b of slot g is 0
// (programmed).

#include "fuses/fuselayout.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace velmora {

struct FuseBox {
    bool checked = false;
    bool visible = false;
    bool enabled = true;
    std::string_view caption;
    std::string_view tip;
};

struct FuseBoxes {
    bool panelVisible = false;                           // Panel1
    std::array<bool, FuseGroupCount> groupVisible{};      // GroupBox1 .. GroupBox4
    std::array<std::string_view, FuseGroupCount> groupCaption{};
    std::array<FuseBox, FuseBoxCount> boxes{};            // CheckBox1 .. CheckBox32

    // CheckBox(Index + 1) stands for bit `bit` of group `group` (both from 0).
    static constexpr int Index(int group, int bit) { return group * FuseBitsPerGroup + bit; }
    FuseBox& Box(int group, int bit) { return boxes[std::size_t(Index(group, bit))]; }
    const FuseBox& Box(int group, int bit) const { return boxes[std::size_t(Index(group, bit))]; }
};

using FuseSlots = std::span<std::uint8_t, 8>;
using ConstFuseSlots = std::span<const std::uint8_t, 8>;

// Hides the panel, the groups and every box, unchecks and enables every box.
void ResetFuseBoxes(FuseBoxes& boxes);
// Unchecks every box.
void UncheckFuseBoxes(FuseBoxes& boxes);
// Captions and shows the layout's groups and named boxes, disables the disabled ones. Nothing
// without a layout.
void ApplyFuseLayout(const FuseLayout* layout, FuseBoxes& boxes);
// Checks the box of every shown bit that is 0 in its slot. Only ever checks: callers uncheck
// first. Nothing without a layout.
void FusesToBoxes(const FuseLayout* layout, ConstFuseSlots fuses, FuseBoxes& boxes);
// Each slot with a shown group becomes 0xFF with the bits of its checked boxes cleared
// (disabled boxes too): bits without a box are written as 1. The other slots are left alone.
// Nothing without a layout.
void BoxesToFuses(const FuseLayout* layout, const FuseBoxes& boxes, FuseSlots fuses);
// The state the dialog opens with: reset, the layout applied, the values shown, the panel shown.
FuseBoxes OpenedFuseBoxes(const FuseLayout* layout, ConstFuseSlots fuses);
// Replaces the checks by fuses' values (uncheck, then FusesToBoxes).
void ShowFuses(const FuseLayout* layout, ConstFuseSlots fuses, FuseBoxes& boxes);

}  // namespace velmora
