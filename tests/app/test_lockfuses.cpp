// The Lock & Fuses dialog as the user meets it, on a simulated chip: what it shows for a chip,
// Read, Write with its questions answered both ways, the read-back, Restore and OK; and the
// dialog opened from the main window's menu, its Read running on the worker thread.
#include "app/lockfusesform.h"
#include "app/mainwindow.h"
#include "chips/selection.h"
#include "log/operationlog.h"
#include "sim/simlink.h"
#include "support/qtapp.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace velmora;

namespace {

class LockFusesDialog : public ::testing::Test {
protected:
    void SetUp() override { velmora::testing::EnsureApplication(); }

    // A simulated chip in the socket of a connected gateway.
    void Plug(const char* chip)
    {
        link = std::make_unique<sim::SimLink>(*sim::FindSimChip(chip), /*virtualTime=*/true);
        link->Open(QStringLiteral("virtual"));
    }
    // Selects chip by its menu item, with one of its kind in the socket.
    void Select(const char* chip)
    {
        Plug(chip);
        SelectMenuEntry(state, *FindChipByName(chip), log, {});
    }

    std::unique_ptr<TLockFusesForm> Open()
    {
        TLockFusesForm::Host host;
        host.chips = &state;
        // As the window does it, on this thread.
        host.runChipJob = [this](const ChipCommand& command) {
            ++runs;
            ChipJob job(state);
            const bool ok = command(ProgContext{*link, log, 0, link->Sleeper()}, job, {});
            job.ApplyTo(state);
            return ok;
        };
        host.ask = [this](const QString& text) {
            questions << text;
            return answer;
        };
        host.tell = [this](const QString& text) { told << text; };
        host.fileFuses = &fileFuses;
        return std::make_unique<TLockFusesForm>(host);
    }

    sim::SimChip& Chip() { return link->Gateway().Chip(); }
    QStringList CheckedNames(const TLockFusesForm& form) const
    {
        QStringList names;
        for (QCheckBox* box : form.CheckBox)
            if (box->isChecked())
                names << box->text();
        return names;
    }
    QStringList LogSince(qsizetype from) const { return log.Lines().mid(from); }

    ChipState state;
    OperationLog log;
    std::unique_ptr<sim::SimLink> link;
    int runs = 0;
    bool answer = false;
    QStringList questions;
    QStringList told;
    FileFuseBytes fileFuses;  // none unless a test loads some
};

TEST_F(LockFusesDialog, NoChipShowsOnlyTheThreeButtons)
{
    Plug("ATmega8");
    auto form = Open();
    form->show();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Lock & Fuses"));
    for (QGroupBox* g : form->GroupBox)
        EXPECT_FALSE(g->isVisible());
    for (QCheckBox* c : form->CheckBox)
        EXPECT_FALSE(c->isVisible());
    EXPECT_TRUE(form->OKButton->isVisible());
    EXPECT_TRUE(form->Button1->isVisible());
    EXPECT_TRUE(form->Button2->isVisible());
    EXPECT_FALSE(form->Button3->isVisible());
    EXPECT_EQ(form->OKButton->text(), QStringLiteral("Save changes && Close the window"));
    EXPECT_EQ(form->Button1->text(), QStringLiteral("Read Lock && Fuses"));
    EXPECT_EQ(form->Button2->text(), QStringLiteral("Write Lock && Fuses"));

    form->Button1Click();
    form->Button2Click();
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_EQ(log.Lines(), (QStringList{"No chip selected", "No chip selected"}));
}

TEST_F(LockFusesDialog, GeneratedFromTheChipsLayout)
{
    Select("ATmega8");
    auto form = Open();
    form->show();
    EXPECT_EQ(form->GroupBox[0]->title(), QStringLiteral("Low Fuses"));
    EXPECT_EQ(form->GroupBox[2]->title(), QStringLiteral("Lock bits"));
    EXPECT_TRUE(form->GroupBox[2]->isVisible());
    EXPECT_FALSE(form->GroupBox[3]->isVisible());
    EXPECT_EQ(form->CheckBox[16]->objectName(), QStringLiteral("CheckBox17"));
    EXPECT_EQ(form->CheckBox[16]->text(), QStringLiteral("LB1"));
    EXPECT_FALSE(form->CheckBox[22]->isVisible());  // lock bit 6 has no box
    EXPECT_EQ(form->CheckBox[15]->text(), QStringLiteral("RSTDISBL"));
    EXPECT_TRUE(form->CheckBox[15]->toolTip().startsWith(QStringLiteral("Programmed: the reset pin is an I/O pin")));
    // Bit 7 above bit 0.
    EXPECT_LT(form->CheckBox[7]->y(), form->CheckBox[0]->y());
    // The factory values E1 D9 FF (CheckBox1 first).
    EXPECT_EQ(CheckedNames(*form), (QStringList{"CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "BOOTSZ0", "BOOTSZ1", "SPIEN"}));
    EXPECT_TRUE(form->Button3->isVisible());
    EXPECT_FALSE(form->Button3->isEnabled());  // nothing read yet

    Select("ATmega169");
    auto mega169 = Open();
    mega169->show();
    EXPECT_TRUE(mega169->GroupBox[3]->isVisible());
    EXPECT_EQ(mega169->CheckBox[16]->text(), QStringLiteral("RESERVED"));
    EXPECT_TRUE(mega169->CheckBox[16]->isVisible());
    EXPECT_FALSE(mega169->CheckBox[16]->isEnabled());
}

TEST_F(LockFusesDialog, ReadShowsTheChipAndOffersItsValuesBack)
{
    Select("ATmega8");
    Chip().Fuses() = {0xE4, 0x99, 0xFF};
    Chip().Lock() = 0xFC;
    auto form = Open();
    form->Button1Click();
    EXPECT_EQ(state.CurrentChip.FuseDefaults[0], 0xE4);
    EXPECT_EQ(state.CurrentChip.FuseDefaults[2], 0xFC);
    EXPECT_TRUE(form->CheckBox[16]->isChecked());   // LB1
    EXPECT_TRUE(form->CheckBox[17]->isChecked());   // LB2
    EXPECT_FALSE(form->CheckBox[18]->isChecked());  // BLB01
    EXPECT_TRUE(form->Button3->isEnabled());

    // Edits, then Restore: the boxes show the chip's values again; nothing is saved yet.
    for (QCheckBox* c : form->CheckBox)
        c->setChecked(false);
    QTest::mouseClick(form->Button3, Qt::LeftButton);
    EXPECT_TRUE(form->CheckBox[16]->isChecked());
    EXPECT_TRUE(form->CheckBox[13]->isChecked());  // SPIEN
}

TEST_F(LockFusesDialog, FailedReadKeepsTheBoxes)
{
    Select("ATmega8");
    auto form = Open();
    const QStringList before = CheckedNames(*form);
    link->CloseGateway();
    const qsizetype from = log.Lines().size();
    form->Button1Click();
    EXPECT_EQ(CheckedNames(*form), before);
    EXPECT_EQ(LogSince(from).back(), QStringLiteral("       Finished with fail."));
    EXPECT_FALSE(state.CurrentChip.FusesReadFromChip);
}

TEST_F(LockFusesDialog, WritingValuesNeverReadFromTheChipIsAskedFirst)
{
    Select("ATmega8");
    Chip().Fuses() = {0xE4, 0x99, 0xFF};
    auto form = Open();  // the catalogue's factory values, not the chip's
    const qsizetype from = log.Lines().size();

    answer = false;
    form->Button2Click();
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains(QStringLiteral("not read from this chip")));
    EXPECT_EQ(runs, 0);
    EXPECT_TRUE(LogSince(from).isEmpty());
    EXPECT_EQ(Chip().Fuses()[0], 0xE4);
    EXPECT_EQ(state.CurrentChip.FuseDefaults[0], 0xE1);  // the boxes were saved all the same

    answer = true;
    form->Button2Click();
    EXPECT_EQ(questions.size(), 2);
    EXPECT_EQ(Chip().Fuses()[0], 0xE1);
    EXPECT_EQ(Chip().Fuses()[1], 0xD9);
    EXPECT_TRUE(state.CurrentChip.FusesReadFromChip);  // read back: the chip's values now
    EXPECT_TRUE(told.isEmpty());
}

TEST_F(LockFusesDialog, TheFilesValuesFillTheBoxesAndAreWrittenOnlyWithTheQuestions)
{
    Select("ATmega8");
    {
        auto form = Open();
        form->show();
        EXPECT_FALSE(form->Button4->isVisible());  // no file with fuse bytes loaded
    }
    fileFuses.fuse = {0xE4, 0x99, std::nullopt};
    fileFuses.lock = 0xFC;  // LB1 and LB2 programmed: the chip gets locked
    auto form = Open();
    form->show();
    ASSERT_TRUE(form->Button4->isVisible());
    const std::array<std::uint8_t, 8> before = state.CurrentChip.FuseDefaults;
    form->Button4Click();
    EXPECT_EQ(state.CurrentChip.FuseDefaults, before);  // shown, not taken yet
    EXPECT_TRUE(CheckedNames(*form).contains(QStringLiteral("LB1")));
    EXPECT_EQ(runs, 0);

    answer = false;
    form->Button2Click();
    EXPECT_FALSE(questions.isEmpty());
    EXPECT_EQ(runs, 0);
    EXPECT_NE(Chip().Fuses()[0], 0xE4);
    answer = true;
    form->Button2Click();
    EXPECT_EQ(Chip().Fuses()[0], 0xE4);
    EXPECT_EQ(Chip().Fuses()[1], 0x99);

    // A byte the chip does not have: said, and the boxes stay.
    fileFuses.fuse[2] = 0xF9;
    const QStringList checked = CheckedNames(*form);
    form->Button4Click();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(QStringLiteral("ext byte")));
    EXPECT_EQ(CheckedNames(*form), checked);
}

TEST_F(LockFusesDialog, RiskyBitsAreAskedAboutOnceHarmlessOnesNot)
{
    Select("ATmega8");
    auto form = Open();
    form->Button1Click();

    // A clock bit: written without a question.
    form->CheckBox[0]->setChecked(!form->CheckBox[0]->isChecked());  // CKSEL0
    form->Button2Click();
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_EQ(Chip().Fuses()[0], 0xE0);

    // RSTDISBL: asked, answered No, nothing sent.
    form->CheckBox[15]->setChecked(true);
    answer = false;
    const qsizetype from = log.Lines().size();
    form->Button2Click();
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains(QStringLiteral("RSTDISBL (High Fuses) programmed: the reset pin stops being a reset")))
        << questions[0].toStdString();
    EXPECT_FALSE(questions[0].contains(QStringLiteral("not read from this chip")));
    EXPECT_TRUE(LogSince(from).isEmpty());
    EXPECT_EQ(Chip().Fuses()[1], 0xD9);

    // Answered Yes: written and read back.
    answer = true;
    form->Button2Click();
    EXPECT_EQ(questions.size(), 2);
    EXPECT_EQ(Chip().Fuses()[1], 0x59);
    EXPECT_TRUE(form->CheckBox[15]->isChecked());
}

TEST_F(LockFusesDialog, WriteTheChipRefusesShowsWhatItHolds)
{
    Select("ATmega8");
    Chip().Lock() = 0xFC;  // locked: only a chip erase clears the lock bits
    auto form = Open();
    form->Button1Click();
    form->CheckBox[16]->setChecked(false);
    form->CheckBox[17]->setChecked(false);
    const qsizetype from = log.Lines().size();
    form->Button2Click();
    EXPECT_TRUE(questions.isEmpty());
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(QStringLiteral("Lock bits written FF, the chip holds FC"))) << told[0].toStdString();
    EXPECT_TRUE(LogSince(from).contains(QStringLiteral("Lock and fuse check: Lock bits written FF, the chip holds FC")));
    EXPECT_EQ(LogSince(from).back(), QStringLiteral("       Finished with fail."));
    EXPECT_TRUE(form->CheckBox[16]->isChecked());
    EXPECT_EQ(state.CurrentChip.FuseDefaults[2], 0xFC);
}

TEST_F(LockFusesDialog, OkSavesTheBoxesAndOnlyOkCloses)
{
    Select("ATmega8");
    state.CurrentChip.FuseDefaults = {0xE1, 0xD9, 0x3F, 0x12, 0x34, 0x56, 0x78, 0x9A};
    auto form = Open();
    form->show();
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_TRUE(form->isVisible());
    form->CheckBox[16]->setChecked(true);
    QTest::mouseClick(form->OKButton, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(state.CurrentChip.FuseDefaults, (std::array<std::uint8_t, 8>{0xE1, 0xD9, 0xFE, 0x12, 0x34, 0x56, 0x78, 0x9A}));
    EXPECT_EQ(runs, 0);
}

TEST(LockFusesMenu, OpensFromTheEditMenuAndReadsOnTheWorkerThread)
{
    velmora::testing::EnsureApplication();
    Form1 window;
    window.SetLinkFactory([](const QString&, QString* devicePath) -> std::unique_ptr<GatewayLink> {
        *devicePath = QStringLiteral("virtual:ATmega8");
        return std::make_unique<sim::SimLink>(*sim::FindSimChip("ATmega8"), /*virtualTime=*/true);
    });
    window.Button1Click();
    ASSERT_TRUE(window.LockFuses1->isEnabled());
    window.ChipItemClick(*FindChipByName("ATmega8"));

    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<TLockFusesForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        seen = true;
        EXPECT_EQ(form->GroupBox[1]->title(), QStringLiteral("High Fuses"));
        form->Button1Click();
        form->OKButtonClick();
    });
    window.LockFuses1->trigger();
    EXPECT_TRUE(seen);
    EXPECT_TRUE(window.Log().Lines().contains(QStringLiteral("Trying to read lock-bits")));
    EXPECT_TRUE(window.Work().CurrentChip().FusesReadFromChip);
}

}  // namespace
