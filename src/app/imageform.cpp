#include "app/imageform.h"

#include "app/jpegimage.h"
#include "app/mainwindow.h"
#include "app/pictures/wiringpins.h"
#include "log/text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace velmora {

QString TImageForm::MissingPictureText(const ChipEntry& chip)
{
    const QString pictureFile = Text(chip.picture);
    QStringList chips;
    for (const std::string& name : ChipsShowingPicture(chip.picture))
        chips << QString::fromStdString(name);
    const QString names = chips.join(QStringLiteral(", "));
    if (const ChipWiring* row = WiringOf(chip))
        return QStringLiteral("The connection picture %1 was not found beside the program nor in its installed "
                              "pictures folder. It shows this pin table of %2:\n\n%3")
            .arg(pictureFile, names, Text(PinTableText(*row)));
    const WiringMode kind = WiringModeOf(chip.family);
    return QStringLiteral("No checked connection picture exists for %1: its programming pins have not yet been "
                          "checked against its datasheet and a package pinout, and a wrong picture could put "
                          "+12 V on the wrong pin.\n\nWire the chip by its datasheet's %2 programming pins to "
                          "these gateway lines:\n\n%3")
        .arg(names,
             kind == WiringMode::Serial ? QStringLiteral("serial (SPI)") : QStringLiteral("high-voltage parallel"),
             Text(GatewayTableText(kind)));
}

TImageForm::TImageForm(const ChipEntry* chip, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("ImageForm"));
    setWindowTitle(QStringLiteral("KV-4417 Connection (image is resizeble, just pull it for any corner)"));
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setMinimumSize(1, 1);
    Image1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    PinText = new QPlainTextEdit(this);
    PinText->setObjectName(QStringLiteral("PinText"));
    PinText->setReadOnly(true);
    PinText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    PinText->setFont(FixedFont());
    PinText->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Image1);
    layout->addWidget(PinText);
    resize(520, 418);

    if (!chip)
        return;
    const QString pictureFile = Text(chip->picture);
    const QString path = FindPicture(pictureFile, PictureFolders(QCoreApplication::applicationDirPath()));
    QImage picture;
    if (!path.isEmpty())
        picture = DecodeJpegFile(path);
    if (picture.isNull()) {
        // Said in the window itself, where the picture would be, with what to wire instead.
        Image1->hide();
        PinText->setPlainText(MissingPictureText(*chip));
        PinText->show();
        return;
    }
    picture_ = QPixmap::fromImage(picture);
    FitPicture();
}

void TImageForm::FitPicture()
{
    if (picture_.isNull())
        return;
    // The whole picture, as large as the window allows, never stretched out of shape.
    const QSize room = Image1->size().boundedTo(picture_.size() * 4);
    Image1->setPixmap(picture_.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void TImageForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    FitPicture();
}

QStringList TImageForm::PictureFolders(const QString& programFolder)
{
    // The build draws them beside the program, so a program started from anywhere finds them.
    return {QDir::currentPath(), QDir::cleanPath(programFolder),
            QDir::cleanPath(programFolder + QStringLiteral("/../share/velmora/pictures"))};
}

QString TImageForm::FindPicture(const QString& pictureFile, const QStringList& folders)
{
    for (const QString& folder : folders) {
        const QFileInfo file(QDir(folder), pictureFile);
        if (file.isFile())
            return file.filePath();
    }
    return {};
}

bool TImageForm::HasPicture() const
{
    return !picture_.isNull();
}

}  // namespace velmora
