#pragma once
// Text the program keeps as UTF-8 in string views (the catalogue's names, the command tables,
// the steps' log texts), as the QString the log and the widgets take.

#include <QString>

#include <string_view>

namespace velmora {

inline QString Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

}  // namespace velmora
