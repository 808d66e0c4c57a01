#pragma once
// The progress window: no caption, no title-bar buttons; what runs, one bar from 0 to 100, the
// percentage with the time left, and Cancel (Esc too). It keeps its place over the window it
// belongs to when that window moves.

#include <QDialog>
#include <QElapsedTimer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace velmora {

// "45%, about 1:23 left": the time left from the time taken so far, once a guess makes sense
// (at least 1% done and a second gone); the percentage alone before.
QString ProgressStatusText(int percent, qint64 elapsedMs);

class LBar : public QDialog {
    Q_OBJECT
public:
    explicit LBar(QWidget* parent = nullptr);
    void SetPosition(int percent);
    // An endless bar, until the first SetPosition.
    void ShowBusy();
    // The command shown above the bar ("Write Program").
    void SetCommand(const QString& text);

    QProgressBar* ProgressBar1;
    QLabel* CommandLabel;
    QLabel* StatusLabel;
    QPushButton* CancelButton;

signals:
    // Cancel or Esc, once: the command stops at its next step.
    void CancelRequested();

protected:
    // Esc comes here: it asks the command to stop; the window closes when the command has.
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FollowOwner();

    QElapsedTimer clock_;
    bool cancelling_ = false;
};

}  // namespace velmora
