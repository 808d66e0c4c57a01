#pragma once
// Lock and fuse bytes that come with an image file (the .fuse and .lock sections of an avr-gcc
// program) put into the chip's FuseDefaults slots. They are only offered: the usual write,
// with its questions, is what changes the chip.

#include "chips/imageplacer.h"
#include "fuses/fuselayout.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace velmora {

// The FuseDefaults slot of a file's fuse byte i (0 low or only, 1 high, 2 extended), or of its
// lock byte for i = 3; -1 when the chip has no such byte.
int FileFuseSlot(const FuseLayout& layout, int i);

// The file's byte i (as for FileFuseSlot), if it holds one.
std::optional<std::uint8_t> FileFuseByte(const FileFuseBytes& file, int i);

// The name of byte i as write-fuses takes it: low, high, ext, lock.
std::string_view FileFuseName(int i);

// Puts the file's bytes into slots. When the file holds a byte the chip does not have, nothing
// is changed and the result is that byte's index (as for FileFuseSlot); otherwise -1.
int TakeFileFuses(const FuseLayout& layout, const FileFuseBytes& file, std::span<std::uint8_t, 8> slots);

}  // namespace velmora
