#pragma once
// The program an avr-gcc ELF file holds, read through libelf: every section that is loaded
// into the chip (.text, .data, .eeprom, .fuse, .lock and the like) goes to an ImagePlacer at
// its load address, so .data lands in flash behind .text, where the startup code copies it
// from, and not at its RAM address.

#include "chips/imageplacer.h"

#include <cstddef>
#include <span>
#include <string>

namespace velmora {

// An ELF file that is no AVR program, or one made for a 64-bit machine, would not fit any
// AVR chip; what the file holds is returned as the reason (empty when the sections were placed).
std::string PlaceElfImage(std::span<const std::byte> file, ImagePlacer& placer);

// The ELF file's first bytes.
inline constexpr char ElfMagic[] = "\x7f" "ELF";

}  // namespace velmora
