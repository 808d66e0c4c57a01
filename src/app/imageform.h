#pragma once

#include <QDialog>

class QLabel;

namespace velmora {

// "How to connect...": the wiring picture of the current chip, stretched to the window.
class TImageForm : public QDialog {
    Q_OBJECT
public:
    // pictureFile: the catalogue's bare file name, looked up in the working folder;
    // empty when no chip is selected (the window then opens empty, with no message).
    explicit TImageForm(const QString& pictureFile, QWidget* parent = nullptr);

    QLabel* Image1;
    bool HasPicture() const;

    static QString MissingPictureText();
};

}  // namespace velmora
