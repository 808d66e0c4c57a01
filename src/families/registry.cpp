#include "families/units.h"

#include <array>
#include <cstddef>

namespace velmora {

namespace {

// Generated from the family list, so it holds every unit once, in FamilyId order.
constexpr std::array<const FamilyUnit& (*)(), FamilyCount> Registry = {
#define VELMORA_FAMILY(name, progress) units::name,
#include "chips/familylist.h"
#undef VELMORA_FAMILY
};

}  // namespace

const FamilyUnit& UnitOf(FamilyId id)
{
    return Registry[static_cast<std::size_t>(id)]();
}

}  // namespace velmora
