// libFuzzer target for the Motorola S-record reader and the ELF reader, both through the
// toolchain's address space. The first input byte picks the memory and the reader, the rest is
// the file. Beyond not crashing, nothing may be written at or above the memory size, and what
// the S-record reader loaded must survive a round trip through the writer.

#include "chips/elffile.h"
#include "chips/srecfile.h"

#include "fuzzcheck.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t Sizes[] = {0, 64, 512, 1024, 8192, 65536, 262144};
using fuzzcheck::Buffer;
using fuzzcheck::Check;
using fuzzcheck::Untouched;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t memorySize = Sizes[(data[0] & 0x0F) % (sizeof Sizes / sizeof Sizes[0])];
    const velmora::PlaceInto into = data[0] & 0x10 ? velmora::PlaceInto::Eeprom : velmora::PlaceInto::Flash;
    const bool elf = data[0] & 0x20;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    static std::vector<std::uint8_t> image(Buffer);
    static const std::vector<std::uint8_t> untouched(Buffer, Untouched);
    std::memcpy(image.data(), untouched.data(), Buffer);
    if (elf) {
        velmora::ImagePlacer placer(image, memorySize, into);
        velmora::PlaceElfImage(std::as_bytes(std::span(data + 1, size - 1)), placer);
    } else {
        velmora::ParseSrecText(text, image, memorySize, into);
    }
    Check(std::memcmp(image.data() + memorySize, untouched.data() + memorySize, Buffer - memorySize) == 0);

    if (!elf && memorySize <= 1024) {
        const std::span<const std::uint8_t> loaded(image.data(), memorySize);
        std::vector<std::uint8_t> again(memorySize, static_cast<std::uint8_t>(~Untouched));
        Check(velmora::ParseSrecText(velmora::FormatSrecText(loaded), again, memorySize).stop == velmora::HexStop::EndRecord);
        Check(std::equal(again.begin(), again.end(), loaded.begin()));
    }
    return 0;
}
