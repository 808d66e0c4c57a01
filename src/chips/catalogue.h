#pragma once
// The supported chips (chips/chiprows.h), in the order of the Chip Select menu, and the lookups
// by signature and by name that selection and the family dispatch share.

#include "chips/chiprows.h"

#include <iterator>
#include <span>
#include <string_view>

namespace velmora {

inline constexpr std::size_t ChipCount = std::size(ChipRows);

// The catalogue, in menu order.
constexpr std::span<const ChipEntry, ChipCount> ChipCatalogue()
{
    return ChipRows;
}

// The entry for code: an AVR entry, or with niietMode set one of the two NIIET entries
// (which share their codes with the ATmega8535 and the ATmega128). Null when there is none.
const ChipEntry* FindChipEntry(SignatureCode code, bool niietMode);

// The entry by its name as shown ("ATmega8", "1887ВЕ4У" in UTF-8) or by its menu item name
// ("ATmega81", "N188741"), case-insensitively, names taking precedence; the NIIET parts also
// in Latin letters ("1887VE4U"). Null when unknown.
const ChipEntry* FindChipByName(std::string_view name);

}  // namespace velmora
