#pragma once
// Autosearch: identifies the chip in the socket by its signature and selects it. The generic
// parallel programming entry comes first; when it finds no catalogue chip, serial programming
// is tried, which is how the small chips without a parallel interface are found.

#include "chips/selection.h"
#include "prog/progcontext.h"

#include <optional>

namespace velmora {

// The gateway half: generic entry, NiietMode = 0 once the entry succeeded, signature read,
// exit; then, for a code that is no catalogue chip, Programming Enable and the serial
// signature read. Returns the code read: the serial one when a chip answered Programming
// Enable, else the parallel one (0 when the read failed). Returns nothing when the entry, the
// exit or a serial step failed; those write " with fail." after their own lines. Touches no
// view, so it can run on the thread that owns the link.
std::optional<SignatureCode> ReadChipCode(const ProgContext& ctx, int& niietMode);

// The whole of Autosearch: ReadChipCode, then SelectChip with the code read.
const ChipEntry* Autosearch(const ProgContext& ctx, ChipState& state, const ShowChipFn& showChip);

}  // namespace velmora
