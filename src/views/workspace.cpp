#include "views/workspace.h"

#include "views/dumptext.h"

#include <algorithm>
#include <cstdio>

namespace velmora {

Workspace::Workspace()
{
    views[0].text = "FF FF FF";
}

std::string IdBytesText(SignatureCode code)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02X %02X %02X ", unsigned(code >> 16) & 0xFF, unsigned(code >> 8) & 0xFF,
                  unsigned(code) & 0xFF);
    return std::string(text, 8);
}

void Workspace::ShowChip(SignatureCode code)
{
    if (code == 0)
        return;
    const chip& c = CurrentChip();
    ViewByteCount = {0, c.flashSize, c.flashSize, c.eepromSize, c.eepromSize};
    for (std::size_t view = 1; view <= 4; ++view)
        FillBlankView(view);
    chipNameText = c.name;
    RenderView(0, NoImage);
}

void Workspace::FillBlankView(std::size_t view)
{
    if (view < 1 || view >= ViewCount)
        return;
    DumpView& v = views[view];
    v.text = dump::BlankText(ViewByteCount[view], NiietMode() == 1);
    // Replacing the text leaves the caret where the removed final line break was.
    v.caret = v.text.size();
}

void Workspace::RenderView(std::size_t view, int kind)
{
    if (view == 0) {
        views[0].text = IdBytesText(CurrentChip().SignatureCode);
        views[0].caret = std::min<std::size_t>(views[0].caret, views[0].text.size());
        return;
    }
    if (view < 1 || view >= ViewCount)
        return;
    const chip& c = CurrentChip();
    if (const std::uint8_t* image = c.Image(kind))
        dump::Render(views[view].text, image, c.ImageSize(kind));
    views[view].caret = std::min<std::size_t>(dump::FirstHexColumn, views[view].text.size());
}

void Workspace::ParseView(std::size_t view, int kind)
{
    if (CurrentChip().SignatureCode == 0 || view < 1 || view >= ViewCount)
        return;
    chip& c = CurrentChip();
    if (std::uint8_t* image = c.Image(kind))
        dump::Parse(views[view].text, image, c.ImageSize(kind));
    views[view].caret = std::min<std::size_t>(dump::FirstHexColumn, views[view].text.size());
}

const ChipEntry* Workspace::SelectChip(SignatureCode code, OperationLog& log)
{
    return velmora::SelectChip(chips, code, log, [this](SignatureCode c) { ShowChip(c); });
}

const ChipEntry* Workspace::SelectMenuEntry(const ChipEntry& entry, OperationLog& log)
{
    return velmora::SelectMenuEntry(chips, entry, log, [this](SignatureCode c) { ShowChip(c); });
}

void Workspace::KeyDown(std::size_t view, const dump::KeyStroke& key)
{
    if (view >= ViewCount)
        return;
    DumpView& v = views[view];
    if (view == 0)
        v.caret = static_cast<std::size_t>(dump::IdBytesKeyDown(v.text, static_cast<int>(v.caret), key));
    else
        v.caret = dump::DumpKeyDown(v.text, v.caret, key);
}

void Workspace::SetCaret(std::size_t view, std::size_t position)
{
    if (view >= ViewCount)
        return;
    views[view].caret = std::min(position, views[view].text.size());
}

}  // namespace velmora
