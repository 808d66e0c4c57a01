#include "app/hexdumpview.h"

#include "app/mainwindow.h"
#include "views/dumplayout.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

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

std::optional<dump::KeyStroke> KeyStrokeOf(const QKeyEvent& event)
{
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
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return dump::KeyStroke::Char(static_cast<std::uint8_t>(key));
    const QString text = event.text();
    if (text.size() == 1)
        if (const auto b = Cp1252Byte(text.at(0)))
            return dump::KeyStroke::Char(*b);
    return dump::KeyStroke::Char(0x1F);
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

void HexDumpView::keyPressEvent(QKeyEvent* event)
{
    event->accept();
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
        viewport()->update();
    }
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
