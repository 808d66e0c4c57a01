// The File menu commands over real files: the format and name rules, the log lines, the
// message box texts, the views' part, and saving that never destroys the previous file.

#include "chips/filecommands.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <vector>

namespace velmora {
namespace {

TEST(FileNames, LoadDecidesByTheLastThreeCharacters)
{
    const struct {
        const char* name;
        std::optional<ImageFileFormat> format;
    } cases[] = {
        {"image.BIN", ImageFileFormat::Binary}, {"image.bin", ImageFileFormat::Binary},
        {"imagebin", ImageFileFormat::Binary},  {"/d/x.Bin", ImageFileFormat::Binary},
        {"image.hex", ImageFileFormat::IntelHex}, {"image.eep", ImageFileFormat::IntelHex},
        {"image.txt", std::nullopt}, {"image", std::nullopt},
        {"bin.hex", ImageFileFormat::IntelHex}, {"in", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LoadFormatFor(QString::fromLatin1(c.name)), c.format) << c.name;
}

TEST(FileNames, SaveFollowsTheTypedExtensionElseTheFilter)
{
    const struct {
        const char* name;
        int filterIndex;
        const char* saved;
        ImageFileFormat format;
    } cases[] = {
        {"fw", 1, "fw.hex", ImageFileFormat::IntelHex},
        {"fw.HEX", 1, "fw.HEX", ImageFileFormat::IntelHex},
        {"fw.hex", 1, "fw.hex", ImageFileFormat::IntelHex},
        {"fw.bin", 1, "fw.bin", ImageFileFormat::Binary},
        {"fw.BIN", 2, "fw.BIN", ImageFileFormat::Binary},
        {"fw.eep", 3, "fw.eep", ImageFileFormat::IntelHex},
        {".bin", 1, ".bin.hex", ImageFileFormat::IntelHex},
        {"fw.hex.txt", 3, "fw.hex.txt.bin", ImageFileFormat::Binary},
        {"fwhex", 1, "fwhex", ImageFileFormat::IntelHex},
        {"fw", 2, "fw.eep", ImageFileFormat::IntelHex},
        {"fw.hex", 2, "fw.hex", ImageFileFormat::IntelHex},
        {"fw.Eep", 2, "fw.Eep", ImageFileFormat::IntelHex},
        {"fw.hex", 3, "fw.hex", ImageFileFormat::IntelHex},
        {"fw.bin", 3, "fw.bin", ImageFileFormat::Binary},
        {"fw", 0, "fw.bin", ImageFileFormat::Binary},
        {"fw", 7, "fw.bin", ImageFileFormat::Binary},
        {"fw", 4, "fw.srec", ImageFileFormat::Srec},
        {"fw.SREC", 1, "fw.SREC", ImageFileFormat::Srec},
        {"fw.srec", 3, "fw.srec", ImageFileFormat::Srec},
    };
    for (const auto& c : cases) {
        const SaveTarget target = SaveTargetFor(QString::fromLatin1(c.name), c.filterIndex);
        EXPECT_EQ(target.name, QString::fromLatin1(c.saved)) << c.name << " " << c.filterIndex;
        EXPECT_EQ(target.format, c.format) << c.name << " " << c.filterIndex;
    }
}

class FileCommands : public testing::Test {
protected:
    static constexpr std::int32_t Atmega8 = 0x07931E;

    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    ImageFileTarget Program(std::uint32_t size)
    {
        return {FlashKind, flash, size, [this] { ++renders; }, [this] { ++parses; }};
    }
    ImageFileTarget Data(std::uint32_t size)
    {
        return {EepromKind, eeprom, size, [this] { ++renders; }, [this] { ++parses; }};
    }
    FileCommandContext Context()
    {
        return {log, [this](const QString& text) { errors.append(text); }, {}, {}};
    }

    // The first lines of the message boxes; every box says the system's reason on its second.
    QStringList Heads() const
    {
        QStringList heads;
        for (const QString& text : errors) {
            const QStringList lines = text.split(QLatin1Char('\n'));
            EXPECT_EQ(lines.size(), 2) << text.toStdString();
            EXPECT_FALSE(lines.last().isEmpty()) << text.toStdString();
            heads.append(lines.first());
        }
        return heads;
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

    QTemporaryDir dir;
    OperationLog log;
    QStringList errors;
    std::vector<std::uint8_t> flash = std::vector<std::uint8_t>(262144, 0xFF);
    std::vector<std::uint8_t> eeprom = std::vector<std::uint8_t>(65536, 0xFF);
    int renders = 0;
    int parses = 0;
};

TEST_F(FileCommands, LoadTellsTheFormatByContentThenByName)
{
    // Content wins over a misleading name; a binary file needs its name; a file that shows no
    // format is refused with a line that says so, and nothing is loaded.
    const struct {
        const char* name;
        QByteArray bytes;
        QString last;       // the last log line
        std::uint8_t first;  // flash[0] afterwards
    } cases[] = {
        {"hexnamed.bin", ":010000000CF3\n:00000001FF\n", "Operation complete", 0x0C},
        {"srecnamed.hex", "S10400000CEF\nS9030000FC\n", "Operation complete", 0x0C},
        {"plain.raw", QByteArray("\x0c\x94", 2), "Operation complete", 0x0C},
        {"noname", QByteArray("\x0c\x94", 2), "Wrong file" + UnknownFormatText(), 0xFF},
        {"notes.txt", "some text\n", "Wrong file" + UnknownFormatText(), 0xFF},
        {"damaged.hex", "some text\n", "Wrong file (bad record in line 1)", 0xFF},
        {"other.elf", QByteArray("\x7f" "ELF\x01\x01\x01", 7) + QByteArray(64, '\0'), "Wrong file (ELF file for another processor than AVR (machine 0))", 0xFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::fill(flash.begin(), flash.end(), 0xFF);
        WriteFile(Path(c.name), c.bytes);
        LoadImageFile(Path(c.name), Atmega8, Program(8192), Context());
        EXPECT_EQ(log.Lines().last(), c.last);
        EXPECT_EQ(flash[0], c.first);
    }
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_TRUE(UnknownFormatText().contains(QLatin1String("Motorola S-record")));
}

TEST_F(FileCommands, SrecSavesAndReloadsButElfIsNotWritten)
{
    for (std::size_t a = 0; a < 8192; ++a)
        flash[a] = static_cast<std::uint8_t>(a * 7);
    const std::vector<std::uint8_t> saved(flash.begin(), flash.begin() + 8192);
    SaveImageFile(Path("fw"), 4, Program(8192), Context());
    EXPECT_TRUE(FileBytes(Path("fw.srec")).startsWith("S0030000FC\r\nS113"));
    std::fill(flash.begin(), flash.end(), 0xFF);
    LoadImageFile(Path("fw.srec"), Atmega8, Program(8192), Context());
    EXPECT_TRUE(std::equal(saved.begin(), saved.end(), flash.begin()));

    EXPECT_FALSE(WriteImageFile(Path("fw.elf"), ImageFileFormat::Elf, Program(8192), Context()));
    EXPECT_EQ(Heads().last(), "Cannot create file " + Path("fw.elf"));
    EXPECT_FALSE(QFile::exists(Path("fw.elf")));
}

TEST_F(FileCommands, HexLoadLogsTheFileAndRedrawsTheView)
{
    const QString path = Path("prog.hex");
    WriteFile(path, ":020000000C945E\r\n:00000001FF\r\n");
    LoadImageFile(path, Atmega8, Program(8192), Context());
    EXPECT_EQ(log.Lines(), QStringList({"Loading program from file: " + path, "Operation complete"}));
    EXPECT_EQ(flash[0], 0x0C);
    EXPECT_EQ(flash[1], 0x94);
    EXPECT_EQ(flash[2], 0xFF);
    EXPECT_EQ(renders, 1);
    EXPECT_TRUE(errors.isEmpty());

    const QString data = Path("data.eep");
    WriteFile(data, ":0100030077850");  // no end record: loaded, with a warning for a file cut short
    LoadImageFile(data, Atmega8, Data(512), Context());
    EXPECT_EQ(log.Lines().mid(2), QStringList({"Loading data from file: " + data,
                                               "Warning: the file has no end record; it may be cut short after line 1"}));
    EXPECT_EQ(eeprom[3], 0x77);
    EXPECT_EQ(renders, 2);
}

TEST_F(FileCommands, DamagedFilesAreRefusedWithTheirLineAndChangeNothing)
{
    // The start address records that avr-objcopy writes for every program linked away from 0
    // (bootloaders) carry no data: the load goes on past them and completes. Every other
    // stop refuses the whole file: not one byte of it reaches the image, which could go on
    // into the chip.
    const struct {
        const char* record;
        const char* line;
        bool loaded;
    } cases[] = {
        {":0400000300001234B3", "Operation complete", true},
        {":0400000500001234B1", "Operation complete", true},
        {":00000006FA", "Wrong file (unknown format)", false},
        {":04000000AABB", "Wrong file (bad record in line 2)", false},
        {":0100010022DD", "Wrong file (checksum wrong in line 2)", false},
        {":0100010022", "Wrong file (checksum missing in line 2)", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.record);
        std::fill(flash.begin(), flash.end(), 0xFF);
        const QString path = Path("wrong.hex");
        WriteFile(path, QByteArray(":0100000011EE\r\n") + c.record + "\r\n:0100010022DC\r\n:00000001FF\r\n");
        const int before = renders;
        const qsizetype lines = log.Lines().size();
        std::vector<std::uint8_t> defined;
        ImageFileTarget target = Program(8192);
        target.defined = &defined;
        EXPECT_EQ(ReadHexFile(path, target, Context()), c.loaded);
        EXPECT_EQ(log.Lines().mid(lines), QStringList({"Loading program from file: " + path, c.line}));
        EXPECT_EQ(flash[0], c.loaded ? 0x11 : 0xFF);
        EXPECT_EQ(flash[1], c.loaded ? 0x22 : 0xFF);
        EXPECT_EQ(renders, before + (c.loaded ? 1 : 0));
        EXPECT_EQ(defined.size(), c.loaded ? 8192u : 0u);
    }
}

TEST_F(FileCommands, FilesWithoutDataAreRefused)
{
    const struct {
        QByteArray text;
        const char* line;
    } cases[] = {
        {"", "Wrong file (empty file, no data record)"},
        {":00000001FF\r\n", "Wrong file (no data record)"},
        {":020000040000FA\r\n\r\n", "Wrong file (no data record)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const QString path = Path("nodata.hex");
        WriteFile(path, c.text);
        const qsizetype lines = log.Lines().size();
        EXPECT_FALSE(ReadHexFile(path, Program(8192), Context()));
        EXPECT_EQ(log.Lines().mid(lines), QStringList({"Loading program from file: " + path, c.line}));
    }
    EXPECT_TRUE(std::all_of(flash.begin(), flash.end(), [](std::uint8_t b) { return b == 0xFF; }));
}

TEST_F(FileCommands, LoadWithNoChipSelectedLoadsNothing)
{
    const QString path = Path("prog.hex");
    WriteFile(path, ":0100000000FF\r\n:00000001FF");
    const QString bin = Path("prog.bin");
    WriteFile(bin, QByteArray(16, 0));
    LoadImageFile(path, 0, Program(0), Context());
    LoadImageFile(bin, 0, Data(0), Context());
    EXPECT_EQ(log.Lines(), QStringList({"No chip selected", "No chip selected"}));
    EXPECT_EQ(flash[0], 0xFF);
    EXPECT_EQ(eeprom[0], 0xFF);
    EXPECT_EQ(renders, 0);
}

TEST_F(FileCommands, UnreadableFilesEndWithTheMessageBox)
{
    // A missing file and a directory. The HEX reader has logged its line already; the binary
    // reader opens the file before it logs anything.
    for (const QString& path : {Path("missing.hex"), dir.path()}) {
        SCOPED_TRACE(path.toStdString());
        const qsizetype lines = log.Lines().size();
        errors.clear();
        ReadHexFile(path, Program(8192), Context());
        EXPECT_EQ(log.Lines().mid(lines), QStringList({"Loading program from file: " + path}));
        EXPECT_EQ(Heads(), QStringList({"Cannot open file " + path}));
        ReadBinFile(path, Data(512), Context());
        EXPECT_EQ(log.Lines().size(), lines + 1);
        EXPECT_EQ(Heads(), QStringList({"Cannot open file " + path, "Cannot open file " + path}));
    }
    EXPECT_EQ(renders, 0);
    EXPECT_TRUE(std::all_of(flash.begin(), flash.end(), [](std::uint8_t b) { return b == 0xFF; }));
}

TEST_F(FileCommands, EmptyHexFileIsRefusedInTheLogWithoutAMessageBox)
{
    const QString path = Path("empty.hex");
    WriteFile(path, "");
    LoadImageFile(path, Atmega8, Program(8192), Context());
    EXPECT_EQ(log.Lines(), QStringList({"Loading program from file: " + path, "Wrong file (empty file, no data record)"}));
    EXPECT_EQ(renders, 0);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(FileCommands, SaveTakesTheViewBackFirstAndWritesTheChosenFormat)
{
    // The view holds an edit the image does not have yet.
    ImageFileTarget program = Program(8192);
    program.parseView = [this] { flash[5] = 0x42; ++parses; };
    SaveImageFile(Path("fw"), 1, program, Context());
    const QByteArray hex = FileBytes(Path("fw.hex"));
    EXPECT_TRUE(hex.startsWith(":020000040000FA\r\n:08000000FFFFFFFFFF42FFFFBD\r\n"));
    EXPECT_TRUE(hex.endsWith("\r\n:00000001FF"));
    EXPECT_EQ(log.Lines(), QStringList({"Saving program to file: " + Path("fw.hex"), "Operation complete"}));
    EXPECT_EQ(parses, 1);
    EXPECT_EQ(renders, 0);

    // The program as Intel HEX into an .eep file: the memory by the command, the format by the filter.
    SaveImageFile(Path("fw"), 2, Program(8192), Context());
    EXPECT_EQ(FileBytes(Path("fw.eep")), hex);

    SaveImageFile(Path("fw.img"), 3, Program(8192), Context());
    QByteArray expected(8192, char(0xFF));
    expected[5] = 0x42;
    EXPECT_EQ(FileBytes(Path("fw.img.bin")), expected);

    // The data memory as Intel HEX in a .hex file carries no address record.
    eeprom[0] = 0x12;
    SaveImageFile(Path("data"), 1, Data(512), Context());
    const QByteArray data = FileBytes(Path("data.hex"));
    EXPECT_TRUE(data.startsWith(":0800000012FFFFFFFFFFFFFFED\r\n"));
    EXPECT_FALSE(data.contains(":02000004"));
    EXPECT_EQ(log.Lines().last(2), QStringList({"Saving data to file: " + Path("data.hex"), "Operation complete"}));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(FileCommands, SaveReplacesAnExistingFileWithoutAQuestion)
{
    const QString path = Path("fw.bin");
    WriteFile(path, QByteArray(5000, 'x'));
    SaveImageFile(path, 3, Program(1024), Context());
    EXPECT_EQ(FileBytes(path), QByteArray(1024, char(0xFF)));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(FileCommands, SaveBeforeAnyChipWasSelected)
{
    SaveImageFile(Path("none"), 1, Program(0), Context());
    SaveImageFile(Path("none"), 3, Data(0), Context());
    EXPECT_EQ(FileBytes(Path("none.hex")), QByteArray(":00000001FF"));
    EXPECT_EQ(FileBytes(Path("none.bin")), QByteArray());
    EXPECT_EQ(log.Lines(), QStringList({"Saving program to file: " + Path("none.hex"), "Operation complete",
                                        "Saving data to file: " + Path("none.bin"), "Operation complete"}));
}

TEST_F(FileCommands, UncreatableFileEndsWithTheMessageBox)
{
    for (const QString& path : {Path("no/such/folder/fw.hex"), dir.path()}) {
        SCOPED_TRACE(path.toStdString());
        const qsizetype lines = log.Lines().size();
        errors.clear();
        WriteHexFile(path, Program(8192), Context());
        EXPECT_EQ(log.Lines().mid(lines), QStringList({"Saving program to file: " + path}));
        EXPECT_EQ(Heads(), QStringList({"Cannot create file " + path}));
    }
    EXPECT_EQ(parses, 2);  // the view was taken back before the file was tried
}

TEST_F(FileCommands, IncompleteSaveKeepsThePreviousFile)
{
    const QString path = Path("fw.hex");
    const QByteArray previous(":0100000001FE\r\n:00000001FF");
    WriteFile(path, previous);

    // Files may grow to 4 KiB only: the 23 KiB of an 8 KiB program cannot be written.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    SaveImageFile(path, 1, Program(8192), Context());
    SaveImageFile(Path("fw"), 3, Program(8192), Context());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);

    EXPECT_EQ(FileBytes(path), previous);
    EXPECT_EQ(FileBytes(Path("fw.bin")), QByteArray("<missing>"));
    EXPECT_EQ(Heads(), QStringList({"Cannot create file " + path, "Cannot create file " + Path("fw.bin")}));
    EXPECT_FALSE(log.Lines().contains("Operation complete"));
    // No temporary file is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"fw.hex"}));
}

TEST_F(FileCommands, SaveToADeviceWritesToItAndKeepsTheNode)
{
    // A null device of our own: replacing it by a regular file would be the fault.
    const QString path = Path("null.bin");
    if (::mknod(path.toLocal8Bit().constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "cannot make a device node here (not root)";
    SaveImageFile(path, 3, Program(8192), Context());
    struct stat info {};
    ASSERT_EQ(::stat(path.toLocal8Bit().constData(), &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(log.Lines().last(), "Operation complete");
}

TEST_F(FileCommands, BinaryLoadUsesAsMuchAsTheMemoryHolds)
{
    const QString shortFile = Path("short.bin");
    WriteFile(shortFile, QByteArray(100, 0x11));
    LoadImageFile(shortFile, Atmega8, Program(1024), Context());
    EXPECT_TRUE(std::all_of(flash.begin(), flash.begin() + 100, [](std::uint8_t b) { return b == 0x11; }));
    EXPECT_TRUE(std::all_of(flash.begin() + 100, flash.end(), [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(log.Lines(), QStringList({"Loading program from file: " + shortFile, "Operation complete"}));

    const QString longFile = Path("IMAGEBIN");
    WriteFile(longFile, QByteArray(2048, 0x22));
    LoadImageFile(longFile, Atmega8, Program(1024), Context());
    EXPECT_TRUE(std::all_of(flash.begin(), flash.begin() + 1024, [](std::uint8_t b) { return b == 0x22; }));
    EXPECT_TRUE(std::all_of(flash.begin() + 1024, flash.end(), [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(renders, 2);
}

TEST_F(FileCommands, SaveThenLoadRestoresTheImageInBothFormats)
{
    for (int filterIndex : {1, 3}) {
        SCOPED_TRACE(filterIndex);
        for (std::size_t a = 0; a < 131072; ++a)
            flash[a] = static_cast<std::uint8_t>(a * 7 + a / 251 + static_cast<std::size_t>(filterIndex));
        const std::vector<std::uint8_t> saved = flash;
        SaveImageFile(Path("round"), filterIndex, Program(131072), Context());
        std::fill(flash.begin(), flash.end(), 0);
        LoadImageFile(Path(filterIndex == 1 ? "round.hex" : "round.bin"), Atmega8, Program(131072), Context());
        EXPECT_TRUE(std::equal(flash.begin(), flash.begin() + 131072, saved.begin()));
        EXPECT_TRUE(std::all_of(flash.begin() + 131072, flash.end(), [](std::uint8_t b) { return b == 0; }));
    }
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(FileCommands, ProgressReachesTheBarForEveryFormat)
{
    std::vector<int> percents;
    FileCommandContext context{log, [this](const QString& text) { errors.append(text); },
                               [&](int percent) { percents.push_back(percent); }, {}};
    WriteBinFile(Path("p.bin"), Program(4096), context);
    EXPECT_EQ(percents, (std::vector<int>{0, 25, 50, 75}));
    percents.clear();
    ReadBinFile(Path("p.bin"), Program(4096), context);
    EXPECT_EQ(percents, (std::vector<int>{0, 25, 50, 75}));
    percents.clear();
    WriteHexFile(Path("p.hex"), Program(2048), context);
    EXPECT_EQ(percents, (std::vector<int>{0, 50}));
}

}  // namespace
}  // namespace velmora
