#pragma once

#include <QDialog>
#include <QPixmap>
#include <QStringList>

class QLabel;
class QPlainTextEdit;

namespace velmora {

// "How to connect...": the wiring picture of the current chip, scaled to the window with its
// proportions kept; where there is no picture, the reason and the pin table as text.
class TImageForm : public QDialog {
    Q_OBJECT
public:
    // pictureFile: the catalogue's bare file name, looked up in the working folder, then in
    // the installed data folder; empty when no chip is selected (the window then opens empty,
    // with no message).
    explicit TImageForm(const QString& pictureFile, QWidget* parent = nullptr);

    QLabel* Image1;
    // The text shown instead of a missing picture.
    QPlainTextEdit* PinText;
    bool HasPicture() const;

    // Why there is no picture for pictureFile and what to wire instead: the picture's own pin
    // table when only its file is missing, else the gateway's lines for the chip's kind.
    static QString MissingPictureText(const QString& pictureFile);

    // The folders searched, in order: the working folder, the program's own folder, then
    // <programFolder>/../share/velmora/pictures.
    static QStringList PictureFolders(const QString& programFolder);
    // The path of the first folder's file named pictureFile; empty when none has it.
    static QString FindPicture(const QString& pictureFile, const QStringList& folders);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void FitPicture();

    QPixmap picture_;
};

}  // namespace velmora
