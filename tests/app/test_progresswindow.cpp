// The progress window: its texts, Cancel and Esc, its place over the main window, and a long
// command on the virtual gateway stopped from it.
#include "app/commandrunner.h"
#include "app/mainwindow.h"
#include "session/portlinks.h"
#include "app/progresswindow.h"
#include "ops/memorycommands.h"
#include "support/qtapp.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>

using namespace velmora;

namespace {

TEST(ProgressStatusText, PercentageAndTheTimeLeftOnceItCanBeGuessed)
{
    EXPECT_EQ(ProgressStatusText(0, 5000), QStringLiteral("0%"));
    EXPECT_EQ(ProgressStatusText(40, 500), QStringLiteral("40%"));  // too early for a guess
    EXPECT_EQ(ProgressStatusText(25, 30000), QStringLiteral("25%, about 1:30 left"));
    EXPECT_EQ(ProgressStatusText(50, 3000), QStringLiteral("50%, about 0:03 left"));
    EXPECT_EQ(ProgressStatusText(1, 2710), QStringLiteral("1%, about 4:29 left"));  // the 4.5-minute read
    EXPECT_EQ(ProgressStatusText(100, 9000), QStringLiteral("100%"));
    EXPECT_EQ(ProgressStatusText(140, 9000), QStringLiteral("100%"));
}

TEST(ProgressWindow, CancelAndEscAskOnceAndTheWindowStays)
{
    velmora::testing::EnsureApplication();
    QWidget owner;
    owner.resize(600, 400);
    owner.show();
    for (const bool esc : {false, true}) {
        LBar bar(&owner);
        bar.SetCommand(QStringLiteral("Read Program"));
        bar.show();
        QSignalSpy spy(&bar, &LBar::CancelRequested);
        if (esc)
            QTest::keyClick(&bar, Qt::Key_Escape);
        else
            QTest::mouseClick(bar.CancelButton, Qt::LeftButton);
        QTest::keyClick(&bar, Qt::Key_Escape);
        EXPECT_EQ(spy.count(), 1);
        EXPECT_TRUE(bar.isVisible()) << "closed when the command has stopped, not before";
        EXPECT_FALSE(bar.CancelButton->isEnabled());
        EXPECT_EQ(bar.StatusLabel->text(), QStringLiteral("Cancelling..."));
        EXPECT_EQ(bar.CommandLabel->text(), QStringLiteral("Read Program"));
    }
}

TEST(ProgressWindow, KeepsItsPlaceOverTheMainWindow)
{
    velmora::testing::EnsureApplication();
    QWidget owner;
    owner.setGeometry(100, 100, 600, 400);
    owner.show();
    LBar bar(&owner);
    bar.show();
    const QPoint offset = bar.pos() - owner.frameGeometry().topLeft();
    owner.move(300, 250);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar.pos() - owner.frameGeometry().topLeft(), offset);
    EXPECT_TRUE(owner.frameGeometry().contains(bar.geometry().center()));
}

TEST(ProgressWindow, CancelStopsALongWriteOnTheVirtualGateway)
{
    velmora::testing::EnsureApplication();
    Form1 window;
    window.SetPortLinkFactory(VirtualOrSerialLinkFactory());
    window.SetQuestionAsker([](const QString&) { return true; });
    window.TrackBar1->setValue(0);
    window.ComboBox1->setCurrentText(QStringLiteral("virtual:ATmega2560"));
    window.Button1Click();
    ASSERT_TRUE(window.IsConnected());
    window.ChipItemClick(*FindChipByName("ATmega2560"));

    // Cancel as soon as the window shows; the write, a thousand pages each with the chip's own
    // programming time, would take seconds.
    QString command;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (LBar* bar = window.Runner().CurrentBar(); bar && bar->isVisible() && command.isEmpty()) {
            command = bar->CommandLabel->text();
            QTest::mouseClick(bar->CancelButton, Qt::LeftButton);
        }
    });
    poll.start(10);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(window.Button5, Qt::LeftButton);
    poll.stop();
    EXPECT_EQ(command, QStringLiteral("Write Program"));
    QStringList lines = window.RichEdit5->toPlainText().split(QLatin1Char('\n'));
    lines.removeAll(QString());
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.at(lines.size() - 3), CancelledText);
    EXPECT_EQ(lines.at(lines.size() - 2), PartlyWrittenText);
    EXPECT_LT(clock.elapsed(), 3000) << "stopped, not run to its end";
    EXPECT_TRUE(lines.back().startsWith(QStringLiteral("End time")));
    EXPECT_TRUE(window.IsConnected()) << "the gateway stays connected";
    EXPECT_EQ(window.Runner().CurrentBar(), nullptr);
}

}  // namespace
