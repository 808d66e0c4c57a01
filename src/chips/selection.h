#pragma once
// Making a catalogue entry the current chip, from the Chip Select menu or after Autosearch.

#include "chips/chip.h"

#include <functional>

namespace velmora {

class OperationLog;

// Sets up what shows the new chip (the hex views and the two chip fields); supplied by the
// layer that owns the views.
using ShowChipFn = std::function<void(SignatureCode code)>;

// Makes the entry of code current, shows it and resets both images and the lock, fuse and
// calibration values. Code 0 and unknown codes write their log line and change nothing.
// Returns the entry selected, or null.
const ChipEntry* SelectChip(ChipState& state, SignatureCode code, OperationLog& log, const ShowChipFn& showChip);

// A Chip Select menu item: NiietMode follows the item, then the entry's code is selected.
const ChipEntry* SelectMenuEntry(ChipState& state, const ChipEntry& entry, OperationLog& log,
                                 const ShowChipFn& showChip);

}  // namespace velmora
