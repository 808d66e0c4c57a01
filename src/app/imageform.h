#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;

namespace velmora {

// "How to connect...": the wiring picture of the current chip, stretched to the window.
class TImageForm : public QDialog {
    Q_OBJECT
public:
    // pictureFile: the catalogue's bare file name, looked up in the working folder, then in
    // the installed data folder; empty when no chip is selected (the window then opens empty,
    // with no message).
    explicit TImageForm(const QString& pictureFile, QWidget* parent = nullptr);

    QLabel* Image1;
    bool HasPicture() const;

    static QString MissingPictureText();

    // The folders searched, in order: the working folder, the program's own folder, then
    // <programFolder>/../share/velmora/pictures.
    static QStringList PictureFolders(const QString& programFolder);
    // The path of the first folder's file named pictureFile; empty when none has it.
    static QString FindPicture(const QString& pictureFile, const QStringList& folders);
};

}  // namespace velmora
