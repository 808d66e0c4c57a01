#pragma once
// The hex dump view: shows a dump text held by the core, painting only the visible lines,
// with a caret that the arrow and page keys and the mouse move. Every other key goes to the
// key-down handler its owner sets, which edits the text in the core; typed characters are
// never inserted by the widget itself.

#include "views/dumpedit.h"
#include "views/workspace.h"

#include <QAbstractScrollArea>

#include <functional>
#include <optional>

class QKeyEvent;

namespace velmora {

// How a byte looks in a character cell: the Windows-1252 character, and a visible
// placeholder for 0x1F and the codes that have no character.
QChar Cp1252Char(std::uint8_t b);
// The Windows-1252 byte of a printable character, or nothing.
std::optional<std::uint8_t> Cp1252Byte(QChar c);

// The editing key of a key event: Backspace, Delete, or the byte the key gives: the printable
// Windows-1252 character it produces, in the case typed, otherwise 0x1F.
// Where the layout produces no Latin letter or digit (a Cyrillic layout), the letter and digit
// keys give the Latin letter or digit of their place on the keyboard. A lone modifier key and
// a Ctrl or Alt chord give nothing: holding Shift must not change a byte, nor may a shortcut.
std::optional<dump::KeyStroke> KeyStrokeOf(const QKeyEvent& event);

// Ctrl or Alt held with a key, AltGr (which some systems report as Ctrl+Alt) excepted.
bool IsShortcutChord(const QKeyEvent& event);

// The Latin letter (upper case) or digit of the key at a native scan code on a PC keyboard.
std::optional<std::uint8_t> LatinKeyAt(quint32 nativeScanCode);

// Clipboard text as the bytes a paste types: Windows-1252 characters, 0x1F for the others;
// the line break that ends a copied line is not part of it.
std::string PastedBytes(const QString& text);

class HexDumpView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Handles an editing key; the view repaints after it.
    using KeyDownHandler = std::function<void(QKeyEvent* event)>;

    explicit HexDumpView(QWidget* parent = nullptr);

    // The core text this view shows; it must outlive the view.
    void SetModel(DumpView* model);
    DumpView* Model() const { return model_; }
    void SetKeyDownHandler(KeyDownHandler handler) { keyDown_ = std::move(handler); }

    // What the owner does for the editing commands: paste bytes at the caret, undo the page's
    // last edit (returns false when there is none). The view repaints after each.
    struct EditHooks {
        std::function<dump::PasteResult(std::string_view bytes)> paste;
        std::function<bool()> undo;
    };
    void SetEditHooks(EditHooks hooks) { hooks_ = std::move(hooks); }
    // Asks for an address to go to; empty on cancel. A dialog unless set.
    using AddressAsker = std::function<QString(const QString& prompt)>;
    void SetAddressAsker(AddressAsker asker) { askAddress_ = std::move(asker); }

    // Ctrl+V, Ctrl+Z and Ctrl+G. Each ends with a message saying what it did.
    void Paste();
    void Undo();
    void GoToAddress();
    // Puts the caret on the byte at an address typed as the dump shows it; false (with a
    // message) when there is none.
    bool GoToAddress(const QString& typed);

    // Call after the core changed the text or caret.
    void ModelChanged();
    void EnsureCaretVisible();

    int FirstVisibleLine() const;
    int VisibleLines() const;  // whole lines that fit
    // The caret position under a point of the viewport.
    std::size_t PositionAt(QPoint point) const;
    // Where the caret is drawn, in viewport coordinates.
    QRect CaretRect() const;
    // The bytes selected by dragging the mouse, first and last (equal for one byte); none
    // when nothing is selected.
    std::optional<std::pair<std::size_t, std::size_t>> Selection() const;
    // Puts the selected bytes, or the byte under the caret, on the clipboard as hex text.
    void CopyBytes() const;

signals:
    // A line for the status bar: what an editing command did or why it did nothing.
    void Message(const QString& text);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool Navigate(const QKeyEvent& event);
    void UpdateScrollRanges();
    int LineCount() const;
    int LineHeight() const;
    int CharWidth() const;

    DumpView* model_ = nullptr;
    KeyDownHandler keyDown_;
    EditHooks hooks_;
    AddressAsker askAddress_;
    std::size_t lastLength_ = 0;
    std::optional<std::size_t> anchor_;  // the byte where a mouse drag began
    bool dragged_ = false;               // the drag has left its first byte
};

}  // namespace velmora
