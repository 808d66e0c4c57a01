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

const ChipEntry* Chip(const char* name)
{
    const ChipEntry* entry = FindChipByName(name);
    EXPECT_NE(entry, nullptr) << name;
    return entry;
}

// The first picture drawn from row, to name it in messages.
std::string_view FirstPicture(const ChipWiring& row)
{
    const std::vector<std::string_view> pictures = PicturesOf(row);
    return pictures.empty() ? std::string_view("(no picture)") : pictures.front();
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
    TImageForm form(Chip("ATmega8"));
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
    const auto shown = [](const char* chip) {
        TImageForm form(Chip(chip));
        EXPECT_FALSE(form.HasPicture());
        EXPECT_FALSE(form.Image1->isVisibleTo(&form));
        EXPECT_TRUE(form.PinText->isVisibleTo(&form));
        EXPECT_EQ(form.PinText->toPlainText(), TImageForm::MissingPictureText(*Chip(chip)));
        return form.PinText->toPlainText();
    };
    // A checked row whose file is not there: that row's pins, for every chip of the picture.
    const QString mega168 = shown("ATmega168PA");
    EXPECT_TRUE(mega168.startsWith(QStringLiteral("The connection picture ATmega168.jpg was not found")));
    EXPECT_TRUE(mega168.contains(QStringLiteral("ATmega168, ATmega168PA")));
    EXPECT_TRUE(mega168.contains(QStringLiteral("  1  RESET            +12 V\n")));
    EXPECT_TRUE(mega168.contains(QStringLiteral(" 14  DATA0            B0\n")));
    // No checked row: the reason, and the gateway's lines for the chip's kind.
    const QString mega103 = shown("ATmega103");
    EXPECT_TRUE(mega103.startsWith(QStringLiteral("No checked connection picture exists for ATmega103:")));
    EXPECT_TRUE(mega103.contains(QStringLiteral("high-voltage parallel")));
    EXPECT_TRUE(mega103.contains(QStringLiteral("XTAL1            XTAL1 pulse\n")));
    const QString tiny22 = shown("ATtiny22");
    EXPECT_TRUE(tiny22.contains(QStringLiteral("serial (SPI)")));
    EXPECT_TRUE(tiny22.contains(QStringLiteral("RESET            RESET\n")));
    EXPECT_FALSE(tiny22.contains(QStringLiteral("DATA0")));
    for (const QString& text : {mega168, mega103, tiny22})
        for (const QChar c : text)
            ASSERT_LT(c.unicode(), 0x80) << text.toStdString();

    TImageForm noChip{nullptr};  // no chip selected: empty, and no text
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
        EXPECT_TRUE(faults.empty()) << FirstPicture(row) << ": " << faults.front();
        // +12 V reaches the RESET pin of a parallel chip and nothing else; a serial chip gets none.
        int highVoltage = 0;
        for (const PackagePin& pin : PackagePins(row)) {
            if (pin.role == PinRole::HighVoltage) {
                ++highVoltage;
                EXPECT_EQ(pin.pin, row.reset) << FirstPicture(row);
                EXPECT_EQ(pin.line, "+12 V");
            }
            EXPECT_EQ(pin.line == "+12 V", pin.role == PinRole::HighVoltage) << FirstPicture(row) << " pin " << pin.pin;
        }
        EXPECT_EQ(highVoltage, row.mode == WiringMode::Parallel ? 1 : 0) << FirstPicture(row);
    }
}

TEST(WiringTable, FaultsAreFound)
{
    const ChipWiring good = *WiringOf(*Chip("ATmega8"));
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
    ChipWiring serial = *WiringOf(*Chip("ATtiny13"));
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
        const char* chip;
        int reset;
        int vcc;
        int xtal1;
    };
    for (const Expected& e : std::vector<Expected>{{"ATmega8", 1, 7, 9},
                                                   {"ATmega168PA", 1, 7, 9},
                                                   {"ATmega644", 9, 10, 13},
                                                   {"ATmega8515", 9, 40, 19},
                                                   {"ATtiny2313", 1, 20, 5},
                                                   {"ATtiny861", 10, 5, 7},
                                                   {"ATtiny26", 10, 5, 0},
                                                   {"AT90S2323", 1, 8, 0}}) {
        const ChipWiring* row = WiringOf(*Chip(e.chip));
        ASSERT_NE(row, nullptr) << e.chip;
        EXPECT_EQ(row->reset, e.reset) << e.chip;
        EXPECT_EQ(row->vcc, e.vcc) << e.chip;
        EXPECT_EQ(row->xtal1, e.xtal1) << e.chip;
    }
    const std::vector<PackagePin> tiny2313 = PackagePins(*WiringOf(*Chip("ATtiny2313")));
    EXPECT_EQ(tiny2313[7].label, "BS1/PAGEL");
    EXPECT_EQ(tiny2313[7].line, "C1");
    EXPECT_EQ(tiny2313[10].label, "XA1/BS2");
    EXPECT_EQ(tiny2313[10].line, "C4");
    EXPECT_EQ(tiny2313[1].role, PinRole::Unconnected);
}

// The chips of each checked row, as the pin list was checked: a chip given the wrong row would
// have its picture drawn with another package's pins.
TEST(WiringTable, ChipsHaveTheRowsTheirPinsWereCheckedFor)
{
    const std::vector<std::pair<WiringId, std::vector<std::string>>> rows = {
        {WiringId::Atmega8, {"ATmega8"}},
        {WiringId::Atmega48, {"ATmega168", "ATmega168PA", "ATmega48", "ATmega48PA", "ATmega88", "ATmega88PA"}},
        {WiringId::Atmega16, {"ATmega16", "ATmega164", "ATmega32", "ATmega324", "ATmega644"}},
        {WiringId::Atmega8515, {"ATmega8515"}},
        {WiringId::Attiny2313, {"ATtiny2313"}},
        {WiringId::Attiny261, {"ATtiny261", "ATtiny461", "ATtiny861"}},
        {WiringId::At90s2323, {"AT90S2323"}},
        {WiringId::At90s2343, {"AT90S2343"}},
        {WiringId::Attiny12, {"ATtiny12"}},
        {WiringId::Attiny13, {"ATtiny13"}},
        {WiringId::Attiny15, {"ATtiny15"}},
        {WiringId::Attiny25, {"ATtiny25", "ATtiny45", "ATtiny85"}},
        {WiringId::Attiny26, {"ATtiny26"}},
    };
    ASSERT_EQ(rows.size(), WiringTable().size());
    std::size_t checked = 0;
    for (const auto& [id, chips] : rows) {
        const ChipWiring& row = WiringTable()[std::size_t(id) - 1u];
        EXPECT_EQ(row.id, id);
        std::vector<std::string> serves;
        for (const ChipEntry& entry : ChipCatalogue())
            if (WiringOf(entry) == &row)
                serves.emplace_back(entry.name);
        EXPECT_EQ(serves, chips) << FirstPicture(row);
        checked += serves.size();
    }
    std::size_t withRow = 0;
    for (const ChipEntry& entry : ChipCatalogue())
        withRow += WiringOf(entry) ? 1u : 0u;
    EXPECT_EQ(withRow, checked) << "a chip outside the checked lists has a row";
    for (const char* unchecked : {"ATmega2560", "ATmega8535", "ATmega128", "ATmega103", "AT90S2313", "1887VE4U", "1887VE7T"})
        EXPECT_EQ(WiringOf(*Chip(unchecked)), nullptr) << unchecked;
}

TEST(WiringTable, EachPictureIsDrawnOnceUnderTheNamesOfItsChips)
{
    std::set<std::string_view> drawn;
    for (const ChipWiring& row : WiringTable())
        for (std::string_view picture : PicturesOf(row))
            EXPECT_TRUE(drawn.insert(picture).second) << picture << " drawn twice";
    EXPECT_EQ(drawn.size(), 23u);
    EXPECT_EQ(PicturesOf(*WiringOf(*Chip("ATmega48"))),
              (std::vector<std::string_view>{"ATmega168.jpg", "ATmega48.jpg", "ATmega88.jpg"}));
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
        for (std::string_view picture : PicturesOf(row)) {
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
        if (!WiringOf(entry)) {
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

    // Opens the window for chip and reports the message box, if one was shown.
    QString Open(const char* chip, bool* hasPicture)
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
        TImageForm form(Chip(chip));
        *hasPicture = form.HasPicture();
        return shown;
    }
};

TEST_F(BuildFolderWindow, ShowsTheATmega8PictureAndTheBoxForAChipWithoutData)
{
    bool hasPicture = false;
    EXPECT_TRUE(Open("ATmega8", &hasPicture).isEmpty());
    EXPECT_TRUE(hasPicture);

    EXPECT_TRUE(Open("ATmega2560", &hasPicture).isEmpty());
    EXPECT_FALSE(hasPicture);
}

}  // namespace
