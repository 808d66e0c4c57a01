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
    shownCode_ = code;
    shownNiiet_ = NiietMode();
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
    ForgetEdits(view);
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
    ForgetEdits(view);
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

namespace {
// Lays the views out anew unless they already show this chip.
ShowChipFn ShowOtherChip(Workspace& work, const SignatureCode& shownCode, const int& shownNiiet)
{
    return [&work, &shownCode, &shownNiiet](SignatureCode c) {
        if (c != shownCode || work.NiietMode() != shownNiiet)
            work.ShowChip(c);
    };
}
}  // namespace

const ChipEntry* Workspace::SelectChip(SignatureCode code, OperationLog& log)
{
    return velmora::SelectChip(chips, code, log, ShowOtherChip(*this, shownCode_, shownNiiet_));
}

const ChipEntry* Workspace::SelectMenuEntry(const ChipEntry& entry, OperationLog& log)
{
    return velmora::SelectMenuEntry(chips, entry, log, ShowOtherChip(*this, shownCode_, shownNiiet_));
}

bool Workspace::Shows(const ChipEntry& entry) const
{
    return shownCode_ == entry.code && shownNiiet_ == (entry.niiet ? 1 : 0);
}

void Workspace::KeyDown(std::size_t view, const dump::KeyStroke& key)
{
    if (view >= ViewCount)
        return;
    DumpView& v = views[view];
    if (view == 0) {
        v.caret = static_cast<std::size_t>(dump::IdBytesKeyDown(v.text, static_cast<int>(v.caret), key));
        return;
    }
    // A key writes only cells of the caret's line.
    const std::size_t start = std::min(v.caret, v.text.size()) / dump::LineStride * dump::LineStride;
    Remember(view, start, start + dump::LineStride);
    v.caret = dump::DumpKeyDown(v.text, v.caret, key);
    ForgetUnchanged(view);
}

dump::PasteResult Workspace::Paste(std::size_t view, std::string_view pasted)
{
    if (view < 1 || view >= ViewCount)
        return {};
    DumpView& v = views[view];
    // A unit fills at least a hex digit: the lines from the caret's on that many units reach.
    const std::size_t start = std::min(v.caret, v.text.size()) / dump::LineStride * dump::LineStride;
    const std::size_t lines = pasted.size() / dump::BytesPerLine + 2;
    Remember(view, start, start + std::min(lines, v.text.size() / dump::LineStride + 1) * dump::LineStride);
    const dump::PasteResult result = dump::DumpPaste(v.text, v.caret, pasted);
    v.caret = result.caret;
    ForgetUnchanged(view);
    return result;
}

void Workspace::Remember(std::size_t view, std::size_t first, std::size_t last)
{
    // Enough for a long editing session, bounded so a stuck key cannot eat the memory.
    constexpr std::size_t MaxEdits = 4096;
    const DumpView& v = views[view];
    first = std::min(first, v.text.size());
    last = std::min(last, v.text.size());
    auto& edits = undo_[std::size_t(PageOfView(view))];
    if (edits.size() == MaxEdits)
        edits.erase(edits.begin());
    edits.push_back({view, first, v.text.substr(first, last - first), v.caret});
}

void Workspace::ForgetUnchanged(std::size_t view)
{
    auto& edits = undo_[std::size_t(PageOfView(view))];
    const EditRecord& last = edits.back();
    if (views[view].text.compare(last.at, last.before.size(), last.before) == 0)
        edits.pop_back();
}

void Workspace::ForgetEdits(std::size_t view)
{
    auto& edits = undo_[std::size_t(PageOfView(view))];
    std::erase_if(edits, [view](const EditRecord& e) { return e.view == view; });
}

std::size_t Workspace::Undo(int page)
{
    auto& edits = undo_[std::size_t(page & 1)];
    if (edits.empty())
        return 0;
    const EditRecord last = std::move(edits.back());
    edits.pop_back();
    DumpView& v = views[last.view];
    v.text.replace(last.at, last.before.size(), last.before);
    v.caret = std::min(last.caret, v.text.size());
    return last.view;
}

void Workspace::SetCaret(std::size_t view, std::size_t position)
{
    if (view >= ViewCount)
        return;
    views[view].caret = std::min(position, views[view].text.size());
}

}  // namespace velmora
