// The hex dump views and the ID bytes field as the user edits them: real widgets, real key and
// mouse events (offscreen platform), checked against the core's view texts.
#include "app/commandrunner.h"
#include "app/hexdumpview.h"
#include "app/mainwindow.h"
#include "support/qtapp.h"
#include "support/recordinglink.h"
#include "views/dumptext.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QImage>
#include <QPixmap>

using namespace velmora;
using velmora::testing::RecordingLink;

namespace {

class DumpViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        velmora::testing::EnsureApplication();
        window = std::make_unique<Form1>();
        window->SetQuestionAsker([](const QString&) { return true; });
        window->SetLinkFactory([this](const QString&, QString* devicePath) -> std::unique_ptr<GatewayLink> {
            *devicePath = QStringLiteral("/dev/fake");
            auto link = std::make_unique<RecordingLink>();
            link->QueueAnswer({0x00});  // the handshake
            for (std::uint8_t b : signature)
                link->QueueAnswer({b});
            return link;
        });
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void Choose(const QString& caption) { window->ChipItems.value(caption)->trigger(); }
    const std::string& Text(std::size_t view) { return window->Work().views[view].text; }
    std::size_t Caret(std::size_t view) { return window->Work().views[view].caret; }
    // Clicks the view at a line on screen and a column.
    void ClickAt(HexDumpView* view, int screenLine, int column)
    {
        const QFontMetrics m(view->font());
        const QPoint p(2 + column * m.horizontalAdvance(QLatin1Char('0')) + 1, 2 + screenLine * m.height() + m.height() / 2);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, p);
    }
    QString LastLog() const
    {
        const QStringList lines = window->Log().Lines();
        return lines.isEmpty() ? QString() : lines.back();
    }

    std::unique_ptr<Form1> window;
    std::vector<std::uint8_t> signature;
};

TEST_F(DumpViewTest, ChoosingAtmega8FillsFieldsAndViews)
{
    Choose(QStringLiteral("ATmega8"));
    EXPECT_EQ(window->Edit1->text(), QStringLiteral("ATmega8"));
    EXPECT_EQ(window->Edit2->text(), QStringLiteral("07 93 1E"));
    EXPECT_EQ(LastLog(), QStringLiteral("Selected chip is  ATmega8"));
    EXPECT_EQ(window->RichEdit1->Model(), &window->Work().views[1]);
    EXPECT_EQ(Text(1).size(), 512u * 82 - 2);
    EXPECT_EQ(window->RichEdit1->verticalScrollBar()->maximum(), 512 - window->RichEdit1->VisibleLines());
    EXPECT_EQ(window->CurrentPictureFile(), QStringLiteral("ATmega8.jpg"));
    Choose(QStringLiteral("ATmega168PA"));
    EXPECT_EQ(window->CurrentPictureFile(), QStringLiteral("ATmega168.jpg"));
    // Disabled items stay disabled and select nothing.
    QAction* tiny13 = window->ChipItems.value(QStringLiteral("ATtiny13"));
    EXPECT_FALSE(tiny13->isEnabled());
    tiny13->trigger();
    EXPECT_EQ(window->Edit1->text(), QStringLiteral("ATmega168PA"));
}

TEST_F(DumpViewTest, TypingDigitsIntoTheFlashView)
{
    Choose(QStringLiteral("ATmega8"));
    ClickAt(window->RichEdit1, 0, 10);
    EXPECT_TRUE(window->RichEdit1->hasFocus());
    EXPECT_EQ(Caret(1), 10u);
    QTest::keyClicks(window->RichEdit1, QStringLiteral("12 34"));
    EXPECT_EQ(Text(1).substr(10, 5), "12 34");
    ClickAt(window->RichEdit1, 1, 10);
    QTest::keyClicks(window->RichEdit1, QStringLiteral("1234"));
    EXPECT_EQ(Text(1).substr(82 + 10, 5), "12 4F");
    EXPECT_EQ(Text(1)[82 + 65], 'O');
    // The image takes the edit only when the view is parsed.
    EXPECT_EQ(window->Work().CurrentChip().FlashImage[0], 0xFF);
    window->ParseView(window->ActiveFlashView(), FlashKind);
    EXPECT_EQ(window->Work().CurrentChip().FlashImage[0], 0x12);
    EXPECT_EQ(window->Work().CurrentChip().FlashImage[17], 0x4F);
}

TEST_F(DumpViewTest, CharacterCellsBackspaceAndDelete)
{
    Choose(QStringLiteral("ATmega8"));
    ClickAt(window->RichEdit3, 0, 64);
    QTest::keyClicks(window->RichEdit3, QStringLiteral("aA"));
    QTest::keyClick(window->RichEdit3, Qt::Key_Space);
    QTest::keyClick(window->RichEdit3, Qt::Key_Return);
    QTest::keyClick(window->RichEdit3, Qt::Key_Comma);
    // The cell keeps the case typed, and its digits say the same byte.
    EXPECT_EQ(Text(3).substr(10, 14), "61 41 20 1F 2C");
    EXPECT_EQ(Text(3).substr(64, 5), "aA \x1F,");
    // A Shift press on its own changes nothing.
    QTest::keyPress(window->RichEdit3, Qt::Key_Shift);
    QTest::keyRelease(window->RichEdit3, Qt::Key_Shift);
    EXPECT_EQ(Caret(3), 69u);
    QTest::keyClick(window->RichEdit3, Qt::Key_Backspace);
    EXPECT_EQ(Text(3).substr(22, 2), "FF");
    EXPECT_EQ(Caret(3), 68u);
    ClickAt(window->RichEdit3, 0, 10);
    QTest::keyClick(window->RichEdit3, Qt::Key_Delete);
    EXPECT_EQ(Text(3).substr(10, 2), "F1");
    EXPECT_EQ(Caret(3), 11u);
    // Tab is a key like Enter here, not a focus move.
    QTest::keyClick(window->RichEdit3, Qt::Key_Tab);
    EXPECT_TRUE(window->RichEdit3->hasFocus());
    EXPECT_EQ(Caret(3), 12u);
}

TEST_F(DumpViewTest, BackspaceWrapsToTheLastLineAndScrollsThere)
{
    Choose(QStringLiteral("ATmega8"));
    HexDumpView* view = window->RichEdit1;
    ClickAt(view, 0, 10);
    QTest::keyClick(view, Qt::Key_Backspace);
    EXPECT_EQ(Caret(1), 511u * 82 + 57);
    EXPECT_EQ(view->FirstVisibleLine(), 512 - view->VisibleLines());
    QTest::keyClick(view, Qt::Key_Backspace);
    QTest::keyClick(view, Qt::Key_Backspace);
    QTest::keyClick(view, Qt::Key_3);
    EXPECT_EQ(Text(1).substr(511 * 82 + 55, 2), "3F");
    // The caret is drawn where the model has it.
    const QRect caret = view->CaretRect();
    EXPECT_TRUE(view->viewport()->rect().contains(caret.center()));
    EXPECT_EQ(view->PositionAt(caret.center() + QPoint(1, 0)), Caret(1));
}

TEST_F(DumpViewTest, NavigationKeysMoveTheCaretOnly)
{
    Choose(QStringLiteral("ATmega8"));
    HexDumpView* view = window->RichEdit1;
    const std::string before = Text(1);
    ClickAt(view, 0, 10);
    const int page = view->VisibleLines();
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        std::size_t expected;
    } steps[] = {
        {Qt::Key_Right, {}, 11},
        {Qt::Key_Down, {}, 82 + 11},
        {Qt::Key_Left, {}, 82 + 10},
        {Qt::Key_Up, {}, 10},
        {Qt::Key_PageDown, {}, std::size_t(page) * 82 + 10},
        {Qt::Key_PageUp, {}, 10},
        {Qt::Key_End, Qt::ControlModifier, 511u * 82 + 80},
        {Qt::Key_Home, Qt::ControlModifier, 0},
    };
    for (const auto& s : steps) {
        QTest::keyClick(view, Qt::Key(s.key), s.modifiers);
        EXPECT_EQ(Caret(1), s.expected) << s.key;
    }
    EXPECT_EQ(view->FirstVisibleLine(), 0);
    EXPECT_EQ(Text(1), before);
}

TEST_F(DumpViewTest, PagesAreIndependent)
{
    Choose(QStringLiteral("ATmega8"));
    window->PageControl1->setCurrentIndex(1);
    EXPECT_EQ(window->ActiveFlashView(), 2u);
    EXPECT_EQ(window->ActiveEepromView(), 4u);
    window->Work().CurrentChip().FlashImage[0] = 0x41;
    window->RenderView(window->ActiveFlashView(), FlashKind);
    EXPECT_EQ(Text(2).substr(10, 2), "41");
    EXPECT_EQ(Text(1).substr(10, 2), "FF");
    ClickAt(window->RichEdit2, 0, 11);
    QTest::keyClick(window->RichEdit2, Qt::Key_7);
    EXPECT_EQ(Text(2).substr(10, 2), "47");
    EXPECT_EQ(Text(1).substr(10, 2), "FF");
}

TEST_F(DumpViewTest, NoChipNoEdits)
{
    window->RichEdit1->setFocus();
    QTest::keyClicks(window->RichEdit1, QStringLiteral("12ab"));
    QTest::keyClick(window->RichEdit1, Qt::Key_Backspace);
    EXPECT_TRUE(Text(1).empty());
    EXPECT_EQ(window->CurrentPictureFile(), QString());
}

TEST_F(DumpViewTest, IdBytesFieldEditsInPlace)
{
    Choose(QStringLiteral("ATmega8"));
    window->Edit2->setFocus();
    window->Edit2->setCursorPosition(0);
    QTest::keyClicks(window->Edit2, QStringLiteral("1e"));
    EXPECT_EQ(window->Edit2->text(), QStringLiteral("1E 93 1E"));
    QTest::keyClick(window->Edit2, Qt::Key_Right);  // arrows are the field's own
    EXPECT_EQ(window->Edit2->cursorPosition(), 3);
    window->Edit2->setCursorPosition(0);
    QTest::keyClick(window->Edit2, Qt::Key_Backspace);
    EXPECT_EQ(window->Edit2->cursorPosition(), 8);
    QTest::keyClick(window->Edit2, Qt::Key_5);
    EXPECT_EQ(window->Edit2->cursorPosition(), 0);
    EXPECT_EQ(window->Edit2->text(), QStringLiteral("1E 93 1E"));
}

TEST_F(DumpViewTest, AutosearchSelectsTheChipFound)
{
    signature = {0x1E, 0x93, 0x07};
    Choose(QStringLiteral("1887ВЕ4У"));
    window->Button1Click();
    ASSERT_TRUE(window->Button3->isEnabled());
    QTest::mouseClick(window->Button3, Qt::LeftButton);
    EXPECT_EQ(window->Edit1->text(), QStringLiteral("ATmega8"));
    EXPECT_EQ(window->Edit2->text(), QStringLiteral("07 93 1E"));
    EXPECT_EQ(window->Work().NiietMode(), 0);
    EXPECT_EQ(LastLog(), QStringLiteral("Selected chip is  ATmega8"));
    EXPECT_EQ(Text(3).size(), 32u * 82 - 2);
}

TEST_F(DumpViewTest, AutosearchOnASilentGatewayKeepsTheChip)
{
    Choose(QStringLiteral("ATmega8"));
    window->Button1Click();
    QTest::mouseClick(window->Button3, Qt::LeftButton);
    const QStringList lines = window->Log().Lines();
    EXPECT_EQ(lines.value(lines.size() - 2), QStringLiteral("       Finished with fail."));
    EXPECT_TRUE(LastLog().startsWith(QStringLiteral("The gateway stopped answering")));
    EXPECT_EQ(window->Edit1->text(), QStringLiteral("ATmega8"));
    EXPECT_TRUE(window->Button1->isEnabled());  // Connect again
}

TEST_F(DumpViewTest, SubstituteCharacterIsVisibleWhereASpaceIsBlank)
{
    Choose(QStringLiteral("ATmega8"));
    auto& flash = window->Work().CurrentChip().FlashImage;
    flash[0] = 0x1F;  // the substitute character
    flash[1] = 0x20;  // a space
    flash[2] = 0x00;  // shown as 0x1F too
    window->RenderView(1, FlashKind);
    HexDumpView* view = window->RichEdit1;
    window->Edit2->setFocus();  // no caret in the picture
    const QImage image = view->viewport()->grab().toImage();
    const QFontMetrics m(view->font());
    const int w = m.horizontalAdvance(QLatin1Char('0'));
    auto inkIn = [&](int column) {
        int ink = 0;
        for (int y = 2; y < 2 + m.height(); ++y)
            for (int x = 2 + column * w; x < 2 + (column + 1) * w; ++x)
                ink += qGray(image.pixel(x * image.width() / view->viewport()->width(),
                                         y * image.height() / view->viewport()->height())) < 128;
        return ink;
    };
    EXPECT_GT(inkIn(64), 0);
    EXPECT_EQ(inkIn(65), 0);
    EXPECT_GT(inkIn(66), 0);
    EXPECT_GT(inkIn(10), 0);  // the hex digit "1"
}

TEST_F(DumpViewTest, ShortcutsNeverWriteAndCtrlCCopiesHex)
{
    // Ctrl+C then Ctrl+A on a byte once turned "15" into "CA".
    Choose(QStringLiteral("ATmega8"));
    HexDumpView* view = window->RichEdit1;
    ClickAt(view, 0, 10);
    QTest::keyClicks(view, QStringLiteral("15"));
    ClickAt(view, 0, 10);
    const std::string before = Text(1);
    QApplication::clipboard()->clear();
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_B, Qt::AltModifier);
    EXPECT_EQ(Text(1), before);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("15"));

    // Dragging over the hex area selects bytes; Ctrl+C copies them all. Another key ends the selection.
    const QFontMetrics m(view->font());
    const auto at = [&](int line, int column) {
        return QPoint(2 + column * m.horizontalAdvance(QLatin1Char('0')) + 1, 2 + line * m.height() + m.height() / 2);
    };
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at(0, 10));
    QMouseEvent move(QEvent::MouseMove, at(1, 14), view->viewport()->mapToGlobal(at(1, 14)), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(view->viewport(), &move);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at(1, 14));
    ASSERT_TRUE(view->Selection().has_value());
    EXPECT_EQ(*view->Selection(), std::make_pair(std::size_t(0), std::size_t(17)));
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
              QStringLiteral("15 FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF"));
    EXPECT_EQ(Text(1), before);
    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_FALSE(view->Selection().has_value());

    // The ID bytes field: a shortcut neither writes nor lets the field take it.
    window->Edit2->setFocus();
    window->Edit2->setCursorPosition(0);
    QTest::keyClick(window->Edit2, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window->Edit2, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(window->Edit2, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(window->Edit2->text(), QStringLiteral("07 93 1E"));
}

// Ctrl+V types the clipboard in at the caret, Ctrl+Z takes the page's edits back one by one,
// Ctrl+G goes to an address; each says in the status bar what it did.
TEST_F(DumpViewTest, PasteUndoAndGoToAddressFromTheKeyboard)
{
    Choose(QStringLiteral("ATmega8"));
    HexDumpView* flash = window->RichEdit1;
    HexDumpView* eeprom = window->RichEdit3;
    const std::string blankFlash = Text(1), blankEeprom = Text(3);
    const auto status = [this] { return window->statusBar()->currentMessage(); };

    ClickAt(flash, 0, 10);
    QApplication::clipboard()->setText(QStringLiteral("DE AD be ef\n"));
    QTest::keyClick(flash, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Text(1).substr(10, 11), "DE AD BE EF");
    EXPECT_EQ(Caret(1), 21u);
    EXPECT_EQ(status(), QStringLiteral("Pasted 8 hex digits"));

    ClickAt(eeprom, 1, 64);
    QApplication::clipboard()->setText(QStringLiteral("Hi"));
    QTest::keyClick(eeprom, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Text(3).substr(82 + 10, 5), "48 69");
    EXPECT_EQ(Text(3).substr(82 + 64, 2), "Hi");
    EXPECT_EQ(status(), QStringLiteral("Pasted 2 characters"));
    QTest::keyClick(eeprom, Qt::Key_Z);  // typed over the next cell: an edit of its own
    EXPECT_EQ(Text(3).substr(82 + 66, 1), "z");

    // The last edits of the page go first, whichever of its views has the focus.
    ClickAt(flash, 3, 10);
    QTest::keyClick(flash, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Text(3).substr(82 + 64, 3), "Hi\xFF");
    QTest::keyClick(flash, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Text(3), blankEeprom);
    EXPECT_EQ(status(), QStringLiteral("Undone the last edit of this page"));
    QTest::keyClick(flash, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Text(1), blankFlash);
    EXPECT_EQ(Caret(1), 10u);
    QTest::keyClick(flash, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(status(), QStringLiteral("Nothing to undo on this page"));

    // A paste that would run past the end stops there and says so; an empty clipboard says that.
    flash->GoToAddress(QStringLiteral("1FFE"));
    QApplication::clipboard()->setText(QStringLiteral("01 02 03"));
    QTest::keyClick(flash, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Text(1).substr(Text(1).size() - 28, 5), "01 02");
    EXPECT_EQ(Text(1).substr(10, 2), "FF");
    EXPECT_EQ(status(), QStringLiteral("Pasted 4 of 6 hex digits: the rest would run past the end of the memory"));
    QApplication::clipboard()->clear();
    QTest::keyClick(flash, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(status(), QStringLiteral("Nothing to paste: the clipboard holds no text"));

    // Ctrl+G asks for the address and brings its line into view.
    QString asked;
    QString answer = QStringLiteral("0x1A40");
    flash->SetAddressAsker([&](const QString& prompt) {
        asked = prompt;
        return answer;
    });
    QTest::keyClick(flash, Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(asked, QStringLiteral("Address (hex, 0 to 1FFF):"));
    EXPECT_EQ(Caret(1), dump::HexCellPos(0x1A40));
    EXPECT_LE(flash->FirstVisibleLine(), 0x1A4);
    EXPECT_GT(flash->FirstVisibleLine() + flash->VisibleLines(), 0x1A4);
    EXPECT_EQ(status(), QStringLiteral("At address 1A40"));
    answer = QStringLiteral("2000");
    QTest::keyClick(flash, Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(Caret(1), dump::HexCellPos(0x1A40));
    EXPECT_EQ(status(), QStringLiteral("\"2000\" is no address of this memory (hex, 0 to 1FFF)"));
}

TEST_F(DumpViewTest, ALargerWindowShowsMoreDumpLines)
{
    Choose(QStringLiteral("ATmega8"));
    const QSize designed = window->size();
    EXPECT_EQ(window->minimumSize(), designed);
    const int flashLines = window->RichEdit1->VisibleLines();
    const int eepromLines = window->RichEdit3->VisibleLines();
    const int logHeight = window->RichEdit5->height();
    window->resize(designed + QSize(300, 400));
    QApplication::processEvents();
    EXPECT_GT(window->RichEdit1->VisibleLines(), flashLines + 10);
    EXPECT_GT(window->RichEdit3->VisibleLines(), eepromLines);
    EXPECT_GT(window->RichEdit5->height(), logHeight);
    EXPECT_EQ(window->RichEdit1->verticalScrollBar()->maximum(), 512 - window->RichEdit1->VisibleLines());
    window->resize(designed - QSize(100, 100));
    QApplication::processEvents();
    EXPECT_EQ(window->size(), designed);
}

TEST(Cp1252, CharactersOfTheCells)
{
    const struct {
        std::uint8_t byte;
        char16_t shown;
    } cases[] = {{0x41, u'A'}, {0x20, u' '}, {0x1F, 0x25AF}, {0x7F, 0x25AF}, {0x80, 0x20AC}, {0x81, 0x25AF},
                 {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xE9, 0x00E9}, {0xFF, 0x00FF}, {0x8A, 0x0160}, {0xAD, u'-'}};
    for (const auto& c : cases)
        EXPECT_EQ(Cp1252Char(c.byte).unicode(), c.shown) << int(c.byte);
    EXPECT_EQ(Cp1252Byte(QChar(0x20AC)), std::optional<std::uint8_t>(0x80));
    EXPECT_EQ(Cp1252Byte(QChar(0x00E9)), std::optional<std::uint8_t>(0xE9));
    EXPECT_EQ(Cp1252Byte(QChar(0x0416)), std::nullopt);  // not in the code page
    EXPECT_EQ(Cp1252Byte(QChar(0x0009)), std::nullopt);
}

TEST(KeyStrokes, KeysGiveTheirBytes)
{
    // Native scan codes as X11 gives them (the PC scan code plus 8): 0x26 is the key of A, 0x36
    // that of C, 0x0B that of 2.
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        QString text;
        std::optional<std::uint8_t> code;  // nothing: no key stroke
        quint32 scanCode = 0;
    } cases[] = {
        {Qt::Key_A, {}, "a", 0x61},
        {Qt::Key_A, Qt::ShiftModifier, "A", 0x41},
        // Shortcuts never write: Ctrl+C, Ctrl+A, Alt+F; AltGr typing "@" (Ctrl+Alt on some systems) does.
        {Qt::Key_C, Qt::ControlModifier, "\x03", std::nullopt},
        {Qt::Key_A, Qt::ControlModifier, "\x01", std::nullopt},
        {Qt::Key_F, Qt::AltModifier, "f", std::nullopt},
        {Qt::Key_At, Qt::ControlModifier | Qt::AltModifier, "@", 0x40},
        // A Cyrillic layout: the keys of A and C give their Latin letters, 2 its digit.
        {0x424, {}, QString(QChar(0x444)), 0x41, 0x26},
        {0x421, Qt::ShiftModifier, QString(QChar(0x421)), 0x43, 0x36},
        {Qt::Key_2, {}, "2", 0x32, 0x0B},
        // A Latin character a layout gives is taken as it is, wherever its key lies.
        {Qt::Key_Eacute, {}, QString(QChar(0xE9)), 0xE9, 0x0B},
        {Qt::Key_5, {}, "5", 0x35},
        {Qt::Key_5, Qt::KeypadModifier, "5", 0x35},
        {Qt::Key_Space, {}, " ", 0x20},
        {Qt::Key_Comma, {}, ",", 0x2C},
        {Qt::Key_Return, {}, "\r", 0x1F},
        {Qt::Key_Escape, {}, "\x1b", 0x1F},
        {Qt::Key_F5, {}, "", 0x1F},
        {Qt::Key_Home, {}, "", 0x1F},
        {Qt::Key_Eacute, {}, QString(QChar(0xE9)), 0xE9},
        {Qt::Key_Shift, Qt::ShiftModifier, "", std::nullopt},
        {Qt::Key_Control, Qt::ControlModifier, "", std::nullopt},
    };
    for (const auto& c : cases) {
        QKeyEvent event(QEvent::KeyPress, c.key, c.modifiers, c.scanCode, 0, 0, c.text);
        const auto stroke = KeyStrokeOf(event);
        ASSERT_EQ(stroke.has_value(), c.code.has_value()) << c.key;
        if (stroke) {
            EXPECT_EQ(stroke->kind, dump::KeyStroke::Character);
            EXPECT_EQ(stroke->code, *c.code) << c.key;
        }
    }
    QKeyEvent back(QEvent::KeyPress, Qt::Key_Backspace, {}, "\b");
    EXPECT_EQ(KeyStrokeOf(back)->kind, dump::KeyStroke::Backspace);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, {}, "\x7f");
    EXPECT_EQ(KeyStrokeOf(del)->kind, dump::KeyStroke::Delete);
}

}  // namespace
