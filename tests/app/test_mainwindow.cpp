// The main window as a user meets it: enabling, connection states, log, saving the log, the
// progress window, the About box. Runs headless (offscreen platform).
#include "app/aboutbox.h"
#include "app/commandrunner.h"
#include "app/mainwindow.h"
#include "session/portlinks.h"
#include "support/qtapp.h"
#include "support/recordinglink.h"

#include <gtest/gtest.h>

#include <QAction>
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
    for (int n = 1; n <= 10; ++n)
        EXPECT_EQ(window->ComboBox1->itemText(n - 1), QStringLiteral("COM%1").arg(n));
    EXPECT_EQ(window->TrackBar1->value(), 1);
    EXPECT_EQ(window->DelaysValue(), 1);
    EXPECT_TRUE(window->RichEdit5->toPlainText().isEmpty());
    EXPECT_EQ(window->LockFuses1->text(), QStringLiteral("Lock && Fuses..."));
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
