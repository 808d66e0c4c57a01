// The File menu in the main window: the menu items reach the commands, the active page's view
// is the one loaded and saved, and the save dialog shared with "Save Log as..." remembers the
// chosen file type.

#include "app/commandrunner.h"
#include "app/mainwindow.h"

#include "chips/catalogue.h"
#include "support/qtapp.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace velmora {
namespace {

class FileMenu : public ::testing::Test {
protected:
    static void SetUpTestSuite() { velmora::testing::EnsureApplication(); }

    FileMenu()
    {
        form.SetOpenFileChooser([this](QFileDialog&) {
            ++dialogsShown;
            return openName;
        });
        form.SetSaveFileChooser([this](QFileDialog& dialog) {
            ++dialogsShown;
            if (!saveFilter.isEmpty())
                dialog.selectNameFilter(saveFilter);
            return saveName;
        });
        form.SetErrorReporter([this](const QString& text) { errors.append(text); });
        form.SetQuestionAsker([](const QString&) { return true; });  // replacing a file: Yes
    }

    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    void SelectChip(const char* name) { form.ChipItemClick(*FindChipByName(name)); }
    QStringList NewLines()
    {
        const QStringList lines = form.Log().Lines();
        const QStringList fresh = lines.mid(seen);
        seen = lines.size();
        return fresh;
    }
    static void WriteFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    static QByteArray FileBytes(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    // The hex cell of byte i in a dump text.
    static std::string Cell(const std::string& text, std::size_t i) { return text.substr(i / 16 * 82 + i % 16 * 3 + 10, 2); }

    QTemporaryDir dir;
    Form1 form;
    QString openName;
    QString saveName;
    QString saveFilter;
    int dialogsShown = 0;
    QStringList errors;
    qsizetype seen = 0;
};

TEST_F(FileMenu, LoadWithNoChipShowsTheDialogThenRefuses)
{
    const QString path = Path("fw.hex");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(":0100000001FE\r\n:00000001FF");
    file.close();
    openName = path;
    form.LoadProgramfromFile1->trigger();
    form.Open1->trigger();
    EXPECT_EQ(dialogsShown, 2);
    EXPECT_EQ(NewLines(), QStringList({"No chip selected", "No chip selected"}));
    EXPECT_TRUE(form.Work().views[1].text.empty());
}

TEST_F(FileMenu, LoadGoesIntoTheViewOfThePageShown)
{
    SelectChip("ATmega8");
    NewLines();
    const std::string page1Before = form.Work().views[1].text;
    const QString path = Path("fw.hex");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(":040010000C9434C058\r\n:00000001FF\r\n");
    file.close();

    form.PageControl1->setCurrentIndex(1);
    openName = path;
    form.LoadProgramfromFile1->trigger();
    EXPECT_EQ(NewLines(), QStringList({"Loading program from file: " + path, "Operation complete"}));
    EXPECT_EQ(Cell(form.Work().views[2].text, 0x10), "0C");
    EXPECT_EQ(Cell(form.Work().views[2].text, 0x13), "C0");
    EXPECT_EQ(Cell(form.Work().views[2].text, 0x14), "FF");
    EXPECT_EQ(form.Work().views[1].text, page1Before);

    // Cancelling the dialog does nothing; a file that cannot be opened ends in the message box.
    openName.clear();
    form.Open1->trigger();
    EXPECT_TRUE(NewLines().isEmpty());
    openName = Path("missing.eep");
    form.Open1->trigger();
    EXPECT_EQ(NewLines(), QStringList({"Loading data from file: " + openName}));
    EXPECT_EQ(errors, QStringList({"Cannot open file " + openName + "\nNo such file or directory"}));
}

TEST_F(FileMenu, SaveTakesTheEditedViewOfThePageShown)
{
    SelectChip("ATmega8");
    NewLines();
    // An edit in the view of "Page1" that the image does not have yet.
    form.Work().views[3].text.replace(10, 2, "AB");
    saveName = Path("data");
    saveFilter = QStringLiteral("*.bin");
    form.Save1->trigger();
    const QString saved = Path("data.bin");
    EXPECT_EQ(NewLines(), QStringList({"Saving data to file: " + saved, "Operation complete"}));
    QByteArray expected(512, char(0xFF));
    expected[0] = char(0xAB);
    EXPECT_EQ(FileBytes(saved), expected);
}

TEST_F(FileMenu, TheSaveDialogRemembersTheFileTypeAcrossCommands)
{
    // Before any chip: the program image has no bytes.
    saveName = Path("a");
    saveFilter = QStringLiteral("*.eep");
    form.SaveProgramtoFile1->trigger();
    EXPECT_EQ(FileBytes(Path("a.eep")), QByteArray(":00000001FF"));

    // "Save Log as..." has a dialog of its own, for rich text; the images' type stays chosen.
    saveName = Path("log");
    form.SaveLogas1->trigger();
    EXPECT_TRUE(QFileInfo::exists(Path("log.rtf")));
    EXPECT_EQ(form.SaveLogDialog1()->nameFilters().first(), QStringLiteral("Rich text (*.rtf)"));
    EXPECT_EQ(form.SaveLogDialog1()->defaultSuffix(), QStringLiteral("rtf"));
    saveName = Path("b");
    saveFilter.clear();
    form.Save1->trigger();
    EXPECT_EQ(FileBytes(Path("b.eep")), QByteArray(":00000001FF"));
    EXPECT_EQ(form.SaveDialog1()->selectedNameFilter(), QStringLiteral("*.eep"));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(FileMenu, LoadOnPage1AfterPage2KeepsPage1sEditsAndNotPage2sBytes)
{
    // Both pages share the images: the load must start from what this page shows.
    SelectChip("ATmega8");
    WriteFile(Path("page2.hex"), ":020000001122CB\r\n:01010000AA54\r\n:00000001FF\r\n");
    WriteFile(Path("page1.hex"), ":01001000559A\r\n:00000001FF\r\n");
    form.PageControl1->setCurrentIndex(1);
    openName = Path("page2.hex");
    form.LoadProgramfromFile1->trigger();
    ASSERT_EQ(Cell(form.Work().views[2].text, 0x100), "AA");

    form.PageControl1->setCurrentIndex(0);
    form.Work().views[1].text.replace(0x20 / 16 * 82 + 10, 2, "AB");  // an edit typed on Page1
    openName = Path("page1.hex");
    form.LoadProgramfromFile1->trigger();
    const std::string& page1 = form.Work().views[1].text;
    EXPECT_EQ(Cell(page1, 0x10), "55");
    EXPECT_EQ(Cell(page1, 0x20), "AB");
    EXPECT_EQ(Cell(page1, 0x00), "FF");
    EXPECT_EQ(Cell(page1, 0x100), "FF");
    EXPECT_EQ(Cell(form.Work().views[2].text, 0x00), "11");
}

TEST_F(FileMenu, AnyImageFileWaitsForAChipThenFillsEachMemoryAndOffersItsFuses)
{
    // A file given at start (or dropped) before any chip: it waits for the selection. Its
    // program goes to flash, its EEPROM section to the EEPROM, its fuse bytes to the dialog.
    const QString all = Path("all.hex");
    WriteFile(all, ":020000000C945E\r\n:02000004008179\r\n:020000001122CB\r\n:02000004008278\r\n"
                   ":02000000E2DF3D\r\n:02000004008377\r\n:01000000FC03\r\n:00000001FF\r\n");
    form.LoadAnyImageFile(all);
    EXPECT_EQ(NewLines(), QStringList({"The file is loaded once a chip is selected: " + all}));
    EXPECT_FALSE(form.FileFuses().Any());
    SelectChip("ATmega8");
    const QStringList lines = NewLines();
    EXPECT_TRUE(lines.contains("Loading program from file: " + all)) << lines.join('|').toStdString();
    EXPECT_TRUE(lines.contains("Loading data from file: " + all));
    EXPECT_EQ(lines.last(), "The file holds lock and fuse bytes: Edit > Lock & Fuses offers them");
    EXPECT_EQ(Cell(form.Work().views[1].text, 0), "0C");
    EXPECT_EQ(Cell(form.Work().views[1].text, 1), "94");
    EXPECT_EQ(Cell(form.Work().views[3].text, 0), "11");
    EXPECT_EQ(Cell(form.Work().views[3].text, 1), "22");
    ASSERT_TRUE(form.FileFuses().fuse[1].has_value());
    EXPECT_EQ(*form.FileFuses().fuse[1], 0xDF);
    EXPECT_EQ(form.FileFuses().lock, std::optional<std::uint8_t>(0xFC));

    // The next selection loads nothing again.
    SelectChip("ATmega8");
    EXPECT_FALSE(NewLines().join('|').contains("Loading"));
}

TEST_F(FileMenu, ToolchainEepromAddressesAndBytesBeyondTheMemory)
{
    SelectChip("ATmega8");
    NewLines();
    // An .eep whose section was left at 0x810000 loads into the EEPROM.
    const QString eep = Path("linked.eep");
    WriteFile(eep, ":020000040081790\r\n:0400000001020304F2\r\n:00000001FF\r\n");
    openName = eep;
    form.Open1->trigger();
    EXPECT_EQ(NewLines(), QStringList({"Loading data from file: " + eep, "Operation complete"}));
    EXPECT_EQ(Cell(form.Work().views[3].text, 0), "01");
    EXPECT_EQ(Cell(form.Work().views[3].text, 3), "04");

    // A program for a larger chip: what lies beyond the 8 KiB is dropped, and the log says so.
    const QString big = Path("big.hex");
    WriteFile(big, ":02000000AABB99\r\n:10200000000102030405060708090A0B0C0D0E0F58\r\n"
                   ":020000040001F9\r\n:0400000001020304F2\r\n:00000001FF\r\n");
    openName = big;
    form.LoadProgramfromFile1->trigger();
    EXPECT_EQ(NewLines(), QStringList({"Loading program from file: " + big,
                                       "20 bytes beyond the memory were not loaded, from address 0x00002000",
                                       "Operation complete"}));
    EXPECT_EQ(Cell(form.Work().views[1].text, 0), "AA");

    // Binary likewise: 8 KiB + 100 bytes.
    const QString bin = Path("big.bin");
    WriteFile(bin, QByteArray(8192 + 100, 0x11));
    openName = bin;
    form.LoadProgramfromFile1->trigger();
    EXPECT_EQ(NewLines(), QStringList({"Loading program from file: " + bin,
                                       "100 bytes beyond the memory were not loaded, from address 0x00002000",
                                       "Operation complete"}));
    EXPECT_TRUE(errors.isEmpty());
}

// Dialogs start in the home folder, then where the last file was; replacing a file asks.
TEST_F(FileMenu, DialogsStartInTheLastFolderAndReplacingAFileAsks)
{
    QStringList startedIn;
    form.SetSaveFileChooser([&](QFileDialog& dialog) {
        startedIn << dialog.directory().absolutePath();
        return saveName;
    });
    QStringList questions;
    bool replace = false;
    form.SetQuestionAsker([&](const QString& text) {
        questions << text;
        return replace;
    });
    SelectChip("ATmega8");
    ASSERT_TRUE(QDir().mkdir(Path("work")));
    saveName = Path("work/fw.bin");
    form.SaveProgramtoFile1->trigger();
    EXPECT_EQ(FileBytes(saveName).size(), 8192);  // the typed .bin names the format
    EXPECT_EQ(form.LastFolder(), Path("work"));
    NewLines();

    form.SaveLogas1->trigger();  // the same name for the log: asked, and refused
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].startsWith(QDir::toNativeSeparators(Path("work/fw.bin")) + QStringLiteral(" already exists.")));
    EXPECT_EQ(FileBytes(saveName).size(), 8192);
    EXPECT_TRUE(NewLines().isEmpty());
    replace = true;
    form.SaveProgramtoFile1->trigger();
    EXPECT_EQ(questions.size(), 2);
    EXPECT_EQ(NewLines(), QStringList({"Saving program to file: " + saveName, "Operation complete"}));
    EXPECT_EQ(startedIn, QStringList({QDir::homePath(), Path("work"), Path("work")}));
}

// Root passes every permission check: as root the save is made as the user "nobody", for whom
// the folder is read-only just as it is for an ordinary user.
class Unprivileged {
public:
    Unprivileged()
    {
        if (::geteuid() != 0)
            return;
        root_ = true;
        ok_ = ::setegid(65534) == 0 && ::seteuid(65534) == 0;
    }
    ~Unprivileged()
    {
        if (root_) {
            [[maybe_unused]] const int u = ::seteuid(0);
            [[maybe_unused]] const int g = ::setegid(0);
        }
    }
    bool Ok() const { return !root_ || ok_; }

private:
    bool root_ = false;
    bool ok_ = false;
};

TEST_F(FileMenu, SaveOverAWritableFileInAReadOnlyFolderReplacesItsContents)
{
    SelectChip("ATmega8");
    NewLines();
    const QString folder = Path("readonly");
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/data.bin");
    WriteFile(path, QByteArray(512, 'x'));
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0666), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
    saveName = path;
    saveFilter = QStringLiteral("*.bin");
    {
        Unprivileged user;
        if (!user.Ok())
            GTEST_SKIP() << "cannot act as an unprivileged user";
        // The folder takes no new file: the all-or-nothing way is closed.
        QFile probe(folder + QStringLiteral("/probe"));
        ASSERT_FALSE(probe.open(QIODevice::WriteOnly));
        form.Save1->trigger();
        // A new file there cannot be made; the box says why on its second line.
        saveName = folder + QStringLiteral("/new.bin");
        form.Save1->trigger();
    }
    EXPECT_EQ(FileBytes(path), QByteArray(512, char(0xFF)));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith("Cannot create file " + folder + "/new.bin\n")) << errors[0].toStdString();
    EXPECT_GT(errors[0].section(QLatin1Char('\n'), 1).size(), 0);
    EXPECT_EQ(NewLines(), QStringList({"Saving data to file: " + path, "Operation complete",
                                       "Saving data to file: " + folder + "/new.bin"}));
}

long PeakResidentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

TEST_F(FileMenu, PipesAndEndlessDevicesEndWithAMessageWithinASecond)
{
    SelectChip("ATmega8");
    NewLines();
    const auto timed = [](const std::function<void()>& f) {
        QElapsedTimer elapsed;
        elapsed.start();
        f();
        return elapsed.elapsed();
    };
    // A pipe that nobody writes to.
    const QString fifo = Path("nowriter.hex");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    openName = fifo;
    EXPECT_LT(timed([&] { form.LoadProgramfromFile1->trigger(); }), 1000);
    EXPECT_EQ(errors, QStringList({"Cannot open file " + fifo + "\nNothing writes to it"}));

    // A pipe that nobody reads: the save neither waits nor writes a file in its place.
    const QString sink = Path("noreader.hex");
    ASSERT_EQ(::mkfifo(QFile::encodeName(sink).constData(), 0600), 0);
    saveName = sink;
    EXPECT_LT(timed([&] { form.SaveProgramtoFile1->trigger(); }), 1000);
    EXPECT_EQ(errors.last(), "Cannot create file " + sink + "\nNothing reads from it");
    EXPECT_TRUE(QFileInfo(sink).isFile() == false);

    // /dev/zero under a .hex name: its first "line" never ends.
    const QString zero = Path("zero.hex");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    openName = zero;
    const long peak = PeakResidentKilobytes();
    EXPECT_LT(timed([&] { form.LoadProgramfromFile1->trigger(); }), 1000);
    EXPECT_EQ(NewLines().last(), QStringLiteral("Wrong file (bad record in line 1)"));

    // An endless stream of good records is refused at the bound, read with bounded memory.
    const QString stream = Path("endless.hex");
    ASSERT_EQ(::mkfifo(QFile::encodeName(stream).constData(), 0600), 0);
    const int writer = ::open(QFile::encodeName(stream).constData(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    std::atomic<bool> stop{false};
    std::thread feed([&] {
        std::string lines;
        for (int i = 0; i < 4096; ++i)
            lines += ":0100000001FE\r\n";
        std::size_t at = 0;  // writes to a full pipe may take part of the text only
        while (!stop) {
            const ssize_t n = ::write(writer, lines.data() + at, lines.size() - at);
            if (n > 0)
                at = (at + static_cast<std::size_t>(n)) % lines.size();
            else
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    openName = stream;
    errors.clear();
    form.LoadProgramfromFile1->trigger();
    stop = true;
    feed.join();
    ::close(writer);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith("Cannot open file " + stream + "\nIt holds more than 16 MB")) << errors[0].toStdString();
    EXPECT_LT(PeakResidentKilobytes() - peak, 8 * 1024);
}

TEST_F(FileMenu, ASlowLoadShowsTheProgressWindowAndTheWindowLivesOn)
{
    SelectChip("ATmega8");
    NewLines();
    const QString slow = Path("slow.hex");
    ASSERT_EQ(::mkfifo(QFile::encodeName(slow).constData(), 0600), 0);
    const int writer = ::open(QFile::encodeName(slow).constData(), O_RDWR);
    ASSERT_GE(writer, 0);
    std::thread feed([writer] {
        const std::string first = ":0100000042BD\r\n";
        [[maybe_unused]] ssize_t n = ::write(writer, first.data(), first.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const std::string rest = ":0100010043BB\r\n:00000001FF\r\n";
        n = ::write(writer, rest.data(), rest.size());
        ::close(writer);
    });
    int shown = 0;
    QObject::connect(&form.Runner(), &CommandRunner::ProgressWindowShown, &form, [&shown] { ++shown; });
    openName = slow;
    form.LoadProgramfromFile1->trigger();
    feed.join();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(form.Runner().CurrentBar(), nullptr);
    EXPECT_EQ(NewLines(), QStringList({"Loading program from file: " + slow, "Operation complete"}));
    EXPECT_EQ(Cell(form.Work().views[1].text, 0), "42");
    EXPECT_EQ(Cell(form.Work().views[1].text, 1), "43");
}

}  // namespace
}  // namespace velmora
