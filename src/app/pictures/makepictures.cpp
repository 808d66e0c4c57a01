// velmora-pictures: writes the connection picture of every chip in the pin table as JPEG into
// each folder given on the command line. Runs at build time on the offscreen platform.
#include "app/jpegimage.h"
#include "app/pictures/wiringpicture.h"
#include "app/pictures/wiringpins.h"
#include "chips/catalogue.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QSaveFile>

#include <cstdio>

using namespace velmora;

namespace {
QString FileName(std::string_view picture)
{
    return QString::fromUtf8(picture.data(), qsizetype(picture.size()));
}

bool Write(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        std::fprintf(stderr, "velmora-pictures: %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    return true;
}
}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList folders = app.arguments().mid(1);
    if (folders.isEmpty()) {
        std::fprintf(stderr, "usage: velmora-pictures FOLDER...\n");
        return 2;
    }
    // Without the font the labels would silently vanish from the pictures.
    if (!QFontDatabase::families().contains(QStringLiteral("DejaVu Sans"))) {
        std::fprintf(stderr, "velmora-pictures: the font DejaVu Sans is not installed (fonts-dejavu-core)\n");
        return 1;
    }
    // A wrong picture can put +12 V on a pin that is not RESET: draw nothing from a faulty table.
    bool sound = true;
    for (const ChipWiring& row : WiringTable())
        for (const std::string& fault : WiringFaults(row)) {
            const std::string_view picture = PicturesOf(row).front();
            std::fprintf(stderr, "velmora-pictures: %.*s: %s\n", int(picture.size()), picture.data(), fault.c_str());
            sound = false;
        }
    if (!sound)
        return 1;
    for (const QString& folder : folders) {
        if (!QDir().mkpath(folder)) {
            std::fprintf(stderr, "velmora-pictures: cannot create %s\n", qPrintable(folder));
            return 1;
        }
        // A picture left over from an earlier table could show a chip's pins wrongly.
        for (const ChipEntry& entry : ChipCatalogue())
            if (!WiringOf(entry))
                QFile::remove(QDir(folder).filePath(FileName(entry.picture)));
    }
    for (const ChipWiring& row : WiringTable()) {
        for (std::string_view picture : PicturesOf(row)) {
            const QByteArray jpeg = EncodeJpeg(DrawWiringPicture(row, ChipsShowingPicture(picture)), 92);
            if (jpeg.isEmpty()) {
                std::fprintf(stderr, "velmora-pictures: cannot encode %s\n", qPrintable(FileName(picture)));
                return 1;
            }
            for (const QString& folder : folders)
                if (!Write(QDir(folder).filePath(FileName(picture)), jpeg))
                    return 1;
        }
    }
    return 0;
}
