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

#include <tuple>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QComboBox>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

    // A simulated gateway the test can look into: inSocket in its socket, selected chosen
    // from the Chip Select menu.
    void PlugAndSelect(const char* inSocket, const char* selected)
    {
        // Its clock runs on the link's sleeps, as the virtual gateway's does.
        window->SetPortLinkFactory([this, inSocket](const QString&) {
            auto link = std::make_unique<sim::SimLink>(*sim::FindSimChip(inSocket), /*virtualTime=*/true);
            simLink = link.get();
            PortLink made;
            made.sleeper = link->Sleeper();
            made.link = std::move(link);
            made.devicePath = QStringLiteral("virtual:") + QString::fromLatin1(inSocket);
            return made;
        });
        window->Button1Click();
        ASSERT_TRUE(window->IsConnected());
        window->ChipItemClick(*FindChipByName(selected));
    }
    sim::SimChip& Socket() { return simLink->Gateway().Chip(); }
    // Everything the chip in the socket holds.
    std::tuple<std::vector<std::uint8_t>, std::vector<std::uint8_t>, std::array<std::uint8_t, 3>, std::uint8_t> Held()
    {
        return {Socket().Flash(), Socket().Eeprom(), Socket().Fuses(), Socket().Lock()};
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
    static QString WriteFile(const QTemporaryDir& dir, const char* name, const QByteArray& text)
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return path;
    }
    void ExpectNoProgressWindow() const
    {
        EXPECT_EQ(window->Runner().CurrentBar(), nullptr);
        EXPECT_TRUE(window->findChildren<LBar*>().isEmpty());
    }

    std::unique_ptr<Form1> window;
    sim::SimLink* simLink = nullptr;  // owned by the window's session
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
    EXPECT_EQ(LastLine(1), QStringLiteral("       Finished. No differences found.")) << "verified after writing";
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
    EXPECT_EQ(LastLine(1), QStringLiteral("       Finished. No differences found."));

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
    const QString file = WriteFile(dir, "fw.hex", ":02000000AA55FF\r\n:00000001FF\r\n");
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

// An ATmega8 in the socket with the ATmega16 selected: Write Program, Write Data, Chip Erase
// and the fuse write ask, naming both chips, and No leaves the chip exactly as it was; Yes goes
// on with the selected chip's algorithm.
TEST_F(MemoryMenuTest, AnotherChipInTheSocketIsAskedAboutBeforeAnythingChanges)
{
    PlugAndSelect("ATmega8", "ATmega16");
    const QString other = OtherChipQuestion(*FindChipByName("ATmega16"), FindChipByName("ATmega8")->code);
    EXPECT_TRUE(other.startsWith(QStringLiteral("The chip in the socket is the ATmega8 (signature 1E 93 07), not the "
                                                "selected ATmega16 (1E 94 03).")))
        << other.toStdString();
    PutPattern(1, FlashKind, 5);
    PutPattern(3, EepromKind, 7);
    const auto held = Held();
    // Yes to each command's own question, No to the chip's.
    window->SetQuestionAsker([&](const QString& text) {
        questions << text;
        return text != other;
    });
    for (QPushButton* button : {window->Button5, window->Button9, window->Button11}) {
        questions.clear();
        const qsizetype from = LogView().size();
        Click(button);
        ASSERT_EQ(questions.size(), 2) << button->text().toStdString();
        EXPECT_EQ(questions[1], other);
        const QStringList lines = LogView().mid(from);
        EXPECT_TRUE(lines.contains(OtherChipText(*FindChipByName("ATmega16"), FindChipByName("ATmega8")->code)));
        EXPECT_TRUE(lines.contains(QStringLiteral("       Finished with fail."))) << lines.join('\n').toStdString();
        EXPECT_TRUE(held == Held()) << button->text().toStdString() << ": the chip was changed";
    }

    // Lock & Fuses: a write of other values asks the same, and No writes nothing.
    questions.clear();
    window->Work().CurrentChip().FuseDefaults[0] = 0xE4;
    TLockFusesForm form(window->LockFusesHost(), window.get());
    form.Button2Click();
    ASSERT_FALSE(questions.isEmpty());
    EXPECT_EQ(questions.last(), other);
    EXPECT_TRUE(held == Held());

    // Yes: written with the ATmega16's algorithm, which this one shares.
    window->SetQuestionAsker([&](const QString& text) {
        questions << text;
        return true;
    });
    Click(window->Button9);
    EXPECT_EQ(questions.last(), other);
    EXPECT_EQ(Socket().Eeprom()[0], 7);
    EXPECT_EQ(LastLine(1), QStringLiteral("       Finished. No differences found."));
}

// The real question, asked while the write's job waits on the worker thread: it takes the
// keyboard (the running command blocks all other input), Return answers No, and the progress
// window does not cover it.
TEST_F(MemoryMenuTest, TheChipQuestionIsAWarningBoxWithNoAsTheDefault)
{
    PlugAndSelect("ATmega8", "ATmega16");
    window->show();
    PutPattern(1, FlashKind, 5);
    const auto held = Held();
    window->SetQuestionAsker([this](const QString& text) {
        questions << text;
        return Form1::AskWarning(window.get(), text);
    });
    QElapsedTimer open;
    bool barOverQuestion = false;
    bool keyLost = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (box->text().startsWith(ChipDataQuestion)) {
            QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
            return;
        }
        if (!open.isValid())
            open.start();
        // Longer than the progress window's delay.
        if (open.elapsed() < 2 * CommandRunner::ProgressDelayMs)
            return;
        const LBar* bar = window->Runner().CurrentBar();
        barOverQuestion = bar && bar->isVisible();
        QTest::keyClick(box, Qt::Key_Return);
        // Input swallowed by the running command: close it here rather than hang.
        if (box->isVisible()) {
            keyLost = true;
            box->done(QMessageBox::No);
        }
    });
    poll.start(10);
    Click(window->Button5);
    poll.stop();
    ASSERT_EQ(questions.size(), 2);
    EXPECT_TRUE(questions[1].startsWith(QStringLiteral("The chip in the socket is the ATmega8")));
    EXPECT_TRUE(open.isValid());
    EXPECT_FALSE(barOverQuestion);
    EXPECT_FALSE(keyLost) << "the question took no keyboard";
    EXPECT_TRUE(held == Held());
    EXPECT_FALSE(window->Runner().Busy());
}

// Verify after writing: on by default, under the write buttons; a chip that does not take the
// bytes (locked) ends the write with fail and the address, and unticked the same write ends as
// if it had worked.
TEST_F(MemoryMenuTest, WritesAreReadBackUnlessVerifyAfterWritingIsCleared)
{
    PlugAndSelect("ATmega8", "ATmega8");
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    ASSERT_TRUE(window->VerifyCheckBox->isChecked());
    EXPECT_EQ(window->VerifyCheckBox->text(), QStringLiteral("Verify after writing"));
    const QRect box = window->VerifyCheckBox->geometry();
    const QRect writeData = window->Button9->geometry();
    EXPECT_EQ(box.left(), writeData.left()) << "in the column of the write buttons";
    EXPECT_GE(box.top(), writeData.bottom());
    EXPECT_LT(box.top() - writeData.bottom(), 12);

    Socket().Lock() = 0xFC;  // the chip keeps its EEPROM as it is
    PutPattern(3, EepromKind, 9);
    Click(window->Button9);
    EXPECT_EQ(LastLine(1), QStringLiteral("       Finished with fail. Address: 0x0000"));
    EXPECT_FALSE(window->ResultLabel->styleSheet().contains(QStringLiteral("#1b7f1b"))) << "not shown as done";

    QTest::mouseClick(window->VerifyCheckBox, Qt::LeftButton);
    ASSERT_FALSE(window->VerifyCheckBox->isChecked());
    const qsizetype from = LogView().size();
    Click(window->Button9);
    EXPECT_EQ(LastLine(1), QStringLiteral("       Finished"));
    EXPECT_TRUE(LogView().mid(from).filter(QStringLiteral("verify")).isEmpty());
}

// A file with no end record loads, with its warning in the log and in the result beside it.
TEST_F(MemoryMenuTest, AFileWithNoEndRecordLoadsWithAWarning)
{
    ConnectAndSelect("ATmega8");
    QTemporaryDir dir;
    window->LoadImageFileNamed(WriteFile(dir, "cut.hex", ":02000000AA55FF\r\n"), FlashKind);
    EXPECT_EQ(LastLine(), QStringLiteral("Warning: the file has no end record; it may be cut short after line 1"));
    EXPECT_EQ(window->ResultLabel->text(),
              QStringLiteral("Loaded cut.hex into the flash of Page1; it has no end record and may be cut short"));
    EXPECT_TRUE(window->ResultLabel->styleSheet().contains(QStringLiteral("#b35c00")));
    EXPECT_EQ(window->Work().CurrentChip().FlashImage[1], 0x55);
}

// Save Log as JSON Lines: the record of each chip command, as the command line's --record
// writes them, whichever way the command was started.
TEST_F(MemoryMenuTest, TheLogSavedAsJsonLinesHoldsARecordPerCommand)
{
    ConnectAndSelect("ATmega8");
    PutPattern(1, FlashKind, 7);
    Click(window->Button5);
    const chip& c = window->Work().CurrentChip();
    const QByteArray image(reinterpret_cast<const char*>(c.Image(FlashKind)), qsizetype(c.ImageSize(FlashKind)));
    Click(window->Button7);
    ASSERT_TRUE(ReadFusesInto(window->Work().chips, window->LockFusesHost().runChipJob).has_value());
    window->Work().CurrentChip().FlashImage[0x10] ^= 0xFF;
    window->RenderView(1, FlashKind);
    Click(window->Button6);

    QTemporaryDir dir;
    // Chosen by the filter, the name without an extension.
    window->SetSaveFileChooser([&](QFileDialog& dialog) {
        dialog.selectNameFilter(QStringLiteral("JSON Lines, one record per command (*.jsonl)"));
        return dir.filePath(QStringLiteral("chips"));
    });
    window->SaveLogas1Click();
    EXPECT_EQ(LastLine(), QStringLiteral("Log saved to file: ") + dir.filePath(QStringLiteral("chips.jsonl")));
    QFile file(dir.filePath(QStringLiteral("chips.jsonl")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QList<QJsonObject> records;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.isEmpty())
            records.append(QJsonDocument::fromJson(line).object());
    ASSERT_EQ(records.size(), 4);
    for (const QJsonObject& r : records) {
        EXPECT_EQ(r[QStringLiteral("port")].toString(), QStringLiteral("virtual:ATmega8"));
        EXPECT_EQ(r[QStringLiteral("chip")].toString(), QStringLiteral("ATmega8"));
        EXPECT_EQ(r[QStringLiteral("signature")].toString(), QStringLiteral("1E 93 07"));
    }
    EXPECT_EQ(records[0][QStringLiteral("commands")].toArray().first().toString(), QStringLiteral("Write Program"));
    EXPECT_EQ(records[0][QStringLiteral("flash_sha256")].toString(),
              QString::fromLatin1(QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex()));
    EXPECT_EQ(records[0][QStringLiteral("result")].toString(), QStringLiteral("ok"));
    EXPECT_EQ(records[1][QStringLiteral("calibration")].toString().size(), 11) << "four bytes in hex";
    // The dialog's commands are named by the steps they tried.
    EXPECT_TRUE(records[2][QStringLiteral("commands")].toArray().contains(QStringLiteral("read fuse high byte")));
    EXPECT_EQ(records[2][QStringLiteral("fuses")].toObject()[QStringLiteral("High Fuses")].toString(), QStringLiteral("D9"));
    EXPECT_EQ(records[3][QStringLiteral("result")].toString(), QStringLiteral("fail"));
    EXPECT_EQ(records[3][QStringLiteral("fail_line")].toString(), QStringLiteral("       Finished with fail. Address: 0x0010"));
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
