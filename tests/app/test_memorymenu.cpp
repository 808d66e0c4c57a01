// The memory command buttons as a user meets them, against the virtual gateway: the
// questions answered both ways, the pages shown, the views, the log and the progress window.
#include "app/commandrunner.h"
#include "app/hexdumpview.h"
#include "app/mainwindow.h"
#include "app/progresswindow.h"
#include "ops/memorycommands.h"
#include "session/portlinks.h"
#include "sim/simlink.h"
#include "support/qtapp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QComboBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using namespace velmora;

namespace {

class MemoryMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        velmora::testing::EnsureApplication();
        window = std::make_unique<Form1>();
        window->SetPortLinkFactory(VirtualOrSerialLinkFactory());
        window->SetQuestionAsker([this](const QString& text) {
            questions << text;
            return answer;
        });
        window->TrackBar1->setValue(0);
    }

    void ConnectAndSelect(const char* chip)
    {
        window->ComboBox1->setCurrentText(QStringLiteral("virtual:") + QString::fromLatin1(chip));
        window->Button1Click();
        ASSERT_TRUE(window->IsConnected());
        window->ChipItemClick(*FindChipByName(chip));
    }

    QStringList LogView() const
    {
        QStringList lines = window->RichEdit5->toPlainText().split(QLatin1Char('\n'));
        lines.removeAll(QString());
        return lines;
    }
    QString LastLine(int back = 0) const { return LogView().value(LogView().size() - 1 - back); }
    const std::string& ViewText(int view) { return window->Work().views[std::size_t(view)].text; }
    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    // A pattern typed into the flash view of the page shown, as the user's working copy.
    void PutPattern(std::size_t view, int kind, std::uint8_t seed)
    {
        chip& c = window->Work().CurrentChip();
        std::uint8_t* image = c.Image(kind);
        for (std::uint32_t i = 0; i < c.ImageSize(kind); ++i)
            image[i] = std::uint8_t(i * 13 + seed);
        window->RenderView(view, kind);
        // The image is overwritten, so only the view holds the pattern.
        std::fill(image, image + c.ImageSize(kind), 0x00);
    }
    void ExpectNoProgressWindow() const
    {
        EXPECT_EQ(window->Runner().CurrentBar(), nullptr);
        EXPECT_TRUE(window->findChildren<LBar*>().isEmpty());
    }

    std::unique_ptr<Form1> window;
    QStringList questions;
    bool answer = true;
};

TEST_F(MemoryMenuTest, WriteVerifyAndReadProgramOnThePagesShown)
{
    ConnectAndSelect("ATmega8");
    PutPattern(1, FlashKind, 5);
    const std::string written = ViewText(1);

    // No: nothing at all happens.
    answer = false;
    const QStringList before = LogView();
    Click(window->Button5);
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].startsWith(ChipDataQuestion));
    EXPECT_EQ(LogView(), before);

    answer = true;
    Click(window->Button5);
    EXPECT_EQ(LastLine(1), QStringLiteral("       Finished"));
    EXPECT_TRUE(LastLine().startsWith(QStringLiteral("End time: ")));
    EXPECT_TRUE(LogView().contains(QStringLiteral("Trying to write the program")));
    ExpectNoProgressWindow();

    Click(window->Button6);
    EXPECT_EQ(LastLine(1), QStringLiteral("       Finished. No differences found."));
    EXPECT_EQ(questions.size(), 2) << "a verify asks nothing";

    // Read on Page2: only the flash view of Page2 changes.
    window->PageControl1->setCurrentIndex(1);
    const std::string page1 = ViewText(1);
    Click(window->Button4);
    EXPECT_EQ(ViewText(2), written);
    EXPECT_EQ(ViewText(1), page1);
    EXPECT_EQ(LastLine(1), QStringLiteral("       Finished"));

    // An edit in the view shown takes part in the next verify: the first difference, by address.
    window->Work().CurrentChip().FlashImage[0x201] ^= 0xFF;
    window->RenderView(2, FlashKind);
    Click(window->Button6);
    EXPECT_EQ(LastLine(1), QStringLiteral("       Finished with fail. Address: 0x0200"));

    // Chip Erase keeps both pages; a verify then finds the erased chip.
    const std::string page2 = ViewText(2);
    Click(window->Button11);
    EXPECT_EQ(questions.last(), ChipDataQuestion);  // an erase writes no page
    EXPECT_EQ(LastLine(), QStringLiteral("       Finished with success."));
    EXPECT_EQ(ViewText(1), page1);
    EXPECT_EQ(ViewText(2), page2);
    Click(window->Button6);
    EXPECT_TRUE(LastLine(1).startsWith(QStringLiteral("       Finished with fail. Address: 0x")));
    ExpectNoProgressWindow();
}

TEST_F(MemoryMenuTest, DataOnPage2AndCalibration)
{
    ConnectAndSelect("ATmega8");
    window->PageControl1->setCurrentIndex(1);
    PutPattern(4, EepromKind, 9);
    const std::string written = ViewText(4);
    const std::string page1 = ViewText(3);

    answer = false;
    Click(window->Button9);
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].startsWith(EepromDataQuestion));
    answer = true;
    Click(window->Button9);
    EXPECT_EQ(LastLine(1), QStringLiteral("       Finished"));

    // Read back into a blank Page2 view.
    window->Work().FillBlankView(4);
    Click(window->Button8);
    EXPECT_EQ(ViewText(4), written);
    EXPECT_EQ(ViewText(3), page1);
    Click(window->Button10);
    EXPECT_EQ(LastLine(1), QStringLiteral("       Finished. No differences found."));

    Click(window->Button7);
    EXPECT_TRUE(LastLine().startsWith(QStringLiteral("calibration 0 = 0x")));
    EXPECT_EQ(LastLine().count(QStringLiteral("calibration ")), 4);
    ExpectNoProgressWindow();
}

TEST_F(MemoryMenuTest, NoChipAndADroppedLink)
{
    window->ComboBox1->setCurrentText(QStringLiteral("virtual:ATmega8"));
    window->Button1Click();
    Click(window->Button4);
    const QStringList lines = LogView();
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[1], QStringLiteral("Trying to read the program"));
    EXPECT_EQ(lines[3], QStringLiteral("No chip selected"));
    // The question comes before the chip check.
    answer = false;
    Click(window->Button11);
    EXPECT_EQ(questions, QStringList{ChipDataQuestion});
    EXPECT_EQ(LogView(), lines);

    // A read that fails leaves the view as it was.
    window->ChipItemClick(*FindChipByName("ATmega8"));
    const std::string view = ViewText(1);
    window->Button2Click();  // disconnected: the first gateway step fails
    window->Button4Click();
    EXPECT_EQ(LastLine(1), QStringLiteral("       Finished with fail."));
    EXPECT_EQ(ViewText(1), view);
    ExpectNoProgressWindow();
}

// Each command ends with its result beside the log, coloured by how it ended; the write
// question names the page and the file; the page names its file; the same chip keeps the
// pages, another one asks while they hold a file or edits.
TEST_F(MemoryMenuTest, ResultsQuestionsAndPagesTellWhatTheyHold)
{
    ConnectAndSelect("ATmega8");
    EXPECT_EQ(window->ConnectionLabel->text(), QStringLiteral("Connected to virtual:ATmega8, chip ATmega8"));
    Click(window->Button4);
    EXPECT_EQ(window->ResultLabel->text(), QStringLiteral("Done: read the program"));
    EXPECT_TRUE(window->ResultLabel->styleSheet().contains(QStringLiteral("#1b7f1b")));

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("fw.hex"));
    QFile hex(file);
    ASSERT_TRUE(hex.open(QIODevice::WriteOnly));
    hex.write(":02000000AA55FF\r\n:00000001FF\r\n");
    hex.close();
    window->LoadImageFileNamed(file, FlashKind);
    EXPECT_EQ(window->PageControl1->tabText(0), QStringLiteral("Page1 - fw.hex"));
    EXPECT_EQ(window->ResultLabel->text(), QStringLiteral("Loaded fw.hex into the flash of Page1"));
    QTest::keyClicks(window->RichEdit1, QStringLiteral("1"));  // the caret stood on byte 0
    EXPECT_EQ(window->PageControl1->tabText(0), QStringLiteral("Page1 - fw.hex *"));

    answer = false;
    Click(window->Button5);
    ASSERT_EQ(questions.size(), 1);
    EXPECT_EQ(questions[0], ChipDataQuestion + QStringLiteral("\n\nIt writes the flash of Page1, loaded from fw.hex and edited."));
    Click(window->Button6);
    EXPECT_TRUE(window->ResultLabel->text().startsWith(QStringLiteral("Differences: verify the program; the first at address 0x0000")));
    EXPECT_TRUE(window->ResultLabel->styleSheet().contains(QStringLiteral("#b35c00")));

    // The same chip again keeps the pages; another asks first, and No keeps everything.
    const std::string page1 = ViewText(1);
    window->ChipItemClick(*FindChipByName("ATmega8"));
    EXPECT_EQ(ViewText(1), page1);
    EXPECT_EQ(questions.size(), 1);
    window->ChipItemClick(*FindChipByName("ATmega16"));
    ASSERT_EQ(questions.size(), 2);
    EXPECT_EQ(questions[1], QStringLiteral("Page1 holds fw.hex and unsaved edits.\nSelecting ATmega16 blanks both pages. Select it?"));
    EXPECT_EQ(window->Edit1->text(), QStringLiteral("ATmega8"));
    EXPECT_EQ(ViewText(1), page1);
    answer = true;
    window->ChipItemClick(*FindChipByName("ATmega16"));
    EXPECT_EQ(window->Edit1->text(), QStringLiteral("ATmega16"));
    EXPECT_EQ(window->PageControl1->tabText(0), QStringLiteral("Page1"));
    window->ChipItemClick(*FindChipByName("ATmega8"));  // nothing held now: no question
    EXPECT_EQ(questions.size(), 3);

    // Autosearch on a socket with another chip than the one shown names what it found.
    Click(window->Button3);
    EXPECT_EQ(window->ResultLabel->text(), QStringLiteral("Autosearch found ATmega8"));
}

TEST(MemoryMenuQuestion, WarningBoxWithNoAsDefault)
{
    velmora::testing::EnsureApplication();
    for (QMessageBox::StandardButton press : {QMessageBox::No, QMessageBox::Yes}) {
        QString title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool noIsDefault = false;
        QString text;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            icon = box->icon();
            text = box->text();
            noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
            box->button(press)->click();
        });
        const bool yes = Form1::AskWarning(nullptr, EepromDataQuestion);
        EXPECT_EQ(yes, press == QMessageBox::Yes);
        EXPECT_EQ(title, QStringLiteral("Warning"));
        EXPECT_EQ(icon, QMessageBox::Warning);
        EXPECT_EQ(text, EepromDataQuestion);
        EXPECT_TRUE(noIsDefault);
    }
}

}  // namespace
