#include "app/fusefieldspanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QStandardItemModel>

namespace velmora {

namespace {
QString Text(const std::string& s)
{
    return QString::fromStdString(s);
}
}  // namespace

FuseFieldsPanel::FuseFieldsPanel(QWidget* parent) : QGroupBox(QStringLiteral("Fields"), parent)
{
    setObjectName(QStringLiteral("FieldsPanel"));
    new QFormLayout(this);
    setVisible(false);
}

QString FuseFieldsPanel::ItemText(const FieldChoice& choice)
{
    QString text = Text(choice.meaning);
    if (choice.kind == ChoiceKind::Risky)
        text += QStringLiteral("  [needs this clock on the board]");
    return text;
}

void FuseFieldsPanel::SetFields(std::span<const FuseField> fields)
{
    auto* form = static_cast<QFormLayout*>(layout());
    while (form->rowCount() > 0)
        form->removeRow(0);
    rows_.clear();
    for (const FuseField& f : fields) {
        Row row{&f};
        const QString name = Text(f.name);
        if (f.Single()) {
            // Checked is programmed, as in the bit boxes; the text says what that means.
            row.check = new QCheckBox(Text(f.choices[0].meaning), this);
            row.check->setObjectName(QStringLiteral("Field_") + name);
            row.check->setToolTip(QStringLiteral("Unprogrammed: ") + Text(f.choices[1].meaning));
            connect(row.check, &QCheckBox::clicked, this, [this, field = &f](bool on) { emit ChoiceMade(field, on ? 0 : 1); });
            form->addRow(name, row.check);
        } else {
            row.combo = new QComboBox(this);
            row.combo->setObjectName(QStringLiteral("Field_") + name);
            auto* model = new QStandardItemModel(row.combo);
            for (const FieldChoice& c : f.choices) {
                auto* item = new QStandardItem(ItemText(c));
                item->setToolTip(Text(f.name + "=" + c.key));
                // A reserved value is shown when the bits hold it, never offered.
                if (c.kind == ChoiceKind::Reserved)
                    item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
                model->appendRow(item);
            }
            row.combo->setModel(model);
            connect(row.combo, &QComboBox::activated, this,
                    [this, field = &f](int index) { emit ChoiceMade(field, std::uint8_t(index)); });
            form->addRow(name, row.combo);
        }
        rows_.push_back(row);
    }
    setVisible(!rows_.empty());
}

void FuseFieldsPanel::Show(ConstFuseSlots bytes)
{
    for (const Row& row : rows_) {
        const std::uint8_t code = row.field->Decode(bytes);
        if (row.check) {
            const QSignalBlocker quiet(row.check);
            row.check->setChecked(code == 0);
        } else {
            const QSignalBlocker quiet(row.combo);
            row.combo->setCurrentIndex(code);
            row.combo->setToolTip(ItemText(row.field->choices[code]));
        }
    }
}

QComboBox* FuseFieldsPanel::Combo(std::string_view name) const
{
    for (const Row& row : rows_)
        if (row.field->name == name)
            return row.combo;
    return nullptr;
}

QCheckBox* FuseFieldsPanel::Check(std::string_view name) const
{
    for (const Row& row : rows_)
        if (row.field->name == name)
            return row.check;
    return nullptr;
}

}  // namespace velmora
