#pragma once
// Where the bytes of an image file go. The AVR toolchain keeps every memory of a chip in one
// address space (avr-gcc's linker scripts, avr-objcopy's full HEX output, the load addresses
// of an ELF file): flash from 0, EEPROM from 0x810000, the fuse bytes from 0x820000 (low, high,
// extended) and the lock byte at 0x830000. Every file reader hands its bytes to an ImagePlacer
// by file address; the placer keeps the ones of the memory being loaded and notes the fuse and
// lock bytes, whichever memory that is.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velmora {

inline constexpr std::uint64_t EepromSectionAddress = 0x810000;
inline constexpr std::uint64_t FuseSectionAddress = 0x820000;
inline constexpr std::uint64_t LockSectionAddress = 0x830000;
// The signature and user signature sections (0x840000, 0x850000) describe the chip; nothing
// of them is written, so a load passes over them.
inline constexpr std::uint64_t ToolchainSpaceEnd = 0x860000;

// The lock and fuse bytes a file holds: fuse[0] is the low fuse byte (or the only one), fuse[1]
// the high, fuse[2] the extended one, as the toolchain's FUSES and LOCKBITS macros lay them out.
struct FileFuseBytes {
    std::array<std::optional<std::uint8_t>, 3> fuse;
    std::optional<std::uint8_t> lock;
    bool Any() const { return lock || fuse[0] || fuse[1] || fuse[2]; }
    bool operator==(const FileFuseBytes&) const = default;
};

enum class PlaceInto { Flash, Eeprom };

class ImagePlacer {
public:
    // Bytes of the memory go to image below memorySize (never past the buffer); defined, when
    // given, gets 1 for every byte stored. An EEPROM load takes the EEPROM section; a file
    // without one is an EEPROM file of its own (an .eep) whose addresses from 0 are EEPROM
    // addresses. Those bytes are held back until Finish, since a later EEPROM section makes
    // them flash bytes of a file holding all memories.
    ImagePlacer(std::span<std::uint8_t> image, std::size_t memorySize, PlaceInto into,
                std::span<std::uint8_t> defined = {});

    void Put(std::uint64_t fileAddress, std::uint8_t value);
    void Finish();

    // Bytes of the memory at addresses beyond its size, and the file address of the first.
    std::uint64_t DroppedBytes() const { return dropped_; }
    std::uint64_t FirstDropped() const { return firstDropped_; }
    const FileFuseBytes& Fuses() const { return fuses_; }
    // The file has bytes in the EEPROM section (whatever the memory loaded).
    bool HasEepromSection() const { return eepromSection_; }

private:
    void Store(std::uint64_t address, std::uint64_t fileAddress, std::uint8_t value);

    std::span<std::uint8_t> image_;
    std::span<std::uint8_t> defined_;
    std::uint64_t limit_;
    PlaceInto into_;
    std::uint64_t dropped_ = 0;
    std::uint64_t firstDropped_ = 0;
    FileFuseBytes fuses_;
    bool eepromSection_ = false;
    // An EEPROM load's bytes below the EEPROM section until Finish decides: their values, a
    // mark for each address given, and those beyond the memory.
    std::vector<std::uint8_t> heldValues_;
    std::vector<std::uint8_t> heldGiven_;
    std::uint64_t heldDropped_ = 0;
    std::uint64_t heldFirstDropped_ = 0;
    bool finished_ = false;
};

}  // namespace velmora
