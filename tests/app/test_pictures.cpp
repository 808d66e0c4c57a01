// The wiring picture: our own JPEG decoding and the connection window's missing-file path.
#include "app/imageform.h"
#include "app/jpegimage.h"
#include "support/qtapp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

using namespace velmora;

namespace {

// Encodes a w x h picture whose left half is red and right half blue, in the given colour space.
QByteArray MakeJpeg(int w, int h, bool grey)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(w);
    info.image_height = JDIMENSION(h);
    info.input_components = grey ? 1 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    const auto width = static_cast<std::size_t>(w);
    std::vector<unsigned char> row(width * static_cast<std::size_t>(info.input_components));
    for (int y = 0; y < h; ++y) {
        for (std::size_t x = 0; x < width; ++x) {
            if (grey) {
                row[x] = 128;
            } else {
                row[3 * x] = x < width / 2 ? 255 : 0;
                row[3 * x + 1] = 0;
                row[3 * x + 2] = x < width / 2 ? 0 : 255;
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray out(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return out;
}

TEST(Jpeg, DecodesColourAndGreyPictures)
{
    const QImage colour = DecodeJpeg(MakeJpeg(64, 32, false));
    ASSERT_FALSE(colour.isNull());
    EXPECT_EQ(colour.size(), QSize(64, 32));
    EXPECT_GT(qRed(colour.pixel(4, 16)), 200);
    EXPECT_LT(qBlue(colour.pixel(4, 16)), 60);
    EXPECT_GT(qBlue(colour.pixel(60, 16)), 200);

    const QImage grey = DecodeJpeg(MakeJpeg(16, 16, true));
    ASSERT_FALSE(grey.isNull());
    EXPECT_NEAR(qGreen(grey.pixel(8, 8)), 128, 4);
}

TEST(Jpeg, DamagedOrForeignFilesGiveANullPictureAndAReason)
{
    const QByteArray good = MakeJpeg(32, 32, false);
    for (const QByteArray& bad : {QByteArray(), QByteArray("GIF89a not a jpeg"), good.left(20)}) {
        QString error;
        EXPECT_TRUE(DecodeJpeg(bad, &error).isNull());
        EXPECT_FALSE(error.isEmpty());
    }
}

class PictureWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        velmora::testing::EnsureApplication();
        previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
    }
    void TearDown() override { QDir::setCurrent(previous); }

    QTemporaryDir dir;
    QString previous;
};

TEST_F(PictureWindow, LoadsThePictureFromTheWorkingFolder)
{
    QFile file(dir.filePath(QStringLiteral("ATmega8.jpg")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(MakeJpeg(512, 384, false));
    file.close();
    TImageForm form(QStringLiteral("ATmega8.jpg"));
    EXPECT_TRUE(form.HasPicture());
    EXPECT_TRUE(form.Image1->hasScaledContents());
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(PictureWindow, MissingPictureShowsTheMessageThenOpensEmpty)
{
    QString shownText;
    QTimer::singleShot(50, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                shownText = box->windowTitle() + QLatin1Char('|') + box->text();
                box->accept();
            }
        }
    });
    TImageForm form(QStringLiteral("ATmega168.jpg"));
    EXPECT_FALSE(form.HasPicture());
    EXPECT_TRUE(shownText.startsWith(QStringLiteral("Error|Невозможно отобразить схему подключения,\n")));

    TImageForm noChip{QString()};  // no chip selected: empty, and no message
    EXPECT_FALSE(noChip.HasPicture());
}

}  // namespace
