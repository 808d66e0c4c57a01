#include "fuses/filefuses.h"

namespace velmora {

namespace {
constexpr std::string_view Names[] = {"low", "high", "ext", "lock"};

std::optional<std::uint8_t> FileByte(const FileFuseBytes& file, int i)
{
    return i == 3 ? file.lock : file.fuse[std::size_t(i)];
}
}  // namespace

int FileFuseSlot(const FuseLayout& layout, int i)
{
    // The fuse bytes fill the groups from the first; the lock byte is always the last group.
    if (i == 3)
        return layout.LockSlot();
    return i >= 0 && i < layout.groupCount - 1 ? i : -1;
}

std::string_view FileFuseName(int i)
{
    return i >= 0 && i < 4 ? Names[i] : std::string_view{};
}

int TakeFileFuses(const FuseLayout& layout, const FileFuseBytes& file, std::span<std::uint8_t, 8> slots)
{
    for (int i = 0; i < 4; ++i)
        if (FileByte(file, i) && FileFuseSlot(layout, i) < 0)
            return i;
    for (int i = 0; i < 4; ++i)
        if (const std::optional<std::uint8_t> value = FileByte(file, i))
            slots[std::size_t(FileFuseSlot(layout, i))] = *value;
    return -1;
}

}  // namespace velmora
