#pragma once
// The progress window: no caption, no title-bar buttons, one bar from 0 to 100.

#include <QDialog>

class QProgressBar;

namespace velmora {

class LBar : public QDialog {
    Q_OBJECT
public:
    explicit LBar(QWidget* parent = nullptr);
    void SetPosition(int percent);
    // An endless bar, until the first SetPosition.
    void ShowBusy();

    QProgressBar* ProgressBar1;
};

}  // namespace velmora
