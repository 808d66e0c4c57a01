#pragma once

#include <QDialog>

namespace velmora {

// The About box: created once at start, shown without being modal and reused.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace velmora
