#include "chips/imageformat.h"

#include "chips/elffile.h"
#include "chips/hexfile.h"  // IsBlank

#include <algorithm>
#include <cctype>
#include <string>

namespace velmora {

namespace {

struct NamedFormat {
    std::string_view name;
    ImageFileFormat format;
};
constexpr NamedFormat Names[] = {
    {"hex", ImageFileFormat::IntelHex},
    {"bin", ImageFileFormat::Binary},
    {"srec", ImageFileFormat::Srec},
    {"elf", ImageFileFormat::Elf},
};

struct Ending {
    std::string_view ending;  // lower case
    ImageFileFormat format;
};
constexpr Ending Endings[] = {
    {".hex", ImageFileFormat::IntelHex}, {".eep", ImageFileFormat::IntelHex}, {".ihx", ImageFileFormat::IntelHex},
    {".ihex", ImageFileFormat::IntelHex}, {".srec", ImageFileFormat::Srec},   {".s19", ImageFileFormat::Srec},
    {".s28", ImageFileFormat::Srec},      {".s37", ImageFileFormat::Srec},    {".mot", ImageFileFormat::Srec},
    {".elf", ImageFileFormat::Elf},       {".raw", ImageFileFormat::Binary},  {"bin", ImageFileFormat::Binary},
};

// A whole record line: the mark (':' or 'S' with its type digit) and then hex digits only, at
// least as many as the shortest record has, up to trailing blanks.
bool IsRecordLine(std::string_view line, std::size_t markSize, std::size_t minDigits)
{
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    if (line.size() < markSize + minDigits)
        return false;
    for (std::size_t k = markSize; k < line.size(); ++k)
        if (!std::isxdigit(static_cast<unsigned char>(line[k])))
            return false;
    return true;
}

}  // namespace

std::optional<ImageFileFormat> FormatByContent(std::string_view head)
{
    if (head.starts_with(std::string_view(ElfMagic, 4)))
        return ImageFileFormat::Elf;
    std::size_t pos = 0;
    while (pos < head.size()) {
        const std::size_t end = std::min(head.find_first_of("\r\n", pos), head.size());
        const std::string_view line = head.substr(pos, end - pos);
        pos = end + 1;
        if (IsBlank(line))
            continue;
        if (line.front() == ':' && IsRecordLine(line, 1, 10))
            return ImageFileFormat::IntelHex;
        if (line.size() >= 2 && line[0] == 'S' && line[1] >= '0' && line[1] <= '9' && IsRecordLine(line, 2, 8))
            return ImageFileFormat::Srec;
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<ImageFileFormat> FormatByName(std::string_view name)
{
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    for (const Ending& e : Endings)
        if (lower.ends_with(e.ending))
            return e.format;
    return std::nullopt;
}

std::string_view FormatName(ImageFileFormat format)
{
    for (const NamedFormat& n : Names)
        if (n.format == format)
            return n.name;
    return {};
}

std::optional<ImageFileFormat> FormatNamed(std::string_view name)
{
    for (const NamedFormat& n : Names)
        if (n.name == name)
            return n.format;
    return std::nullopt;
}

}  // namespace velmora
