// The wiring pictures: our own JPEG coding, the pin table they are drawn from, the pictures the
// build drew, and the connection window's lookup and missing-file path.
#include "app/imageform.h"
#include "app/jpegimage.h"
#include "app/pictures/wiringpins.h"
#include "chips/catalogue.h"
#include "support/qtapp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <set>
#include <string>
#include <vector>

using namespace velmora;

namespace {

// A w x h picture whose left half is red and right half blue, or an even grey, encoded by our
// own encoder.
QByteArray MakeJpeg(int w, int h, bool grey)
{
    QImage image(w, h, grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    if (grey) {
        image.fill(QColor(128, 128, 128));
    } else {
        image.fill(Qt::blue);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w / 2; ++x)
                image.setPixel(x, y, qRgb(255, 0, 0));
    }
    return EncodeJpeg(image, 95);
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

    EXPECT_TRUE(EncodeJpeg(QImage(), 90).isEmpty());
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
    EXPECT_FALSE(form.PinText->isVisibleTo(&form));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    // However the window is pulled, the picture keeps its 4:3 and fills one side.
    for (const QSize size : {QSize(1000, 400), QSize(300, 700), QSize(520, 418)}) {
        form.resize(size);
        QCoreApplication::processEvents();
        const QSize shown = form.Image1->pixmap().size();
        const QSize room = form.Image1->size();
        EXPECT_NEAR(double(shown.width()) / shown.height(), 512.0 / 384.0, 0.02) << size.width() << "x" << size.height();
        EXPECT_TRUE(shown.width() == room.width() || shown.height() == room.height());
        EXPECT_LE(shown.width(), room.width());
        EXPECT_LE(shown.height(), room.height());
    }
}

// No message box to click away: the window itself says why there is no picture, in English,
// and shows the pins to wire instead.
TEST_F(PictureWindow, MissingPictureShowsWhyAndThePinTableInTheWindow)
{
    const auto shown = [](const QString& picture) {
        TImageForm form(picture);
        EXPECT_FALSE(form.HasPicture());
        EXPECT_FALSE(form.Image1->isVisibleTo(&form));
        EXPECT_TRUE(form.PinText->isVisibleTo(&form));
        EXPECT_EQ(form.PinText->toPlainText(), TImageForm::MissingPictureText(picture));
        return form.PinText->toPlainText();
    };
    // A checked row whose file is not there: that row's pins.
    const QString mega168 = shown(QStringLiteral("ATmega168.jpg"));
    EXPECT_TRUE(mega168.startsWith(QStringLiteral("The connection picture ATmega168.jpg was not found")));
    EXPECT_TRUE(mega168.contains(QStringLiteral("ATmega168, ATmega168PA")));
    EXPECT_TRUE(mega168.contains(QStringLiteral("  1  RESET            +12 V\n")));
    EXPECT_TRUE(mega168.contains(QStringLiteral(" 14  DATA0            B0\n")));
    // No checked row: the reason, and the gateway's lines for the chip's kind.
    const QString mega103 = shown(QStringLiteral("ATmega103.jpg"));
    EXPECT_TRUE(mega103.startsWith(QStringLiteral("No checked connection picture exists for ATmega103:")));
    EXPECT_TRUE(mega103.contains(QStringLiteral("high-voltage parallel")));
    EXPECT_TRUE(mega103.contains(QStringLiteral("XTAL1            XTAL1 pulse\n")));
    const QString tiny22 = shown(QStringLiteral("ATtiny22.jpg"));
    EXPECT_TRUE(tiny22.contains(QStringLiteral("serial (SPI)")));
    EXPECT_TRUE(tiny22.contains(QStringLiteral("RESET            RESET\n")));
    EXPECT_FALSE(tiny22.contains(QStringLiteral("DATA0")));
    for (const QString& text : {mega168, mega103, tiny22})
        for (const QChar c : text)
            ASSERT_LT(c.unicode(), 0x80) << text.toStdString();

    TImageForm noChip{QString()};  // no chip selected: empty, and no text
    EXPECT_FALSE(noChip.HasPicture());
    EXPECT_FALSE(noChip.PinText->isVisibleTo(&noChip));
}

TEST_F(PictureWindow, LooksInTheWorkingFolderThenBesideTheProgramThenInTheInstalledDataFolder)
{
    const QStringList folders = TImageForm::PictureFolders(QStringLiteral("/opt/velmora/bin"));
    EXPECT_EQ(folders, QStringList({QDir::currentPath(), QStringLiteral("/opt/velmora/bin"),
                                    QStringLiteral("/opt/velmora/share/velmora/pictures")}));

    QTemporaryDir installed;
    const auto put = [](const QString& folder) {
        QFile file(QDir(folder).filePath(QStringLiteral("ATmega8.jpg")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(MakeJpeg(8, 8, false));
    };
    const QStringList searched = {dir.path(), installed.path()};
    EXPECT_TRUE(TImageForm::FindPicture(QStringLiteral("ATmega8.jpg"), searched).isEmpty());
    put(installed.path());
    EXPECT_EQ(TImageForm::FindPicture(QStringLiteral("ATmega8.jpg"), searched), QDir(installed.path()).filePath(QStringLiteral("ATmega8.jpg")));
    put(dir.path());  // the working folder wins
    EXPECT_EQ(TImageForm::FindPicture(QStringLiteral("ATmega8.jpg"), searched), QDir(dir.path()).filePath(QStringLiteral("ATmega8.jpg")));
}

TEST_F(PictureWindow, TheBuildsPicturesAreFoundFromAnyWorkingFolder)
{
    // As scripts/run.sh starts the program: from the repository, not from the build folder.
    QTemporaryDir elsewhere;
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    const QString found = TImageForm::FindPicture(QStringLiteral("ATmega8.jpg"),
                                                  TImageForm::PictureFolders(QStringLiteral(VELMORA_PICTURE_FOLDER)));
    QDir::setCurrent(before);
    EXPECT_EQ(found, QDir(QStringLiteral(VELMORA_PICTURE_FOLDER)).filePath(QStringLiteral("ATmega8.jpg")));
}

// ---- The pin table ----

QString Name(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

TEST(WiringTable, EveryRowIsSound)
{
    for (const ChipWiring& row : WiringTable()) {
        const std::vector<std::string> faults = WiringFaults(row);
        EXPECT_TRUE(faults.empty()) << row.pictures[0] << ": " << faults.front();
        // +12 V reaches the RESET pin of a parallel chip and nothing else; a serial chip gets none.
        int highVoltage = 0;
        for (const PackagePin& pin : PackagePins(row)) {
            if (pin.role == PinRole::HighVoltage) {
                ++highVoltage;
                EXPECT_EQ(pin.pin, row.reset) << row.pictures[0];
                EXPECT_EQ(pin.line, "+12 V");
            }
            EXPECT_EQ(pin.line == "+12 V", pin.role == PinRole::HighVoltage) << row.pictures[0] << " pin " << pin.pin;
        }
        EXPECT_EQ(highVoltage, row.mode == WiringMode::Parallel ? 1 : 0) << row.pictures[0];
    }
}

TEST(WiringTable, FaultsAreFound)
{
    const ChipWiring good = *FindWiring("ATmega8.jpg");
    struct Case {
        const char* what;
        ChipWiring row;
    };
    std::vector<Case> cases;
    const auto broken = [&](const char* what, auto change) {
        ChipWiring row = good;
        change(row);
        cases.push_back({what, row});
    };
    broken("RESET missing", [](ChipWiring& r) { r.reset = 0; });
    broken("RESET on a data pin", [](ChipWiring& r) { r.reset = 14; });
    broken("two data lines on one pin", [](ChipWiring& r) { r.data[7] = r.data[6]; });
    broken("a data line missing", [](ChipWiring& r) { r.data[3] = 0; });
    broken("pin outside the package", [](ChipWiring& r) { r.bs2 = 29; });
    broken("BS1 and PAGEL shared on a chip without shared pins", [](ChipWiring& r) { r.pagel = r.bs1; });
    broken("shared-pin chip with separate PAGEL", [](ChipWiring& r) {
        r.sharedPins = true;
        r.pagel = r.bs1;
    });
    broken("no VCC", [](ChipWiring& r) { r.vcc = 0; });
    broken("SPI line on a parallel chip", [](ChipWiring& r) { r.mosi = 26; });
    broken("clock pin on a wired pin", [](ChipWiring& r) { r.clock[0] = 9; });
    ChipWiring serial = *FindWiring("ATtiny13.jpg");
    serial.xtal1 = 3;
    cases.push_back({"parallel line on a serial chip", serial});

    EXPECT_TRUE(WiringFaults(good).empty());
    for (const Case& c : cases)
        EXPECT_FALSE(WiringFaults(c.row).empty()) << c.what;
}

// The pins where a slip between look-alike packages would hurt most, straight from the
// checked pin list: RESET (+12 V) and VCC per picture, and the shared pins' lines.
TEST(WiringTable, RiskyPinsAreWhereTheChecksSay)
{
    struct Expected {
        const char* picture;
        int reset;
        int vcc;
        int xtal1;
    };
    for (const Expected& e : std::vector<Expected>{{"ATmega8.jpg", 1, 7, 9},
                                                   {"ATmega168.jpg", 1, 7, 9},
                                                   {"ATmega644.jpg", 9, 10, 13},
                                                   {"ATmega8515.jpg", 9, 40, 19},
                                                   {"ATtiny2313.jpg", 1, 20, 5},
                                                   {"ATtiny861.jpg", 10, 5, 7},
                                                   {"ATtiny26.jpg", 10, 5, 0},
                                                   {"AT90S2323.jpg", 1, 8, 0}}) {
        const ChipWiring* row = FindWiring(e.picture);
        ASSERT_NE(row, nullptr) << e.picture;
        EXPECT_EQ(row->reset, e.reset) << e.picture;
        EXPECT_EQ(row->vcc, e.vcc) << e.picture;
        EXPECT_EQ(row->xtal1, e.xtal1) << e.picture;
    }
    const std::vector<PackagePin> tiny2313 = PackagePins(*FindWiring("ATtiny2313.jpg"));
    EXPECT_EQ(tiny2313[7].label, "BS1/PAGEL");
    EXPECT_EQ(tiny2313[7].line, "C1");
    EXPECT_EQ(tiny2313[10].label, "XA1/BS2");
    EXPECT_EQ(tiny2313[10].line, "C4");
    EXPECT_EQ(tiny2313[1].role, PinRole::Unconnected);
}

TEST(WiringTable, PicturesBelongToTheCatalogueAndUncheckedChipsHaveNone)
{
    std::set<std::string_view> drawn;
    for (const ChipWiring& row : WiringTable())
        for (std::string_view picture : row.pictures)
            if (!picture.empty()) {
                EXPECT_TRUE(drawn.insert(picture).second) << picture << " drawn twice";
                EXPECT_FALSE(ChipsShowingPicture(picture).empty()) << picture << " is named by no chip";
            }
    int chipsWithPicture = 0;
    for (const ChipEntry& entry : ChipCatalogue())
        chipsWithPicture += FindWiring(entry.picture) ? 1 : 0;
    EXPECT_EQ(chipsWithPicture, 26);
    for (const char* unchecked : {"ATmega2560.jpg", "ATmega8535.jpg", "ATmega128.jpg", "ATmega103.jpg",
                                  "AT90S2313.jpg", "1887VE4U.jpg", "1887VE7T.jpg"})
        EXPECT_EQ(FindWiring(unchecked), nullptr) << unchecked;
    EXPECT_EQ(ChipsShowingPicture("ATmega168.jpg"), (std::vector<std::string>{"ATmega168", "ATmega168PA"}));
}

// ---- The pictures the build drew beside the program ----

QString BuildPicture(std::string_view picture)
{
    return QDir(QStringLiteral(VELMORA_PICTURE_FOLDER)).filePath(Name(picture));
}

TEST(BuiltPictures, EveryPictureDecodesAtItsSizeAndOnlyParallelOnesHaveRed)
{
    for (const ChipWiring& row : WiringTable()) {
        for (std::string_view picture : row.pictures) {
            if (picture.empty())
                continue;
            QString error;
            const QImage image = DecodeJpegFile(BuildPicture(picture), &error);
            ASSERT_FALSE(image.isNull()) << picture << ": " << error.toStdString();
            EXPECT_EQ(image.size(), QSize(WiringPictureWidth, WiringPictureHeight)) << picture;
            int red = 0;
            for (int y = 0; y < image.height(); y += 2)
                for (int x = 0; x < image.width(); x += 2) {
                    const QRgb c = image.pixel(x, y);
                    red += qRed(c) > 180 && qGreen(c) < 70 && qBlue(c) < 70 ? 1 : 0;
                }
            if (row.mode == WiringMode::Parallel) {
                EXPECT_GT(red, 200) << picture;
            } else {
                EXPECT_EQ(red, 0) << picture;
            }
        }
    }
    for (const ChipEntry& entry : ChipCatalogue()) {
        if (!FindWiring(entry.picture)) {
            EXPECT_FALSE(QFile::exists(BuildPicture(entry.picture))) << entry.picture;
        }
    }
}

class BuildFolderWindow : public PictureWindow {
protected:
    void SetUp() override
    {
        PictureWindow::SetUp();
        QDir::setCurrent(QStringLiteral(VELMORA_PICTURE_FOLDER));
    }

    // Opens the window for picture and reports the message box, if one was shown.
    QString Open(const QString& picture, bool* hasPicture)
    {
        QString shown;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    shown = box->text();
                    box->accept();
                }
        });
        closer.start(20);
        TImageForm form(picture);
        *hasPicture = form.HasPicture();
        return shown;
    }
};

TEST_F(BuildFolderWindow, ShowsTheATmega8PictureAndTheBoxForAChipWithoutData)
{
    bool hasPicture = false;
    EXPECT_TRUE(Open(QStringLiteral("ATmega8.jpg"), &hasPicture).isEmpty());
    EXPECT_TRUE(hasPicture);

    EXPECT_TRUE(Open(QStringLiteral("ATmega2560.jpg"), &hasPicture).isEmpty());
    EXPECT_FALSE(hasPicture);
}

}  // namespace
