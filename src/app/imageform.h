#pragma once

#include <QDialog>
#include <QPixmap>
#include <QStringList>

class QLabel;
class QPlainTextEdit;

namespace velmora {

struct ChipEntry;

// "How to connect...": the wiring picture of the current chip, scaled to the window with its
// proportions kept; where there is no picture, the reason and the pin table as text.
class TImageForm : public QDialog {
    Q_OBJECT
public:
    // chip: the current chip, whose picture file (the catalogue's bare file name) is looked up
    // in the working folder, then in the installed data folder; null when no chip is selected
    // (the window then opens empty, with no message).
    explicit TImageForm(const ChipEntry* chip, QWidget* parent = nullptr);

    QLabel* Image1;
    // The text shown instead of a missing picture.
    QPlainTextEdit* PinText;
    bool HasPicture() const;

    // Why there is no picture for chip and what to wire instead: its pin table when only the
    // picture file is missing, else the gateway's lines for the chip's kind.
    static QString MissingPictureText(const ChipEntry& chip);

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
