#include "fuses/filefuses.h"

namespace velmora {

namespace {
constexpr std::string_view Names[] = {"low", "high", "ext", "lock"};

}  // namespace

std::optional<std::uint8_t> FileFuseByte(const FileFuseBytes& file, int i)
{
    if (i == 3)
        return file.lock;
    return i >= 0 && i < 3 ? file.fuse[std::size_t(i)] : std::nullopt;
}

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
        if (FileFuseByte(file, i) && FileFuseSlot(layout, i) < 0)
            return i;
    for (int i = 0; i < 4; ++i)
        if (const std::optional<std::uint8_t> value = FileFuseByte(file, i))
            slots[std::size_t(FileFuseSlot(layout, i))] = *value;
    return -1;
}

}  // namespace velmora
