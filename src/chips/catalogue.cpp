#include "chips/catalogue.h"

#include <algorithm>
#include <cctype>

namespace velmora {

namespace {

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}
}  // namespace

std::string_view FamilyName(FamilyId id)
{
    static constexpr std::array<std::string_view, FamilyCount> Names = {
#define VELMORA_FAMILY(name, progress) #name,
#include "chips/familylist.h"
#undef VELMORA_FAMILY
    };
    return Names[static_cast<std::size_t>(id)];
}

const ChipEntry* FindChipEntry(SignatureCode code, bool niietMode)
{
    if (code == 0)
        return nullptr;
    const auto it = std::find_if(std::begin(ChipRows), std::end(ChipRows),
                                 [&](const ChipEntry& e) { return e.code == code && e.niiet == niietMode; });
    return it == std::end(ChipRows) ? nullptr : &*it;
}

const ChipEntry* FindChipByName(std::string_view name)
{
    // Names first: a menu item name can be another chip's name ("ATtiny261" is the item of
    // the ATtiny26).
    for (const ChipEntry& e : ChipRows)
        if (SameText(e.name, name))
            return &e;
    for (const ChipEntry& e : ChipRows)
        if (SameText(e.menuItem, name))
            return &e;
    // The NIIET parts also by the Latin spelling of their picture files ("1887VE4U").
    for (const ChipEntry& e : ChipRows)
        if (e.niiet && SameText(e.picture.substr(0, e.picture.rfind('.')), name))
            return &e;
    return nullptr;
}

}  // namespace velmora
