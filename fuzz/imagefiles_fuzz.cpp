// libFuzzer target for the Intel HEX reader. The first input byte picks the memory (a size of the
// chip catalogue, program or data), the rest is the file's text. Beyond not crashing, the reader
// must never touch a byte at or above the memory size, and whatever it loaded must survive a
// round trip through the writer.

#include "chips/hexfile.h"

#include "fuzzcheck.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

struct Memory {
    std::size_t size;
    bool program;
};
constexpr Memory Memories[] = {
    {0, true},       {1024, true},  {2048, true},  {8192, true},  {65536, true}, {131072, true},
    {262144, true},  {64, false},   {512, false},  {4096, false}, {65536, false},
};
using fuzzcheck::Buffer;
using fuzzcheck::Check;
using fuzzcheck::Untouched;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const Memory memory = Memories[data[0] % (sizeof Memories / sizeof Memories[0])];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    static std::vector<std::uint8_t> image(Buffer);
    static const std::vector<std::uint8_t> untouched(Buffer, Untouched);
    std::memcpy(image.data(), untouched.data(), Buffer);
    velmora::ParseHexText(text, image, memory.size);
    // memcmp rather than a loop here: the fuzzer instruments this file, and a byte loop over
    // 256 KiB would cost milliseconds per input.
    Check(std::memcmp(image.data() + memory.size, untouched.data() + memory.size, Buffer - memory.size) == 0);

    // The writer's text for what was loaded reads back to the same bytes; kept to small
    // memories so each run stays fast.
    if (memory.size <= 1024) {
        const std::span<const std::uint8_t> loaded(image.data(), memory.size);
        const std::string written = velmora::FormatHexText(loaded, memory.program);
        std::vector<std::uint8_t> again(memory.size, static_cast<std::uint8_t>(~Untouched));
        Check(velmora::ParseHexText(written, again, memory.size).stop == velmora::HexStop::EndRecord);
        Check(std::equal(again.begin(), again.end(), loaded.begin()));
    }
    return 0;
}
