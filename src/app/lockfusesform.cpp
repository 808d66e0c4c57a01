#include "app/lockfusesform.h"

#include "app/fusefieldspanel.h"
#include "log/text.h"

#include "chips/chip.h"
#include "fuses/filefuses.h"
#include "fuses/fusecommands.h"
#include "fuses/rescue.h"
#include "session/session.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <optional>

namespace velmora {

TLockFusesForm::TLockFusesForm(Host host, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      host_(std::move(host))
{
    setObjectName(QStringLiteral("LockFusesForm"));
    setWindowTitle(QStringLiteral("Lock & Fuses"));
    if (!host_.tell)
        host_.tell = [this](const QString& text) { QMessageBox::warning(this, QStringLiteral("Warning"), text); };
    if (!host_.askFromJob)
        host_.askFromJob = host_.ask;

    auto* column = new QVBoxLayout(this);
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::StyledPanel);
    auto* groups = new QHBoxLayout(Panel1);
    groups->setAlignment(Qt::AlignTop);
    for (int g = 0; g < FuseGroupCount; ++g) {
        QGroupBox* box = GroupBox[std::size_t(g)] = new QGroupBox(Panel1);
        box->setObjectName(QStringLiteral("GroupBox%1").arg(g + 1));
        auto* bits = new QVBoxLayout(box);
        bits->setSpacing(2);
        // The byte under the group's caption, then its named bits, bit 7 at the top; a bit
        // without a name takes no room, so a group of two bits is two rows high.
        QLabel* value = ValueLabel[std::size_t(g)] = new QLabel(box);
        value->setObjectName(QStringLiteral("ValueLabel%1").arg(g + 1));
        value->setToolTip(QStringLiteral("The byte these boxes make, as it would be written"));
        QFont bold = value->font();
        bold.setBold(true);
        value->setFont(bold);
        bits->addWidget(value);
        for (int b = FuseBitsPerGroup - 1; b >= 0; --b) {
            const int index = FuseBoxes::Index(g, b);
            QCheckBox* check = CheckBox[std::size_t(index)] = new QCheckBox(box);
            check->setObjectName(QStringLiteral("CheckBox%1").arg(index + 1));
            bits->addWidget(check);
            connect(check, &QCheckBox::toggled, this, &TLockFusesForm::ShowValues);
        }
        bits->addStretch(1);
        groups->addWidget(box);
    }
    column->addWidget(Panel1);
    LegendLabel = new QLabel(QStringLiteral("Ticked box = programmed bit = 0; empty box = unprogrammed bit = 1."), this);
    LegendLabel->setObjectName(QStringLiteral("LegendLabel"));
    column->addWidget(LegendLabel);
    Fields = new FuseFieldsPanel(this);
    column->addWidget(Fields);

    auto* buttons = new QHBoxLayout;
    auto button = [this, buttons](const QString& name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    OKButton = button(QStringLiteral("OKButton"), QStringLiteral("Save changes && Close the window"));
    Button1 = button(QStringLiteral("Button1"), QStringLiteral("Read Lock && Fuses"));
    Button2 = button(QStringLiteral("Button2"), QStringLiteral("Write Lock && Fuses"));
    // Puts back what the chip gave in this run, after edits that went wrong.
    Button3 = button(QStringLiteral("Button3"), QStringLiteral("Restore read values"));
    // The bytes an avr-gcc program carries in its .fuse and .lock sections: shown in the boxes,
    // written only by Write with its usual questions.
    Button4 = button(QStringLiteral("Button4"), QStringLiteral("Values from the file"));
    // Reads the chip, says what is wrong, erases it where the lock bits demand (asking
    // first) and writes the catalogue's factory values.
    Button5 = button(QStringLiteral("Button5"), QStringLiteral("Restore factory fuses"));
    column->addLayout(buttons);
    column->setSizeConstraint(QLayout::SetFixedSize);  // sized to its contents

    connect(OKButton, &QPushButton::clicked, this, &TLockFusesForm::OKButtonClick);
    connect(Button1, &QPushButton::clicked, this, &TLockFusesForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TLockFusesForm::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TLockFusesForm::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TLockFusesForm::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &TLockFusesForm::Button5Click);

    layout_ = LayoutOf(host_.chips->CurrentChip.entry);
    if (const ChipEntry* entry = host_.chips->CurrentChip.entry)
        fields_ = FieldsOf(*entry);
    Fields->SetFields(fields_);
    // Fields and bits in step: a bit changes the fields it belongs to, a field its bits.
    for (QCheckBox* check : CheckBox)
        connect(check, &QCheckBox::clicked, this, [this] {
            TakeChecks();
            Fields->Show(Edited());
        });
    connect(Fields, &FuseFieldsPanel::ChoiceMade, this, &TLockFusesForm::FieldChosen);
    boxes_ = OpenedFuseBoxes(layout_, Fuses());
    ShowBoxes();
}

FuseSlots TLockFusesForm::Fuses()
{
    return FuseSlots(host_.chips->CurrentChip.FuseDefaults);
}

std::array<std::uint8_t, 8> TLockFusesForm::Edited() const
{
    std::array<std::uint8_t, 8> bytes = host_.chips->CurrentChip.FuseDefaults;
    BoxesToFuses(layout_, boxes_, FuseSlots(bytes));
    return bytes;
}

void TLockFusesForm::FieldChosen(const FuseField* field, std::uint8_t code)
{
    TakeChecks();
    std::array<std::uint8_t, 8> bytes = Edited();
    field->Encode(code, FuseSlots(bytes));
    ShowFuses(layout_, ConstFuseSlots(bytes), boxes_);
    ShowBoxes();
}

void TLockFusesForm::ShowBoxes()
{
    Panel1->setVisible(boxes_.panelVisible);
    for (int g = 0; g < FuseGroupCount; ++g) {
        GroupBox[std::size_t(g)]->setTitle(Text(boxes_.groupCaption[std::size_t(g)]));
        GroupBox[std::size_t(g)]->setVisible(boxes_.groupVisible[std::size_t(g)]);
    }
    for (int i = 0; i < FuseBoxCount; ++i) {
        const FuseBox& box = boxes_.boxes[std::size_t(i)];
        QCheckBox* check = CheckBox[std::size_t(i)];
        const QSignalBlocker quiet(check);
        check->setText(Text(box.caption));
        check->setToolTip(Text(box.tip));
        check->setChecked(box.checked);
        check->setEnabled(box.enabled);
        check->setVisible(box.visible);
    }
    LegendLabel->setVisible(layout_ != nullptr);
    ShowValues();
    // The chip's values from this run can be put back once there are any.
    Button3->setVisible(layout_ != nullptr);
    Button3->setEnabled(host_.chips->CurrentChip.FusesReadFromChip.has_value());
    Button4->setVisible(layout_ != nullptr && host_.fileFuses && host_.fileFuses->Any());
    const ChipEntry* entry = host_.chips->CurrentChip.entry;
    Button5->setVisible(layout_ != nullptr);
    Button5->setEnabled(entry && RescueReaches(*entry));
    Button5->setToolTip(!entry ? QString()
                        : RescueReaches(*entry)
                            ? QStringLiteral("Read the chip, say what is wrong, erase it if the lock bits demand it "
                                             "(asked first), and write the factory values")
                            : QStringLiteral("The %1 is programmed over SPI: the bits that shut it off also shut out "
                                             "this programmer, so only parallel-mode chips can be restored")
                                  .arg(Text(entry->name)));
    Fields->Show(Edited());
}

void TLockFusesForm::ShowValues()
{
    if (!layout_)
        return;
    FuseBoxes shown = boxes_;
    for (int i = 0; i < FuseBoxCount; ++i)
        shown.boxes[std::size_t(i)].checked = CheckBox[std::size_t(i)]->isChecked();
    std::array<std::uint8_t, 8> values{};
    BoxesToFuses(layout_, shown, values);
    for (int g = 0; g < FuseGroupCount; ++g)
        ValueLabel[std::size_t(g)]->setText(
            QStringLiteral("0x") + QString::number(values[std::size_t(g)], 16).toUpper().rightJustified(2, QLatin1Char('0')));
}

bool TLockFusesForm::BoxesChanged() const
{
    for (int i = 0; i < FuseBoxCount; ++i)
        if (boxes_.boxes[std::size_t(i)].visible && CheckBox[std::size_t(i)]->isChecked() != boxes_.boxes[std::size_t(i)].checked)
            return true;
    return false;
}

void TLockFusesForm::TakeChecks()
{
    for (int i = 0; i < FuseBoxCount; ++i)
        boxes_.boxes[std::size_t(i)].checked = CheckBox[std::size_t(i)]->isChecked();
}

void TLockFusesForm::OKButtonClick()
{
    TakeChecks();
    BoxesToFuses(layout_, boxes_, Fuses());
    accept();
}

void TLockFusesForm::Button1Click()
{
    // Slots read before a failure hold their new bytes; the boxes keep their state then.
    const std::optional<FuseOutcome> outcome = ReadFusesInto(*host_.chips, host_.runChipJob);
    if (!outcome || outcome == FuseOutcome::Failed)
        return;
    ShowFuses(layout_, Fuses(), boxes_);
    ShowBoxes();
}

void TLockFusesForm::Button2Click()
{
    ChipState& chips = *host_.chips;
    TakeChecks();
    BoxesToFuses(layout_, boxes_, Fuses());
    // Bits that lock the chip or cut off its programming, clocks it does not have by itself,
    // and values that never came from this chip, are written only when the user says so.
    if (layout_) {
        const auto& onChip = chips.CurrentChip.FusesReadFromChip;
        const std::vector<RiskyChoice> clocks =
            RiskyChoices(fields_, Fuses(), onChip ? std::optional<ConstFuseSlots>(*onChip) : std::nullopt);
        const QString question = WriteQuestion(*layout_, Fuses(), onChip, RiskyChoiceLines(clocks));
        if (!question.isEmpty() && !host_.ask(question))
            return;
    }
    const FuseWriteReport report = WriteFusesFrom(chips, host_.runChipJob, host_.socket);
    if (!report.chipValues)
        return;
    // Show what the chip holds, which is what it will do.
    ShowFuses(layout_, Fuses(), boxes_);
    ShowBoxes();
    if (!report.differences.empty()) {
        QString text = QStringLiteral("The chip did not take every value written; the boxes now show what it holds.");
        for (const ByteDifference& d : report.differences)
            text += QStringLiteral("\n") + DifferenceText(d);
        host_.tell(text);
    }
}

void TLockFusesForm::Button5Click()
{
    if (!layout_)
        return;
    const Approver approve = [this](ApprovalKind, const QString& question) { return host_.askFromJob(question); };
    const RescueReport report = RescueInto(*host_.chips, host_.runChipJob, approve, host_.socket);
    // What the chip holds now, when that is known (read back, or read and left unchanged);
    // the findings and results are in the log.
    if (report.restored || (report.found && report.outcome == RescueOutcome::Refused && !report.erased)) {
        ShowFuses(layout_, Fuses(), boxes_);
        ShowBoxes();
    }
}

void TLockFusesForm::Button3Click()
{
    const auto& read = host_.chips->CurrentChip.FusesReadFromChip;
    if (!read)
        return;
    ShowFuses(layout_, ConstFuseSlots(*read), boxes_);
    ShowBoxes();
}

void TLockFusesForm::Button4Click()
{
    if (!layout_ || !host_.fileFuses)
        return;
    TakeChecks();
    std::array<std::uint8_t, 8> values = host_.chips->CurrentChip.FuseDefaults;
    BoxesToFuses(layout_, boxes_, FuseSlots(values));
    const int missing = TakeFileFuses(*layout_, *host_.fileFuses, values);
    if (missing >= 0) {
        const std::string_view name = FileFuseName(missing);
        host_.tell(QStringLiteral("The file holds the %1 byte, which the %2 does not have; the boxes are unchanged.")
                       .arg(QString::fromLatin1(name.data(), qsizetype(name.size())),
                            QString::fromStdString(host_.chips->CurrentChip.name)));
        return;
    }
    ShowFuses(layout_, ConstFuseSlots(values), boxes_);
    ShowBoxes();
}

void TLockFusesForm::reject()
{
    if (BoxesChanged() &&
        !host_.ask(QStringLiteral("Close the window without saving the changed boxes?")))
        return;
    QDialog::reject();
}

void TLockFusesForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}

}  // namespace velmora
