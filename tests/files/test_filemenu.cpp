// The File menu in the main window: the menu items reach the commands, the active page's view
// is the one loaded and saved, and the save dialog shared with "Save Log as..." remembers the
// chosen file type.

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
    file.write(":040010000C9434C0D0\r\n:00000001FF\r\n");
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
    saveName = Path("data.hex");
    saveFilter = QStringLiteral("*.bin");
    form.Save1->trigger();
    const QString saved = Path("data.hex.bin");
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

    // "Save Log as..." uses the same dialog and leaves its type chosen for the next save.
    saveName = Path("log.rtf");
    saveFilter = QStringLiteral("*.bin");
    form.SaveLogas1->trigger();
    saveName = Path("b");
    saveFilter.clear();
    form.Save1->trigger();
    EXPECT_EQ(FileBytes(Path("b.bin")), QByteArray());
    EXPECT_EQ(form.SaveDialog1()->selectedNameFilter(), QStringLiteral("*.bin"));
    EXPECT_TRUE(errors.isEmpty());
}

}  // namespace
}  // namespace velmora
