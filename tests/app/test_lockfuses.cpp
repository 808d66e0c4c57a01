// The Lock & Fuses dialog as the user meets it, on a simulated chip: what it shows for a chip,
// Read, Write with its questions answered both ways, the read-back, Restore and OK; and the
// dialog opened from the main window's menu, its Read running on the worker thread.
#include "app/fusefieldspanel.h"
#include "app/lockfusesform.h"
#include "app/mainwindow.h"
#include "chips/selection.h"
#include "fuses/rescue.h"
#include "log/operationlog.h"
#include "sim/simlink.h"
#include "support/qtapp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTest>
#include <QThread>
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

    // A clock bit that keeps an internal oscillator: written without a question.
    form->CheckBox[1]->setChecked(!form->CheckBox[1]->isChecked());  // CKSEL1: 4 MHz
    form->Button2Click();
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_EQ(Chip().Fuses()[0], 0xE3);

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

TEST_F(LockFusesDialog, FieldsShowTheBitsInWordsAndStayInStep)
{
    Select("ATmega8");
    auto form = Open();
    form->show();
    ASSERT_TRUE(form->Fields->isVisible());
    QComboBox* clock = form->Fields->Combo("CKSEL_SUT");
    QComboBox* boot = form->Fields->Combo("BOOTSZ");
    QCheckBox* spien = form->Fields->Check("SPIEN");
    ASSERT_TRUE(clock && boot && spien);
    EXPECT_EQ(clock->currentText(), QStringLiteral("Int. RC Osc. 1 MHz; start-up 6 CK + 64 ms"));
    EXPECT_EQ(boot->currentText(), QStringLiteral("Boot flash section 1024 words, starts at word 0x0C00"));
    EXPECT_TRUE(spien->isChecked());
    EXPECT_EQ(spien->text(), QStringLiteral("Serial programming enabled"));

    // A bit box moves its field: CKSEL2 unprogrammed makes CKSEL 0101, an external RC oscillator.
    form->CheckBox[2]->click();
    EXPECT_FALSE(form->CheckBox[2]->isChecked());
    EXPECT_EQ(clock->currentText(), QStringLiteral("Ext. RC Osc. up to 0.9 MHz; start-up 18 CK + 64 ms  [needs this clock on the board]"));

    // A field moves its bits: 8 MHz with the 4 ms start-up is CKSEL 0100, SUT 01.
    const FuseField* field = FindField(FieldsOf(*FindChipByName("ATmega8")), "CKSEL_SUT");
    clock->setCurrentIndex(field->Find("int-rc-8mhz-4ms")->code);
    emit clock->activated(clock->currentIndex());
    EXPECT_EQ(CheckedNames(*form), (QStringList{"CKSEL0", "CKSEL1", "CKSEL3", "SUT1", "BOOTSZ0", "BOOTSZ1", "SPIEN"}));
    form->Fields->Check("SPIEN")->click();
    EXPECT_FALSE(form->CheckBox[13]->isChecked());
    QTest::mouseClick(form->OKButton, Qt::LeftButton);
    EXPECT_EQ(state.CurrentChip.FuseDefaults[0], 0xD4);
    EXPECT_EQ(state.CurrentChip.FuseDefaults[1], 0xF9);

    // A reserved value is shown when the bits hold it, but never offered.
    auto* model = qobject_cast<QStandardItemModel*>(clock->model());
    ASSERT_NE(model, nullptr);
    EXPECT_FALSE(model->item(0x31)->isEnabled());
    EXPECT_TRUE(model->item(0x24)->isEnabled());
}

TEST_F(LockFusesDialog, AClockFromTheBoardIsAskedAboutAtWrite)
{
    Select("ATmega8");
    auto form = Open();
    form->Button1Click();
    const FuseField* field = FindField(FieldsOf(*FindChipByName("ATmega8")), "CKSEL_SUT");
    QComboBox* clock = form->Fields->Combo("CKSEL_SUT");
    clock->setCurrentIndex(field->Find("crystal-3-8mhz-16kck-64ms")->code);
    emit clock->activated(clock->currentIndex());

    answer = false;
    form->Button2Click();
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains(QStringLiteral("CKSEL_SUT=crystal-3-8mhz-16kck-64ms: Ext. Crystal/Resonator 3.0-8.0 MHz")))
        << questions[0].toStdString();
    EXPECT_EQ(Chip().Fuses()[0], 0xE1);

    answer = true;
    form->Button2Click();
    EXPECT_EQ(Chip().Fuses()[0], 0xFF);
    // Once the chip holds it, writing it again asks nothing more.
    form->Button2Click();
    EXPECT_EQ(questions.size(), 2);
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

// Restore factory fuses, on this thread: an ATmega8 with an external clock, no reset pin and
// lock bits comes back to its factory values once the erase is approved; refused, nothing
// changes and the boxes show what was read. A chip programmed over SPI cannot be reached.
TEST_F(LockFusesDialog, RestoreFactoryFusesAsksBeforeTheEraseAndShowsTheResult)
{
    for (const bool erase : {false, true}) {
        Select("ATmega8");
        Chip().Fuses()[0] = 0xE0;
        Chip().Fuses()[1] = 0x59;
        Chip().Lock() = 0xFC;
        Chip().Flash()[0] = 0x12;
        questions.clear();
        answer = erase;
        auto form = Open();
        ASSERT_TRUE(form->Button5->isEnabled());
        EXPECT_EQ(form->Button5->text(), QStringLiteral("Restore factory fuses"));
        const qsizetype from = log.Lines().size();
        form->Button5Click();
        EXPECT_EQ(questions, QStringList{RescueEraseQuestion});
        const QStringList lines = LogSince(from);
        EXPECT_FALSE(lines.filter(QStringLiteral("Wrong: ")).isEmpty()) << lines.join('\n').toStdString();
        const std::array<QString, 3> shown = {form->ValueLabel[0]->text(), form->ValueLabel[1]->text(),
                                              form->ValueLabel[2]->text()};
        if (erase) {
            EXPECT_EQ(Chip().Fuses()[0], 0xE1);
            EXPECT_EQ(Chip().Fuses()[1], 0xD9);
            EXPECT_EQ(Chip().Lock(), 0xFF);
            EXPECT_EQ(Chip().Flash()[0], 0xFF) << "erased";
            EXPECT_EQ(shown, (std::array<QString, 3>{"0xE1", "0xD9", "0xFF"}));
            EXPECT_EQ(lines.filter(QStringLiteral("Restored the factory values")).size(), 1) << lines.join(QLatin1Char('\n')).toStdString();
        } else {
            EXPECT_EQ(Chip().Fuses()[0], 0xE0);
            EXPECT_EQ(Chip().Lock(), 0xFC);
            EXPECT_EQ(Chip().Flash()[0], 0x12);
            EXPECT_EQ(shown, (std::array<QString, 3>{"0xE0", "0x59", "0xFC"})) << "what the chip holds";
        }
        EXPECT_FALSE(form->BoxesChanged());
    }

    Select("ATtiny13");
    auto serial = Open();
    EXPECT_FALSE(serial->Button5->isHidden()) << "shown, with the reason it cannot be used";
    EXPECT_FALSE(serial->Button5->isEnabled());
    EXPECT_TRUE(serial->Button5->toolTip().contains(QStringLiteral("SPI"))) << serial->Button5->toolTip().toStdString();
}

TEST_F(LockFusesDialog, OkSavesTheBoxes)
{
    Select("ATmega8");
    state.CurrentChip.FuseDefaults = {0xE1, 0xD9, 0x3F, 0x12, 0x34, 0x56, 0x78, 0x9A};
    auto form = Open();
    form->show();
    form->CheckBox[16]->setChecked(true);
    QTest::mouseClick(form->OKButton, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(state.CurrentChip.FuseDefaults, (std::array<std::uint8_t, 8>{0xE1, 0xD9, 0xFE, 0x12, 0x34, 0x56, 0x78, 0x9A}));
    EXPECT_EQ(runs, 0);
}

// Escape and the window's close button are Cancel: unchanged boxes close at once, changed
// ones only after a Yes, and a cancelled dialog leaves FuseDefaults as they were.
TEST_F(LockFusesDialog, EscapeAndCloseCancelAskingOnlyAboutChangedBoxes)
{
    Select("ATmega8");
    const auto before = state.CurrentChip.FuseDefaults;
    const std::function<void(TLockFusesForm&)> ways[] = {
        [](TLockFusesForm& f) { QTest::keyClick(&f, Qt::Key_Escape); },
        [](TLockFusesForm& f) { f.close(); },
    };
    for (const auto& cancel : ways) {
        auto unchanged = Open();
        unchanged->show();
        cancel(*unchanged);
        EXPECT_FALSE(unchanged->isVisible());
        EXPECT_EQ(unchanged->result(), QDialog::Rejected);
        EXPECT_TRUE(questions.isEmpty());

        auto changed = Open();
        changed->show();
        changed->CheckBox[16]->setChecked(true);
        EXPECT_TRUE(changed->BoxesChanged());
        answer = false;
        cancel(*changed);
        EXPECT_TRUE(changed->isVisible());
        ASSERT_EQ(questions.size(), 1);
        EXPECT_EQ(questions.takeFirst(), QStringLiteral("Close the window without saving the changed boxes?"));
        answer = true;
        cancel(*changed);
        EXPECT_FALSE(changed->isVisible());
        EXPECT_EQ(changed->result(), QDialog::Rejected);
        questions.clear();
        EXPECT_EQ(state.CurrentChip.FuseDefaults, before);
    }
    EXPECT_EQ(runs, 0);
}

// Each group shows the byte its boxes make, as it would be written, while the user ticks.
TEST_F(LockFusesDialog, GroupsShowTheirByteInHexAndALegendSaysWhatATickMeans)
{
    Select("ATmega8");
    auto form = Open();
    form->show();
    EXPECT_EQ(form->ValueLabel[0]->text(), QStringLiteral("0xE1"));
    EXPECT_EQ(form->ValueLabel[1]->text(), QStringLiteral("0xD9"));
    EXPECT_EQ(form->ValueLabel[2]->text(), QStringLiteral("0xFF"));
    EXPECT_FALSE(form->ValueLabel[3]->isVisible());
    form->CheckBox[16]->setChecked(true);  // LB1
    form->CheckBox[17]->setChecked(true);  // LB2
    EXPECT_EQ(form->ValueLabel[2]->text(), QStringLiteral("0xFC"));
    form->CheckBox[0]->setChecked(false);  // CKSEL0 was already 1: unchanged
    form->CheckBox[1]->setChecked(false);
    EXPECT_EQ(form->ValueLabel[0]->text(), QStringLiteral("0xE3"));
    EXPECT_TRUE(form->LegendLabel->isVisible());
    EXPECT_TRUE(form->LegendLabel->text().startsWith(QStringLiteral("Ticked box = programmed bit = 0")));

    // The bits without a box go out as 1, and the label says so: the ATtiny15's byte.
    Select("ATtiny15");
    state.CurrentChip.FuseDefaults[0] = 0x50;
    auto tiny15 = Open();
    tiny15->show();
    EXPECT_EQ(tiny15->ValueLabel[0]->text(), QStringLiteral("0x5C"));
}

// Every layout looked at as laid out: each group shows its byte under its caption, then its
// named bits one under the other with no holes, every name whole and inside its group; the
// tallest group has no empty room under its bits, and the groups stand side by side.
TEST_F(LockFusesDialog, EveryLayoutIsTidy)
{
    for (const FuseLayout& layout : FuseLayouts()) {
        SCOPED_TRACE("layout " + std::to_string(layout.number) + " " + std::string(FirstChipOf(layout).name));
        Select(std::string(FirstChipOf(layout).name).c_str());
        auto form = Open();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        int tallest = 0, roomUnderTallest = 0;
        for (int g = 0; g < layout.groupCount; ++g) {
            QGroupBox* group = form->GroupBox[std::size_t(g)];
            ASSERT_TRUE(group->isVisible());
            QLabel* value = form->ValueLabel[std::size_t(g)];
            EXPECT_TRUE(value->isVisible());
            int top = INT_MAX, bottom = 0, pitch = 0, shown = 0;
            for (int b = 0; b < FuseBitsPerGroup; ++b) {
                QCheckBox* box = form->CheckBox[std::size_t(g * FuseBitsPerGroup + b)];
                if (!box->isVisible())
                    continue;
                ++shown;
                EXPECT_GE(box->width(), box->sizeHint().width()) << box->text().toStdString();
                EXPECT_TRUE(group->rect().contains(box->geometry())) << box->text().toStdString();
                EXPECT_GT(box->y(), value->geometry().bottom()) << box->text().toStdString();
                top = std::min(top, box->y());
                bottom = std::max(bottom, box->geometry().bottom());
                pitch = box->height() + 2;
            }
            ASSERT_GT(shown, 0);
            EXPECT_LE(bottom - top + 1, shown * pitch) << "holes between the bits of group " << g;
            if (shown > tallest) {
                tallest = shown;
                roomUnderTallest = group->height() - bottom;
            }
        }
        EXPECT_LE(roomUnderTallest, 20) << "room under the tallest group";
        for (int g = 1; g < layout.groupCount; ++g)
            EXPECT_FALSE(form->GroupBox[std::size_t(g - 1)]->geometry().intersects(form->GroupBox[std::size_t(g)]->geometry()));
    }
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

// The same from the main window's menu: the rescue runs on the worker thread and its erase
// question comes to the window's thread.
TEST(LockFusesMenu, RestoreFactoryFusesThroughTheButton)
{
    velmora::testing::EnsureApplication();
    Form1 window;
    sim::SimLink* socket = nullptr;
    // Its clock runs on the link's sleeps: the erase takes its time.
    window.SetPortLinkFactory([&socket](const QString&) {
        auto link = std::make_unique<sim::SimLink>(*sim::FindSimChip("ATmega8"), /*virtualTime=*/true);
        socket = link.get();
        PortLink made;
        made.sleeper = link->Sleeper();
        made.link = std::move(link);
        made.devicePath = QStringLiteral("virtual:ATmega8");
        return made;
    });
    QStringList questions;
    Qt::HANDLE asker = nullptr;
    window.SetQuestionAsker([&](const QString& text) {
        questions << text;
        asker = QThread::currentThreadId();
        return true;
    });
    window.TrackBar1->setValue(0);
    window.Button1Click();
    ASSERT_TRUE(window.IsConnected());
    window.ChipItemClick(*FindChipByName("ATmega8"));
    sim::SimChip& chip = socket->Gateway().Chip();
    chip.Fuses()[0] = 0xE0;
    chip.Fuses()[1] = 0x59;
    chip.Lock() = 0xFC;

    QStringList shown;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<TLockFusesForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        QTest::mouseClick(form->Button5, Qt::LeftButton);
        for (int g = 0; g < 3; ++g)
            shown << form->ValueLabel[std::size_t(g)]->text();
        form->OKButtonClick();
    });
    window.LockFuses1->trigger();
    EXPECT_EQ(questions, QStringList{RescueEraseQuestion});
    EXPECT_EQ(asker, QThread::currentThreadId()) << "asked on the window's thread";
    EXPECT_EQ(shown, (QStringList{"0xE1", "0xD9", "0xFF"}));
    EXPECT_EQ(chip.Fuses()[0], 0xE1);
    EXPECT_EQ(chip.Fuses()[1], 0xD9);
    EXPECT_EQ(chip.Lock(), 0xFF);
    const QStringList& lines = window.Log().Lines();
    EXPECT_TRUE(lines.contains(QStringLiteral("Trying to rescue the chip")));
    EXPECT_EQ(lines.filter(QStringLiteral("Restored the factory values")).size(), 1) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(window.Work().CurrentChip().FusesReadFromChip, window.Work().CurrentChip().FuseDefaults);
}

}  // namespace
