#pragma once
// The process-wide working state of one run: the current chip with its images, NiietMode, and
// the texts of the four hex dump views, the chip name field and the ID bytes field. The
// window owns one and shows it; the tests make a fresh one each.

#include "chips/chip.h"
#include "chips/selection.h"
#include "views/dumpedit.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

class OperationLog;

// View numbers: 0 the ID bytes field; 1 and 2 the flash views of "Page1" and "Page2"; 3 and 4
// the EEPROM views of "Page1" and "Page2".
inline constexpr std::size_t ViewCount = 5;

struct DumpView {
    std::string text;       // Windows-1252 bytes; for views 1 to 4 a laid-out dump or empty
    std::size_t caret = 0;  // a text position (82 per dump line)
};

class Workspace {
public:
    Workspace();

    ChipState chips;
    chip& CurrentChip() { return chips.CurrentChip; }
    const chip& CurrentChip() const { return chips.CurrentChip; }
    int& NiietMode() { return chips.NiietMode; }

    // Bytes shown by each dump view (index 1 to 4); set only by ShowChip.
    std::array<std::uint32_t, ViewCount> ViewByteCount{};
    std::array<DumpView, ViewCount> views;
    std::string chipNameText = "None";  // the chip name field (UTF-8)

    // The views of the page shown: tab index 0 gives 1 and 3, tab index 1 gives 2 and 4.
    static std::size_t ActiveFlashView(int tabIndex) { return tabIndex == 1 ? 2 : 1; }
    static std::size_t ActiveEepromView(int tabIndex) { return tabIndex == 1 ? 4 : 3; }
    static int ImageKindOfView(std::size_t view) { return view == 1 || view == 2 ? FlashKind : view >= 3 ? EepromKind : NoImage; }

    // Sizes the four dump views for the current chip, blanks them and shows name and ID bytes.
    void ShowChip(SignatureCode code);
    // Replaces a dump view's text by its blank lines.
    void FillBlankView(std::size_t view);
    // Copies an image into a dump view's cells (view 0: the signature into the ID bytes field).
    void RenderView(std::size_t view, int kind);
    // Copies a dump view's hex cells into an image; nothing without a chip.
    void ParseView(std::size_t view, int kind);

    // Chip selection with this workspace's views: see SelectChip. Selecting or finding the
    // chip already shown (in the same NIIET mode) keeps both pages as they are.
    const ChipEntry* SelectChip(SignatureCode code, OperationLog& log);
    // A Chip Select menu item.
    const ChipEntry* SelectMenuEntry(const ChipEntry& entry, OperationLog& log);
    // The views are laid out for this chip.
    bool Shows(const ChipEntry& entry) const;

    // One key on view 0 (ID bytes) or a dump view, at the view's caret.
    void KeyDown(std::size_t view, const dump::KeyStroke& key);
    // Moves the caret of a view to position, clamped to its text.
    void SetCaret(std::size_t view, std::size_t position);
    // Text pasted into a dump view at its caret (dump::DumpPaste); one step to undo.
    dump::PasteResult Paste(std::size_t view, std::string_view pasted);

    // The page of a dump view: 0 for "Page1" (views 1 and 3), 1 for "Page2".
    static int PageOfView(std::size_t view) { return view == 2 || view == 4 ? 1 : 0; }
    // Takes back the last key or paste that changed a view of the page, caret included.
    // Returns the view it changed, 0 when the page has nothing to undo. A view whose text is
    // replaced (chip selection, a read, a file load) forgets its edits.
    std::size_t Undo(int page);
    bool CanUndo(int page) const { return !undo_[std::size_t(page & 1)].empty(); }
    // Edits of the page that can be undone; grows with every edit that changed a view.
    std::size_t EditCount(int page) const { return undo_[std::size_t(page & 1)].size(); }

private:
    // What one edit overwrote: the cells from at on, and the caret before it.
    struct EditRecord {
        std::size_t view = 0;
        std::size_t at = 0;
        std::string before;
        std::size_t caret = 0;
    };
    // Remembers the cells [first, last) of a view before an edit; dropped again when the
    // edit changed nothing.
    void Remember(std::size_t view, std::size_t first, std::size_t last);
    void ForgetUnchanged(std::size_t view);
    void ForgetEdits(std::size_t view);

    std::array<std::vector<EditRecord>, 2> undo_;
    // The chip the views were laid out for, and its NIIET mode.
    SignatureCode shownCode_ = 0;
    int shownNiiet_ = 0;
};

// The ID bytes text of a signature: bytes 2, 1, 0 as upper-case hex, "07 93 1E" for 0x07931E.
std::string IdBytesText(SignatureCode code);

}  // namespace velmora
