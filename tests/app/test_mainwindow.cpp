// The main window as a user meets it: enabling, connection states, log, saving the log, the
// progress window, the About box. Runs headless (offscreen platform).
#include "app/aboutbox.h"
#include "app/commandrunner.h"
#include "app/hexdumpview.h"
#include "app/mainwindow.h"
#include "chips/catalogue.h"
#include "link/serialport.h"
#include "session/portlinks.h"
#include "support/qtapp.h"
#include "support/recordinglink.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QSet>
#include <QSettings>
#include <QUrl>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QAbstractItemView>
#include <QCompleter>
#include <QFileDialog>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace velmora;
using velmora::testing::RecordingLink;

namespace {

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        velmora::testing::EnsureApplication();
        window = std::make_unique<Form1>();
        window->SetQuestionAsker([](const QString&) { return true; });
        window->SetLinkFactory([this](const QString& portText, QString* devicePath) -> std::unique_ptr<GatewayLink> {
            *devicePath = QStringLiteral("/dev/fake-") + portText;
            auto link = std::make_unique<RecordingLink>();
            if (answerHandshake)
                link->QueueAnswer({0x00});
            lastLink = link.get();
            return link;
        });
    }

    QStringList LogView() const
    {
        QStringList lines = window->RichEdit5->toPlainText().split(QLatin1Char('\n'));
        lines.removeAll(QString());
        return lines;
    }

    // The enabling of Connect, then of Disconnect/Autosearch/operations, then of Lock & Fuses.
    void ExpectLayout(bool connected) const
    {
        EXPECT_EQ(window->Button1->isEnabled(), !connected);
        for (QPushButton* b : {window->Button2, window->Button3, window->Button4, window->Button5, window->Button6,
                               window->Button7, window->Button8, window->Button9, window->Button10, window->Button11})
            EXPECT_EQ(b->isEnabled(), connected) << b->objectName().toStdString();
        EXPECT_EQ(window->LockFuses1->isEnabled(), connected);
        // Never touched by either set.
        EXPECT_TRUE(window->ComboBox1->isEnabled());
        EXPECT_TRUE(window->TrackBar1->isEnabled());
        EXPECT_TRUE(window->SaveLogas1->isEnabled());
    }

    std::unique_ptr<Form1> window;
    RecordingLink* lastLink = nullptr;
    bool answerHandshake = true;
};

TEST_F(Form1Test, StartsDisconnectedWithTheDesignedControls)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Velmora"));
    ExpectLayout(false);
    EXPECT_EQ(window->Edit1->text(), QStringLiteral("None"));
    EXPECT_EQ(window->Edit2->text(), QStringLiteral("FF FF FF"));
    EXPECT_EQ(window->ComboBox1->currentText(), QStringLiteral("COM1"));
    // The ports present on this machine, if any, come first.
    const int com1 = window->ComboBox1->findText(QStringLiteral("COM1"));
    ASSERT_GE(com1, 0);
    for (int n = 1; n <= 10; ++n)
        EXPECT_EQ(window->ComboBox1->itemText(com1 + n - 1), QStringLiteral("COM%1").arg(n));
    EXPECT_EQ(window->TrackBar1->value(), 1);
    EXPECT_EQ(window->DelaysValue(), 1);
    EXPECT_TRUE(window->RichEdit5->toPlainText().isEmpty());
    EXPECT_EQ(window->LockFuses1->text(), QStringLiteral("&Lock && Fuses..."));
    EXPECT_EQ(window->PageControl1->currentWidget(), window->TabSheet1);

    // Chip Select: 56 items, the designed ones disabled, the two NIIET parts with their names.
    EXPECT_EQ(window->ChipItems.size(), 56);
    int disabled = 0;
    for (QAction* a : window->ChipItems)
        disabled += a->isEnabled() ? 0 : 1;
    EXPECT_EQ(disabled, 11);
    EXPECT_FALSE(window->ChipItems.value(QStringLiteral("ATtiny13"))->isEnabled());
    EXPECT_TRUE(window->ChipItems.value(QStringLiteral("ATmega8"))->isEnabled());
    EXPECT_EQ(window->ChipItems.value(QStringLiteral("1887ВЕ4У"))->objectName(), QStringLiteral("N188741"));
}

TEST_F(Form1Test, ConnectDisconnectAndDropFollowTheStateTable)
{
    window->ComboBox1->setCurrentText(QStringLiteral("COM3"));
    window->Button1Click();
    ExpectLayout(true);
    ASSERT_TRUE(window->IsConnected());
    EXPECT_EQ(LogView(), QStringList{QStringLiteral("The COM-port is open: /dev/fake-COM3")});

    // A failed step elsewhere drops the link but leaves the connected layout.
    window->Runner().Run([this](const CommandRunner::Progress&) { lastLink->CloseGateway(); });
    EXPECT_FALSE(window->IsConnected());
    ExpectLayout(true);

    // Changing the port while dropped writes nothing.
    window->ComboBox1->setCurrentText(QStringLiteral("COM4"));
    EXPECT_EQ(LogView().size(), 1);

    window->Button2Click();
    ExpectLayout(false);
    EXPECT_EQ(LogView().last(), QStringLiteral("The COM-port is closed"));
}

TEST_F(Form1Test, FailedConnectKeepsConnectEnabledAndSaysWhyInTheStatusBar)
{
    answerHandshake = false;
    window->Button1Click();
    ExpectLayout(false);
    EXPECT_EQ(LogView(), QStringList{QStringLiteral("Error reading the answer (PINB)")});
    EXPECT_FALSE(window->statusBar()->currentMessage().isEmpty());
}

TEST_F(Form1Test, ANewAttemptClearsTheLastReasonAndUnknownVirtualChipsSaySo)
{
    answerHandshake = false;
    window->Button1Click();
    QStringList messages;
    QObject::connect(window->statusBar(), &QStatusBar::messageChanged, window.get(),
                     [&messages](const QString& text) { messages.append(text); });
    window->Button1Click();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].isEmpty());  // cleared before the attempt, not only after a success
    EXPECT_FALSE(messages[1].isEmpty());

    window->SetPortLinkFactory(VirtualOrSerialLinkFactory());
    window->ComboBox1->setCurrentText(QStringLiteral("virtual:ATmega9"));
    window->Button1Click();
    EXPECT_EQ(window->statusBar()->currentMessage(),
              QStringLiteral("virtual:ATmega9: no simulated chip is named \"ATmega9\"; the Chip Select menu shows "
                             "the names, and velmora-sim --list prints them"));
    EXPECT_TRUE(window->Button1->isEnabled());
}

TEST_F(Form1Test, NewLogLinesComeIntoSightWhenTheLogWasScrolledUp)
{
    window->show();
    for (int i = 0; i < 200; ++i)
        window->Log().WriteLog(LogPlain, QStringLiteral("line %1").arg(i));
    QApplication::processEvents();
    QScrollBar* bar = window->RichEdit5->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(0);
    window->Log().WriteLog(LogComplete);
    QApplication::processEvents();
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(Form1Test, TheFileDialogsAreMadeOnFirstUseAndTakeTheirCompletionListAlong)
{
    EXPECT_TRUE(window->findChildren<QFileDialog*>().isEmpty());
    QFileDialog* dialog = window->OpenDialog1();
    EXPECT_EQ(window->OpenDialog1(), dialog);
    EXPECT_EQ(window->findChildren<QFileDialog*>().size(), 1);
    window->show();
    QTemporaryDir folder;
    dialog->setDirectory(folder.path());
    dialog->open();
    dialog->selectFile(folder.filePath(QStringLiteral("typed.hex")));
    const QList<QCompleter*> completers = dialog->findChildren<QCompleter*>();
    ASSERT_FALSE(completers.isEmpty());
    completers.first()->popup()->show();
    static_cast<QDialog*>(dialog)->accept();
    ASSERT_FALSE(dialog->isVisible());
    for (QCompleter* completer : completers)
        EXPECT_FALSE(completer->popup()->isVisible());
}

TEST_F(Form1Test, PortChangeWhileConnectedDisconnects)
{
    window->ComboBox1->setCurrentText(QStringLiteral("COM2"));  // not connected: nothing
    EXPECT_TRUE(LogView().isEmpty());
    window->Button1Click();
    window->ComboBox1->setCurrentText(QStringLiteral("COM5"));
    EXPECT_FALSE(window->IsConnected());
    ExpectLayout(false);
    EXPECT_EQ(LogView().last(), QStringLiteral("The COM-port is closed"));
}

TEST_F(Form1Test, ExitWhileConnectedClosesThePortFirst)
{
    window->show();
    window->Button1Click();
    window->Exit1Click();
    EXPECT_EQ(LogView().last(), QStringLiteral("The COM-port is closed"));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(Form1Test, TrackBarSetsTheDelay)
{
    for (int position : {0, 5, 3}) {
        window->TrackBar1->setValue(position);
        EXPECT_EQ(window->DelaysValue(), position);
    }
    window->TrackBar1->setValue(9);  // the bar stops at its end
    EXPECT_EQ(window->DelaysValue(), 5);
}

// The slider says its value with its unit and explains itself; the greyed chips say how they
// are reached; the port box holds the longest virtual chip name whole.
TEST_F(Form1Test, ControlsExplainThemselves)
{
    EXPECT_EQ(window->DelaysLabel->text(), QStringLiteral("1 ms"));
    for (int position : {0, 5, 3}) {
        window->TrackBar1->setValue(position);
        EXPECT_EQ(window->DelaysLabel->text(), QStringLiteral("%1 ms").arg(position));
    }
    EXPECT_TRUE(window->TrackBar1->toolTip().contains(QStringLiteral("0 to 5 ms")));

    int greyed = 0;
    for (auto item = window->ChipItems.cbegin(); item != window->ChipItems.cend(); ++item) {
        QAction* a = item.value();
        if (a->isEnabled() || item.key() == QStringLiteral("AT90C8534")) {
            EXPECT_EQ(a->text(), item.key());
            continue;
        }
        ++greyed;
        EXPECT_EQ(a->text(), item.key() + QStringLiteral(" (found by Autosearch)"));
        EXPECT_FALSE(a->toolTip().isEmpty());
    }
    EXPECT_EQ(greyed, 10);

    window->FitPortBox(VirtualPortTexts());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QLineEdit* typed = window->ComboBox1->lineEdit();
    for (const QString& text : VirtualPortTexts() + QStringList{QStringLiteral("/dev/ttyUSB0")})
        EXPECT_LE(typed->fontMetrics().horizontalAdvance(text), typed->contentsRect().width() - 4) << text.toStdString();
}

// Every menu and item has a mnemonic, no two alike in one menu; the common commands have the
// platform's standard keys; every control explains itself.
TEST_F(Form1Test, MnemonicsShortcutsAndTooltips)
{
    const auto mnemonic = [](const QString& text) {
        const qsizetype at = QString(text).replace(QStringLiteral("&&"), QStringLiteral("__")).indexOf(QLatin1Char('&'));
        return at < 0 || at + 1 >= text.size() ? QChar() : text.at(at + 1).toLower();
    };
    QList<QMenu*> menus = {window->File1, window->Edit3, window->ChipSelect1, window->Help1};
    QSet<QChar> bar;
    for (QMenu* menu : menus) {
        const QChar m = mnemonic(menu->title());
        EXPECT_FALSE(m.isNull()) << menu->title().toStdString();
        EXPECT_FALSE(bar.contains(m)) << menu->title().toStdString();
        bar.insert(m);
        if (menu == window->ChipSelect1)
            continue;  // its chip items are many more than letters
        QSet<QChar> items;
        for (QAction* a : menu->actions()) {
            if (a->isSeparator())
                continue;
            const QChar im = mnemonic(a->text());
            EXPECT_FALSE(im.isNull()) << a->text().toStdString();
            EXPECT_FALSE(items.contains(im)) << a->text().toStdString();
            items.insert(im);
        }
    }
    EXPECT_EQ(window->LoadProgramfromFile1->shortcut(), QKeySequence(QKeySequence::Open));
    EXPECT_EQ(window->SaveProgramtoFile1->shortcut(), QKeySequence(QKeySequence::Save));
    EXPECT_EQ(window->Exit1->shortcut(), QKeySequence(QKeySequence::Quit));
    EXPECT_EQ(window->KV4417Connection1->shortcut(), QKeySequence(QKeySequence::HelpContents));
    EXPECT_EQ(window->AutosearchOrRead1->shortcut(), QKeySequence(Qt::Key_F5));
    QSet<QKeySequence> keys;
    for (QAction* a : window->findChildren<QAction*>())
        if (!a->shortcut().isEmpty()) {
            EXPECT_FALSE(keys.contains(a->shortcut())) << a->text().toStdString();
            keys.insert(a->shortcut());
        }

    QList<QWidget*> controls = {window->ComboBox1, window->Edit1,     window->Edit2,     window->TrackBar1,
                                window->RichEdit1, window->RichEdit2, window->RichEdit3, window->RichEdit4,
                                window->RichEdit5, window->DelaysLabel};
    for (QPushButton* b : window->findChildren<QPushButton*>())
        if (b->window() == window.get())
            controls << b;
    EXPECT_GE(controls.size(), 21);
    for (QWidget* w : controls)
        EXPECT_FALSE(w->toolTip().isEmpty()) << w->objectName().toStdString();
    for (QAction* a : window->findChildren<QAction*>()) {
        if (!a->isSeparator() && !a->menu() && a->isEnabled() && !a->text().isEmpty() &&
            !window->ChipItems.values().contains(a)) {
            EXPECT_FALSE(a->statusTip().isEmpty()) << a->text().toStdString();
        }
    }
}

// F5 runs Autosearch while no chip is selected, then Read Program; unconnected it says what to do.
TEST_F(Form1Test, F5FindsTheChipThenReadsIt)
{
    window->AutosearchOrRead1->trigger();
    EXPECT_EQ(window->statusBar()->currentMessage(), QStringLiteral("Not connected: press Connect first"));
    EXPECT_TRUE(window->Log().Lines().isEmpty());
    window->SetPortLinkFactory(VirtualOrSerialLinkFactory(VirtualClock::Virtual));
    window->ComboBox1->setCurrentText(QStringLiteral("virtual:ATtiny2313"));
    window->Button1Click();
    window->AutosearchOrRead1->trigger();
    EXPECT_EQ(window->Edit1->text(), QStringLiteral("ATtiny2313"));
    window->AutosearchOrRead1->trigger();
    EXPECT_TRUE(window->Log().Lines().contains(QStringLiteral("Trying to read the program")));
}

// Port text, folder, recent files and geometry come back in the next run; the chip and the
// connection do not. A settings file that cannot be read is left alone, with one log line.
TEST_F(Form1Test, SettingsComeBackAndAnUnreadableFileIsIgnored)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("velmora.ini"));
    QFile program(dir.filePath(QStringLiteral("fw.hex")));
    ASSERT_TRUE(program.open(QIODevice::WriteOnly));
    program.write(":0100000042BD\r\n:00000001FF\r\n");
    program.close();

    window->UseSettings(std::make_unique<QSettings>(ini, QSettings::IniFormat));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->ComboBox1->setCurrentText(QStringLiteral("/dev/ttyUSB3"));
    window->ChipItemClick(*FindChipByName("ATmega8"));
    window->SetOpenFileChooser([&](QFileDialog&) { return program.fileName(); });
    window->Open1->trigger();
    window->LoadProgramfromFile1->trigger();
    window->resize(900, 760);
    EXPECT_TRUE(window->VerifyCheckBox->isChecked()) << "on unless the user clears it";
    window->VerifyCheckBox->setChecked(false);
    window->close();

    Form1 next;
    next.UseSettings(std::make_unique<QSettings>(ini, QSettings::IniFormat));
    EXPECT_FALSE(next.VerifyCheckBox->isChecked());
    EXPECT_EQ(next.ComboBox1->currentText(), QStringLiteral("/dev/ttyUSB3"));
    EXPECT_EQ(next.LastFolder(), dir.path());
    ASSERT_EQ(next.RecentFiles().size(), 2);  // newest first, one entry per file and memory
    EXPECT_EQ(next.RecentFiles()[0].kind, FlashKind);
    EXPECT_EQ(next.RecentFiles()[1].kind, EepromKind);
    EXPECT_EQ(next.RecentFiles()[0].path, program.fileName());
    ASSERT_EQ(next.RecentFiles1->actions().size(), 2);
    EXPECT_EQ(next.RecentFiles1->actions()[0]->text(), QStringLiteral("&1 fw.hex (program)"));
    EXPECT_EQ(next.size(), QSize(900, 760));
    EXPECT_EQ(next.Edit1->text(), QStringLiteral("None"));
    EXPECT_TRUE(next.Button1->isEnabled());
    EXPECT_TRUE(next.Log().Lines().isEmpty());

    // A recent file loads into the page shown, into its memory.
    next.ChipItemClick(*FindChipByName("ATmega8"));
    next.RecentFiles1->actions()[0]->trigger();
    EXPECT_EQ(next.Work().views[1].text.substr(10, 2), "42");

    // A settings "file" that is a folder cannot be read: one line, and nothing written over it.
    const QString folder = dir.filePath(QStringLiteral("folder.ini"));
    ASSERT_TRUE(QDir().mkdir(folder));
    Form1 third;
    third.UseSettings(std::make_unique<QSettings>(folder, QSettings::IniFormat));
    EXPECT_EQ(third.Log().Lines(),
              QStringList({QStringLiteral("The settings file %1 cannot be read; the window starts without it").arg(folder)}));
    EXPECT_EQ(third.ComboBox1->currentText(), QStringLiteral("COM1"));
    third.close();
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

// A file dropped on a dump view loads into that view's memory on the page shown.
TEST_F(Form1Test, FilesDroppedOnAPageLoadIntoIt)
{
    QTemporaryDir dir;
    const QString eep = dir.filePath(QStringLiteral("data.bin"));
    QFile file(eep);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4, char(0x5A)));
    file.close();
    window->ChipItemClick(*FindChipByName("ATmega8"));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->PageControl1->setCurrentIndex(1);
    QCoreApplication::processEvents();

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(eep)});
    const QPoint at = window->RichEdit4->mapTo(window.get(), window->RichEdit4->rect().center());
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    enter.setAccepted(false);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(window.get(), &drop);
    EXPECT_EQ(window->Work().views[4].text.substr(10, 11), "5A 5A 5A 5A");
    EXPECT_EQ(window->Work().views[3].text.substr(10, 2), "FF");  // Page1 untouched
    EXPECT_EQ(window->Work().views[2].text.substr(10, 2), "FF");  // the flash view of Page2 too
    EXPECT_EQ(window->RecentFiles().size(), 1);

    QMimeData text;
    text.setText(QStringLiteral("not a file"));
    QDragEnterEvent refused(at, Qt::CopyAction, &text, Qt::LeftButton, {});
    refused.setAccepted(false);
    QApplication::sendEvent(window.get(), &refused);
    EXPECT_FALSE(refused.isAccepted());
}

// A gateway that stops answering: the failing step's line, one line saying what happened and
// what to do, Connect enabled again, the status bar saying the link is lost.
TEST_F(Form1Test, ALostLinkOffersConnectAgainAfterOneClearLine)
{
    EXPECT_EQ(window->ConnectionLabel->text(), QStringLiteral("Not connected, no chip selected"));
    window->ComboBox1->setCurrentText(QStringLiteral("COM3"));
    window->Button1Click();
    ExpectLayout(true);
    EXPECT_EQ(window->ConnectionLabel->text(), QStringLiteral("Connected to COM3, no chip selected"));
    window->ChipItemClick(*FindChipByName("ATmega8"));
    EXPECT_EQ(window->ConnectionLabel->text(), QStringLiteral("Connected to COM3, chip ATmega8"));
    const qsizetype before = window->Log().Lines().size();
    window->Button4Click();  // the recording gateway answers nothing after the handshake
    const QStringList lines = window->Log().Lines().mid(before);
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.filter(QStringLiteral("stopped answering")).size(), 1);
    EXPECT_EQ(lines.last(), QStringLiteral("The gateway stopped answering and its port COM3 was closed: check the cable "
                                           "and the gateway's power, then press Connect"));
    ExpectLayout(false);
    EXPECT_EQ(window->ConnectionLabel->text(), QStringLiteral("Link to COM3 lost: press Connect, chip ATmega8"));
    EXPECT_TRUE(window->ResultLabel->text().startsWith(QStringLiteral("Failed: read the program, at: Error")));
    EXPECT_TRUE(window->ResultLabel->styleSheet().contains(QStringLiteral("#c00000")));
    window->Button1Click();
    ExpectLayout(true);
    EXPECT_EQ(window->ConnectionLabel->text(), QStringLiteral("Connected to COM3, chip ATmega8"));
}

TEST(PortItems, PresentPortsComeBeforeTheComNames)
{
    const QStringList present = {QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/ttyACM0")};
    const QStringList items = OrderedPortItems(present);
    ASSERT_EQ(items.size(), 12);
    EXPECT_EQ(items.mid(0, 2), present);
    EXPECT_EQ(items[2], QStringLiteral("COM1"));
    EXPECT_EQ(items.back(), QStringLiteral("COM10"));
}

TEST_F(Form1Test, TypedCharactersNeverReachTheIdField)
{
    window->show();
    // Nothing is inserted: the ID bytes field is edited in place by its key handler. The caret
    // starts at the end, so "1" only moves it to the start; the rest overwrite digits, skip the
    // separators or enter nothing ("z"), and the field keeps its eight characters.
    QTest::keyClicks(window->Edit2, QStringLiteral("1E9307zz"));
    EXPECT_EQ(window->Edit2->text(), QStringLiteral("E9 07 FF"));
}

TEST_F(Form1Test, AboutBoxIsOneNonModalWindowReused)
{
    window->show();
    window->About1Click();
    AboutBox* first = window->AboutBox1;
    EXPECT_TRUE(first->isVisible());
    EXPECT_FALSE(first->isModal());
    EXPECT_EQ(first->windowTitle(), QStringLiteral("About Velmora"));
    // The version line is the project version of the build, not a copy of it.
    QStringList texts;
    for (const QLabel* label : first->findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains(QStringLiteral("Version " VELMORA_VERSION))) << texts.join(u'|').toStdString();
    first->hide();
    window->About1Click();
    EXPECT_EQ(window->AboutBox1, first);
    EXPECT_TRUE(first->isVisible());
}

TEST_F(Form1Test, SaveLogWritesRtfThenTheLine)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("session.hex"));
    window->Log().WriteLog(LogTrying, QStringLiteral(" read the program"));
    QCoreApplication::processEvents();

    window->SetSaveFileChooser([](QFileDialog&) { return QString(); });  // cancelled
    window->SaveLogas1Click();
    EXPECT_EQ(LogView().size(), 1);

    window->SetSaveFileChooser([&](QFileDialog&) { return path; });
    window->SaveLogas1Click();
    EXPECT_EQ(LogView().last(), QStringLiteral("Log saved to file: ") + path);
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray rtf = saved.readAll();
    EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
    EXPECT_TRUE(rtf.contains("Trying to read the program\\par"));
    EXPECT_FALSE(rtf.contains("Log saved to file"));  // written after the save

    QString reported;
    window->SetErrorReporter([&](const QString& text) { reported = text; });
    window->SetSaveFileChooser([&](QFileDialog&) { return dir.path(); });  // a folder cannot be written
    window->SaveLogas1Click();
    EXPECT_FALSE(reported.isEmpty());
    EXPECT_EQ(LogView().last(), QStringLiteral("Log saved to file: ") + path);
}

TEST_F(Form1Test, ProgressWindowAppearsOnlyForSlowCommandsAndIsDestroyedAfter)
{
    window->show();
    int shown = 0;
    QObject::connect(&window->Runner(), &CommandRunner::ProgressWindowShown, [&] { ++shown; });

    window->Runner().Run([](const CommandRunner::Progress& progress) { progress(100); });
    EXPECT_EQ(shown, 0);

    // A slow command: the bar shows, log lines arrive while it runs, input is refused.
    QStringList seenWhileRunning;
    int barValue = -1;
    QTimer::singleShot(CommandRunner::ProgressDelayMs + 150, [&] {
        seenWhileRunning = LogView();
        if (window->Runner().CurrentBar())
            barValue = window->Runner().CurrentBar()->ProgressBar1->value();
        QTest::mouseClick(window->Button1, Qt::LeftButton);  // must not start a second command
    });
    window->Runner().Run([this](const CommandRunner::Progress& progress) {
        window->Log().WriteLog(LogTrying, QStringLiteral(" read the program"));
        progress(40);
        QThread::msleep(CommandRunner::ProgressDelayMs + 400);
        window->Log().WriteLog(LogFinished);
    });
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(barValue, 40);
    EXPECT_EQ(seenWhileRunning, QStringList{QStringLiteral("Trying to read the program")});
    EXPECT_EQ(window->Runner().CurrentBar(), nullptr);
    EXPECT_EQ(LogView().size(), 2);
    EXPECT_FALSE(window->IsConnected());

    // A slow command that reports no steps (a handshake) shows an endless bar, not a stuck 0 %.
    int busyMaximum = -1;
    QTimer::singleShot(CommandRunner::ProgressDelayMs + 100, [&] {
        if (window->Runner().CurrentBar())
            busyMaximum = window->Runner().CurrentBar()->ProgressBar1->maximum();
    });
    window->Runner().Run([](const CommandRunner::Progress&) { QThread::msleep(CommandRunner::ProgressDelayMs + 300); });
    EXPECT_EQ(busyMaximum, 0);
}

}  // namespace
