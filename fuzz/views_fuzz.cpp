// Input: byte 0 picks the number of lines (1 to 8) and NIIET blanks, byte 1 the caret column,
// the rest are keys (0xF0: Backspace, 0xF1: Delete, others a character code). After every key
// the caret must stay on a line at a column up to 80, and the address column, separators, bar
// and line breaks must be those of the blank dump, with two hex digits in every hex cell. The
// same bytes are also parsed as a view text of their own, which must never read out of bounds.
#include "views/dumpedit.h"
#include "views/dumptext.h"

#include <cstdlib>
#include <string>
#include <vector>

using namespace velmora::dump;

namespace {
void Check(bool ok)
{
    if (!ok)
        std::abort();
}

void CheckLayout(const std::string& text, const std::string& blank, std::size_t caret)
{
    Check(text.size() == blank.size());
    Check(caret <= text.size() && caret % LineStride <= EndColumn);
    for (std::size_t p = 0; p < text.size(); ++p) {
        const Region r = ColumnRegion(static_cast<int>(p % LineStride));
        if (r == Region::HexDigit)
            Check(HexValue(text[p]) >= 0);
        else if (r != Region::Character)
            Check(text[p] == blank[p]);
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::size_t lines = 1 + (data[0] & 7);
    const std::string blank = BlankText(lines * BytesPerLine, data[0] & 8);
    std::string text = blank;
    std::size_t caret = CaretAt(text.size(), data[1] % lines, data[1] % 81);
    for (std::size_t i = 2; i < size; ++i) {
        const KeyStroke key = data[i] == 0xF0   ? KeyStroke::Back()
                              : data[i] == 0xF1 ? KeyStroke::Del()
                                                : KeyStroke::Char(data[i]);
        caret = DumpKeyDown(text, caret, key);
        CheckLayout(text, blank, caret);
    }
    std::string id(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 8));
    int idCaret = data[1] % 9;
    for (std::size_t i = 2; i < size; ++i) {
        idCaret = IdBytesKeyDown(id, idCaret, data[i] == 0xF0 ? KeyStroke::Back() : KeyStroke::Char(data[i]));
        Check(idCaret >= 0 && idCaret <= 8 && id.size() == 8);
    }

    const std::string raw(reinterpret_cast<const char*>(data), size);
    std::vector<std::uint8_t> image(lines * BytesPerLine * 2);
    Parse(raw, image.data(), image.size());
    std::string rendered = raw;
    Render(rendered, image.data(), image.size());
    Check(rendered.size() == raw.size());
    return 0;
}
