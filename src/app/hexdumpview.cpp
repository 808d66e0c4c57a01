#include "app/hexdumpview.h"

#include "app/mainwindow.h"
#include "views/dumplayout.h"

#include <QClipboard>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <string_view>

namespace velmora {

namespace {
// 0x80 to 0x9F of Windows-1252; 0 marks the five codes without a character.
constexpr char16_t High1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};
constexpr char16_t Placeholder = 0x25AF;  // a white rectangle, as a font shows a missing glyph
constexpr int Margin = 2;
}  // namespace

QChar Cp1252Char(std::uint8_t b)
{
    if (b < 0x20 || b == 0x7F)
        return QChar(Placeholder);
    if (b >= 0x80 && b < 0xA0)
        return QChar(High1252[b - 0x80] ? High1252[b - 0x80] : Placeholder);
    if (b == 0xAD)
        return QChar(u'-');  // the soft hyphen would be drawn as nothing
    return QChar(char16_t(b));
}

std::optional<std::uint8_t> Cp1252Byte(QChar c)
{
    const char16_t u = c.unicode();
    if ((u >= 0x20 && u < 0x7F) || (u >= 0xA0 && u <= 0xFF))
        return static_cast<std::uint8_t>(u);
    for (int i = 0; i < 32; ++i)
        if (High1252[i] && High1252[i] == u)
            return static_cast<std::uint8_t>(0x80 + i);
    return std::nullopt;
}

bool IsShortcutChord(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers mods = event.modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    const bool alt = mods & Qt::AltModifier;
    if (ctrl && alt && !event.text().isEmpty() && event.text().at(0).isPrint())
        return false;  // AltGr typing a character
    return ctrl || alt;
}

std::optional<std::uint8_t> LatinKeyAt(quint32 nativeScanCode)
{
#ifdef Q_OS_WIN
    const quint32 code = nativeScanCode;
#else
    // X11 and Wayland key codes are the kernel's, which follow the PC scan codes, plus 8.
    if (nativeScanCode < 8)
        return std::nullopt;
    const quint32 code = nativeScanCode - 8;
#endif
    static constexpr struct {
        quint32 first;
        const char* keys;
    } Rows[] = {{0x02, "1234567890"}, {0x10, "QWERTYUIOP"}, {0x1E, "ASDFGHJKL"}, {0x2C, "ZXCVBNM"}};
    for (const auto& row : Rows) {
        const std::string_view keys(row.keys);
        if (code >= row.first && code < row.first + keys.size())
            return static_cast<std::uint8_t>(keys[code - row.first]);
    }
    return std::nullopt;
}

std::optional<dump::KeyStroke> KeyStrokeOf(const QKeyEvent& event)
{
    if (IsShortcutChord(event))
        return std::nullopt;
    const int key = event.key();
    switch (key) {
    case Qt::Key_Backspace:
        return dump::KeyStroke::Back();
    case Qt::Key_Delete:
        return dump::KeyStroke::Del();
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
        return std::nullopt;
    default:
        break;
    }
    const QString text = event.text();
    const QChar produced = text.size() == 1 ? text.at(0) : QChar();
    if ((produced.isLetter() || produced.isDigit()) && produced.unicode() < 0x80)
        return dump::KeyStroke::Char(static_cast<std::uint8_t>(produced.unicode()));
    // Letters of another script, or no character at all: the place of the key decides.
    if (produced.isNull() || (produced.isLetter() && !Cp1252Byte(produced)))
        if (const auto latin = LatinKeyAt(event.nativeScanCode()))
            return dump::KeyStroke::Char(*latin);
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return dump::KeyStroke::Char(static_cast<std::uint8_t>(key));
    if (!produced.isNull())
        if (const auto b = Cp1252Byte(produced))
            return dump::KeyStroke::Char(*b);
    return dump::KeyStroke::Char(0x1F);
}

std::string PastedBytes(const QString& text)
{
    QString pasted = text;
    if (pasted.endsWith(QLatin1Char('\n')))
        pasted.chop(pasted.endsWith(QStringLiteral("\r\n")) ? 2 : 1);
    std::string bytes;
    bytes.reserve(std::size_t(pasted.size()));
    for (const QChar c : pasted)
        bytes.push_back(static_cast<char>(Cp1252Byte(c).value_or(0x1F)));
    return bytes;
}

HexDumpView::HexDumpView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFont(FixedFont());
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

void HexDumpView::SetModel(DumpView* model)
{
    model_ = model;
    lastLength_ = 0;
    ModelChanged();
}

int HexDumpView::LineCount() const
{
    return model_ ? static_cast<int>(dump::LinesOfText(model_->text.size())) : 0;
}

int HexDumpView::LineHeight() const { return std::max(1, fontMetrics().height()); }
int HexDumpView::CharWidth() const { return std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('0'))); }

int HexDumpView::FirstVisibleLine() const { return verticalScrollBar()->value(); }
int HexDumpView::VisibleLines() const { return std::max(1, (viewport()->height() - Margin) / LineHeight()); }

void HexDumpView::UpdateScrollRanges()
{
    verticalScrollBar()->setRange(0, std::max(0, LineCount() - VisibleLines()));
    verticalScrollBar()->setPageStep(VisibleLines());
    verticalScrollBar()->setSingleStep(1);
    const int width = 2 * Margin + (dump::EndColumn + 1) * CharWidth();
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(CharWidth());
}

void HexDumpView::ModelChanged()
{
    const std::size_t length = model_ ? model_->text.size() : 0;
    UpdateScrollRanges();
    // A new text (another chip) starts at its top, wherever its caret was left.
    if (length != lastLength_)
        verticalScrollBar()->setValue(0);
    lastLength_ = length;
    viewport()->update();
}

void HexDumpView::EnsureCaretVisible()
{
    if (!model_ || model_->text.empty())
        return;
    const int line = static_cast<int>(model_->caret / dump::LineStride);
    if (line < FirstVisibleLine())
        verticalScrollBar()->setValue(line);
    else if (line >= FirstVisibleLine() + VisibleLines())
        verticalScrollBar()->setValue(line - VisibleLines() + 1);
    const int x = Margin + static_cast<int>(model_->caret % dump::LineStride) * CharWidth();
    QScrollBar* h = horizontalScrollBar();
    if (x < h->value())
        h->setValue(x - Margin);
    else if (x + CharWidth() > h->value() + viewport()->width())
        h->setValue(x + CharWidth() - viewport()->width());
}

std::size_t HexDumpView::PositionAt(QPoint point) const
{
    if (!model_)
        return 0;
    const int line = FirstVisibleLine() + (point.y() - Margin) / LineHeight();
    const int x = point.x() + horizontalScrollBar()->value() - Margin;
    const int column = (x + CharWidth() / 2) / CharWidth();
    return dump::CaretAt(model_->text.size(), line, column);
}

QRect HexDumpView::CaretRect() const
{
    if (!model_ || model_->text.empty())
        return {};
    const int line = static_cast<int>(model_->caret / dump::LineStride) - FirstVisibleLine();
    const int column = static_cast<int>(model_->caret % dump::LineStride);
    return QRect(Margin + column * CharWidth() - horizontalScrollBar()->value(), Margin + line * LineHeight(), 2,
                 LineHeight());
}

bool HexDumpView::event(QEvent* event)
{
    // Tab is an editing key here, not a focus move.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

bool HexDumpView::Navigate(const QKeyEvent& event)
{
    using dump::CaretMove;
    const bool ctrl = event.modifiers() & Qt::ControlModifier;
    std::optional<CaretMove> move;
    switch (event.key()) {
    case Qt::Key_Left: move = CaretMove::Left; break;
    case Qt::Key_Right: move = CaretMove::Right; break;
    case Qt::Key_Up: move = CaretMove::Up; break;
    case Qt::Key_Down: move = CaretMove::Down; break;
    case Qt::Key_PageUp: move = CaretMove::PageUp; break;
    case Qt::Key_PageDown: move = CaretMove::PageDown; break;
    case Qt::Key_Home: if (ctrl) move = CaretMove::DocumentStart; break;
    case Qt::Key_End: if (ctrl) move = CaretMove::DocumentEnd; break;
    default: break;
    }
    if (!move)
        return false;
    if (model_ && !model_->text.empty()) {
        model_->caret = dump::MoveCaret(model_->text.size(), model_->caret, *move, VisibleLines());
        EnsureCaretVisible();
        viewport()->update();
    }
    return true;
}

std::optional<std::pair<std::size_t, std::size_t>> HexDumpView::Selection() const
{
    if (!model_ || model_->text.empty() || !anchor_ || !dragged_)
        return std::nullopt;
    const std::size_t caretByte = dump::ByteAtPosition(model_->caret);
    return std::make_pair(std::min(*anchor_, caretByte), std::max(*anchor_, caretByte));
}

void HexDumpView::CopyBytes() const
{
    if (!model_ || model_->text.empty())
        return;
    const auto selection = Selection();
    const std::size_t caretByte = dump::ByteAtPosition(model_->caret);
    const std::string hex = selection ? dump::HexOfBytes(model_->text, selection->first, selection->second)
                                      : dump::HexOfBytes(model_->text, caretByte, caretByte);
    QGuiApplication::clipboard()->setText(QString::fromLatin1(hex));
}

void HexDumpView::Paste()
{
    if (!model_ || model_->text.empty() || !hooks_.paste) {
        emit Message(QStringLiteral("Nothing to paste into: select a chip first"));
        return;
    }
    const QString text = QGuiApplication::clipboard()->text();
    const std::string bytes = PastedBytes(text);
    if (bytes.empty()) {
        emit Message(QStringLiteral("Nothing to paste: the clipboard holds no text"));
        return;
    }
    const dump::PasteResult result = hooks_.paste(bytes);
    EnsureCaretVisible();
    viewport()->update();
    const QString what = result.hex ? QStringLiteral("hex digits") : QStringLiteral("characters");
    if (result.left == 0)
        emit Message(QStringLiteral("Pasted %1 %2").arg(result.written).arg(what));
    else
        emit Message(QStringLiteral("Pasted %1 of %2 %3: the rest would run past the end of the memory")
                         .arg(result.written)
                         .arg(result.written + result.left)
                         .arg(what));
}

void HexDumpView::Undo()
{
    if (hooks_.undo && hooks_.undo()) {
        EnsureCaretVisible();
        viewport()->update();
        emit Message(QStringLiteral("Undone the last edit of this page"));
    } else {
        emit Message(QStringLiteral("Nothing to undo on this page"));
    }
}

void HexDumpView::GoToAddress()
{
    if (!model_ || model_->text.empty()) {
        emit Message(QStringLiteral("No memory to go to: select a chip first"));
        return;
    }
    const std::size_t bytes = dump::LinesOfText(model_->text.size()) * dump::BytesPerLine;
    const QString prompt = QStringLiteral("Address (hex, 0 to %1):").arg(QString::number(bytes - 1, 16).toUpper());
    const QString typed = askAddress_
                              ? askAddress_(prompt)
                              : QInputDialog::getText(this, QStringLiteral("Go to Address"), prompt);
    if (!typed.trimmed().isEmpty())
        GoToAddress(typed);
}

bool HexDumpView::GoToAddress(const QString& typed)
{
    if (!model_ || model_->text.empty())
        return false;
    const std::size_t bytes = dump::LinesOfText(model_->text.size()) * dump::BytesPerLine;
    const auto address = dump::ParseAddress(typed.toStdString());
    const auto caret = address ? dump::CaretOfAddress(model_->text.size(), *address) : std::nullopt;
    if (!caret) {
        emit Message(QStringLiteral("\"%1\" is no address of this memory (hex, 0 to %2)")
                         .arg(typed.trimmed())
                         .arg(QString::number(bytes - 1, 16).toUpper()));
        return false;
    }
    model_->caret = *caret;
    anchor_.reset();
    EnsureCaretVisible();
    viewport()->update();
    emit Message(QStringLiteral("At address %1").arg(QString::number(*address, 16).toUpper()));
    return true;
}

void HexDumpView::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    if (event->matches(QKeySequence::Copy)) {
        CopyBytes();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        Paste();
        return;
    }
    if (event->matches(QKeySequence::Undo)) {
        Undo();
        return;
    }
    if (event->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_G)) {
        GoToAddress();
        return;
    }
    // Any other key ends a selection; holding a modifier for a shortcut does not.
    const bool modifierKey = event->key() == Qt::Key_Shift || event->key() == Qt::Key_Control ||
                             event->key() == Qt::Key_Alt || event->key() == Qt::Key_AltGr || event->key() == Qt::Key_Meta;
    if (!modifierKey && Selection()) {
        anchor_.reset();
        viewport()->update();
    }
    if (Navigate(*event))
        return;
    if (keyDown_)
        keyDown_(event);
    EnsureCaretVisible();
    viewport()->update();
}

void HexDumpView::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    if (model_ && !model_->text.empty() && event->button() == Qt::LeftButton) {
        model_->caret = PositionAt(event->position().toPoint());
        anchor_ = dump::ByteAtPosition(model_->caret);
        dragged_ = false;
        viewport()->update();
    }
}

void HexDumpView::mouseMoveEvent(QMouseEvent* event)
{
    if (!model_ || model_->text.empty() || !anchor_ || !(event->buttons() & Qt::LeftButton))
        return;
    model_->caret = PositionAt(event->position().toPoint());
    dragged_ = dragged_ || dump::ByteAtPosition(model_->caret) != *anchor_;
    EnsureCaretVisible();
    viewport()->update();
}

void HexDumpView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRanges();
}

void HexDumpView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void HexDumpView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void HexDumpView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    if (!model_ || model_->text.empty())
        return;
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::Text));
    const int lineHeight = LineHeight();
    const int charWidth = CharWidth();
    const int ascent = fontMetrics().ascent();
    const int x0 = Margin - horizontalScrollBar()->value();
    const int first = FirstVisibleLine();
    const int last = std::min(LineCount(), first + VisibleLines() + 1);
    const std::string& text = model_->text;
    // The selected bytes: their hex cells and character cells on a highlight.
    if (const auto selection = Selection()) {
        const QColor highlight = palette().color(QPalette::Highlight);
        for (std::size_t i = std::max(selection->first, std::size_t(first) * dump::BytesPerLine);
             i <= selection->second && i < std::size_t(last) * dump::BytesPerLine; ++i) {
            const int y = Margin + (static_cast<int>(i / dump::BytesPerLine) - first) * lineHeight;
            const std::size_t k = i % dump::BytesPerLine;
            const int hexX = x0 + static_cast<int>(dump::HexColumnOf(k)) * charWidth;
            const int charX = x0 + static_cast<int>(dump::CharColumnOf(k)) * charWidth;
            painter.fillRect(hexX, y, 2 * charWidth, lineHeight, highlight);
            painter.fillRect(charX, y, charWidth, lineHeight, highlight);
        }
    }
    for (int line = first; line < last; ++line) {
        const std::size_t start = std::size_t(line) * dump::LineStride;
        const int baseline = Margin + (line - first) * lineHeight + ascent;
        // Address, hex cells and bar are plain ASCII; the character cells are placed one by
        // one so that a substitute glyph from another font cannot shift its neighbours.
        painter.drawText(x0, baseline, QString::fromLatin1(text.data() + start, dump::FirstCharColumn));
        for (std::size_t k = 0; k < dump::BytesPerLine; ++k) {
            const std::size_t column = dump::CharColumnOf(k);
            painter.drawText(x0 + static_cast<int>(column) * charWidth, baseline,
                             QString(Cp1252Char(static_cast<std::uint8_t>(text[start + column]))));
        }
    }
    if (hasFocus())
        painter.fillRect(CaretRect(), palette().color(QPalette::Text));
}

}  // namespace velmora
