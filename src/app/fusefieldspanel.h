#pragma once
// The Lock & Fuses dialog's fields: each named field of the chip (clock source and start-up,
// boot size, brown-out level, lock modes) as a drop-down of its values in words, each single
// bit with a meaning of its own as a check box (checked: programmed). The dialog keeps them
// in step with the bit boxes; a choice needing a clock from the board is marked, and asked
// about at Write.

#include "fuses/fusefields.h"

#include <QGroupBox>

#include <vector>

class QComboBox;
class QCheckBox;

namespace velmora {

class FuseFieldsPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit FuseFieldsPanel(QWidget* parent = nullptr);

    // One row per field, replacing what was there; hidden when there are none.
    void SetFields(std::span<const FuseField> fields);
    // Shows the values bytes hold, without signalling a choice.
    void Show(ConstFuseSlots bytes);

    // The drop-down (objectName "Field_" + name) or check box of a field; null when it has none.
    QComboBox* Combo(std::string_view name) const;
    QCheckBox* Check(std::string_view name) const;

    // The text a drop-down item shows for a choice.
    static QString ItemText(const FieldChoice& choice);

signals:
    // The user picked a value of field.
    void ChoiceMade(const velmora::FuseField* field, std::uint8_t code);

private:
    struct Row {
        const FuseField* field = nullptr;
        QComboBox* combo = nullptr;
        QCheckBox* check = nullptr;
    };
    std::vector<Row> rows_;
};

}  // namespace velmora
