#pragma once
// Autosearch: identifies the chip in the socket by its signature, through the generic
// parallel programming entry, and selects it.

#include "chips/selection.h"
#include "prog/progcontext.h"

#include <optional>

namespace velmora {

// The gateway half: generic entry, NiietMode = 0 once the entry succeeded, signature read,
// exit. Returns the code read (0 when the read failed), or nothing when the entry or the exit
// failed; those write " with fail." after their own lines. Touches no view, so it can run on
// the thread that owns the link.
std::optional<SignatureCode> ReadChipCode(const ProgContext& ctx, int& niietMode);

// The whole of Autosearch: ReadChipCode, then SelectChip with the code read.
const ChipEntry* Autosearch(const ProgContext& ctx, ChipState& state, const ShowChipFn& showChip);

}  // namespace velmora
