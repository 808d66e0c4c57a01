#include "ops/progressrules.h"

#include <array>

namespace velmora {

namespace {

constexpr ProgressPoint Every16Words{0x1F, 1};
constexpr ProgressPoint Every16WordsSecondByte{0x1F, 2};
constexpr ProgressPoint Every32Words{0x3F, 1};
constexpr ProgressPoint Every128Words{0xFF, 1};

// The rows state only what differs from ProgressRules' defaults.
constexpr ProgressRules Rules(ProgressPoint read, ProgressPoint verify, std::uint32_t writeOffset = 1)
{
    ProgressRules r;
    r.readFlash = read;
    r.verifyFlash = verify;
    r.writeOffset = writeOffset;
    return r;
}
constexpr ProgressRules OtherPages(ProgressRules r, std::uint16_t pageBytes, std::uint32_t offset)
{
    r.otherPageBytes = pageBytes;
    r.otherOffset = offset;
    return r;
}
constexpr ProgressRules Eeprom(ProgressRules r, std::uint32_t mask, std::uint32_t writeMask)
{
    r.eepromMask = mask;
    r.eepromWriteMask = writeMask;
    return r;
}
constexpr ProgressRules Default = Rules(Every16Words, Every16Words);
constexpr ProgressRules SecondByte = Rules(Every16WordsSecondByte, Every16WordsSecondByte, 2);

// One rule per unit, from the family list, in FamilyId order.
constexpr std::array<ProgressRules, FamilyCount> Rows = {
#define VELMORA_FAMILY(name, progress) progress,
#include "chips/familylist.h"
#undef VELMORA_FAMILY
};

}  // namespace

const ProgressRules& ProgressRulesOf(FamilyId family)
{
    return Rows[static_cast<std::size_t>(family)];
}

}  // namespace velmora
