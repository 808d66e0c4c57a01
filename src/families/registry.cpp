#include "families/units.h"

#include <array>
#include <cstddef>

namespace velmora {

namespace {

struct RegistryRow {
    FamilyId id;
    const FamilyUnit& (*unit)();
};

constexpr std::array<RegistryRow, FamilyCount> Registry = {{
    {FamilyId::Atmega8, units::Atmega8},
    {FamilyId::Atmega8515, units::Atmega8515},
    {FamilyId::Atmega16, units::Atmega16},
    {FamilyId::Atmega163, units::Atmega163},
    {FamilyId::Atmega323, units::Atmega323},
    {FamilyId::Atmega48, units::Atmega48},
    {FamilyId::Atmega162, units::Atmega162},
    {FamilyId::Atmega164, units::Atmega164},
    {FamilyId::Atmega169, units::Atmega169},
    {FamilyId::Atmega64, units::Atmega64},
    {FamilyId::Atmega640, units::Atmega640},
    {FamilyId::At90can32, units::At90can32},
    {FamilyId::Attiny261, units::Attiny261},
    {FamilyId::Attiny2313, units::Attiny2313},
    {FamilyId::Atmega161, units::Atmega161},
    {FamilyId::Atmega603, units::Atmega603},
    {FamilyId::At90s1200, units::At90s1200},
    {FamilyId::At90s2313, units::At90s2313},
    {FamilyId::At90s4414, units::At90s4414},
    {FamilyId::At90s4434, units::At90s4434},
    {FamilyId::At90s2333, units::At90s2333},
    {FamilyId::Attiny13, units::Attiny13},
    {FamilyId::Attiny26, units::Attiny26},
    {FamilyId::Attiny25, units::Attiny25},
    {FamilyId::Attiny12, units::Attiny12},
    {FamilyId::Attiny15, units::Attiny15},
    {FamilyId::At90s2323, units::At90s2323},
    {FamilyId::At90s2343, units::At90s2343},
    {FamilyId::Attiny22, units::Attiny22},
}};

constexpr bool InEnumOrder()
{
    for (std::size_t i = 0; i < Registry.size(); ++i)
        if (static_cast<std::size_t>(Registry[i].id) != i)
            return false;
    return true;
}
static_assert(InEnumOrder(), "the registry lists every unit once, in FamilyId order");

}  // namespace

const FamilyUnit& UnitOf(FamilyId id)
{
    return Registry[static_cast<std::size_t>(id)].unit();
}

}  // namespace velmora
