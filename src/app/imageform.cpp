#include "app/imageform.h"

#include "app/jpegimage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QVBoxLayout>

namespace velmora {

QString TImageForm::MissingPictureText()
{
    return QStringLiteral(
        "Невозможно отобразить схему подключения,\n"
        "(не найден файл картинки). Или подключайте\n"
        "по даташиту,\n"
        "или скачайте программу с картинками на сайте velmora.example");
}

TImageForm::TImageForm(const QString& pictureFile, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("ImageForm"));
    setWindowTitle(QStringLiteral("KV-4417 Connection (image is resizeble, just pull it for any corner)"));
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaledContents(true);  // the picture always fills the window
    Image1->setMinimumSize(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Image1);
    resize(520, 418);

    if (pictureFile.isEmpty())
        return;
    const QString path = FindPicture(pictureFile, PictureFolders(QCoreApplication::applicationDirPath()));
    QImage picture;
    if (!path.isEmpty())
        picture = DecodeJpegFile(path);
    if (picture.isNull()) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Error"), MissingPictureText(), QMessageBox::Ok);
        box.exec();
        Image1->clear();
        return;
    }
    Image1->setPixmap(QPixmap::fromImage(picture));
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
    return !Image1->pixmap().isNull();
}

}  // namespace velmora
