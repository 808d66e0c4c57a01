#pragma once
// Which kind of image file a file is: by what it holds where that is plain (an ELF header, an
// Intel HEX or a Motorola S-record first line), else by the ending of its name.

#include <optional>
#include <string_view>

namespace velmora {

enum class ImageFileFormat { IntelHex, Binary, Srec, Elf };

// The format the first bytes of a file show, if they show one: "\x7fELF", or a first line
// (after blank lines) that is a whole record: ':' or 'S' and a type digit, followed by hex
// digits only. A binary file has no mark of its own and is never recognised so.
std::optional<ImageFileFormat> FormatByContent(std::string_view head);

// The format a file name's ending names (any case): .hex .eep .ihx .ihex; .srec .s19 .s28 .s37
// .mot; .elf; .bin .raw, and any name whose last three letters are "bin" as the File menu has
// always taken it.
std::optional<ImageFileFormat> FormatByName(std::string_view name);

// The name of a format as --format takes it: hex, bin, srec, elf.
std::string_view FormatName(ImageFileFormat format);
std::optional<ImageFileFormat> FormatNamed(std::string_view name);

}  // namespace velmora
