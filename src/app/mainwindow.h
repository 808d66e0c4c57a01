#pragma once
// The main window Form1: menus, the connection and operation buttons, the two pages of
// hex views, the log, and the handlers of the commands this window owns itself.

#include "app/lockfusesform.h"
#include "batch/chiprecord.h"
#include "chips/filecommands.h"
#include "link/gatewaylink.h"
#include "log/operationlog.h"
#include "ops/chipjob.h"
#include "session/session.h"
#include "views/workspace.h"

#include <QMainWindow>

#include <array>
#include <QMap>

#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSettings;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QSlider;
class QTabWidget;
class QThread;
class QWidget;

namespace velmora {

enum class MemoryCommand;
class AboutBox;
class HexDumpView;
class CommandRunner;

// The fonts of the original design, or the platform's own where they are not installed.
QFont FixedFont(int pixelHeight = 13);
QFont WindowFont();
// The Delays value as shown beside the track bar: "1 ms".
QString DelaysText(int milliseconds);
// The window's question when the chip in the socket is not the selected one: both chips named
// (OtherChipText) and whether to go on with the selected chip's algorithm.
QString OtherChipQuestion(const ChipEntry& selected, SignatureCode found);

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    // Makes the link for a port box text and tells the device path it will open.
    using LinkFactory = std::function<std::unique_ptr<GatewayLink>(const QString& portText, QString* devicePath)>;
    // Shows the save dialog and returns the chosen file, or an empty string on cancel.
    using SaveFileChooser = std::function<QString(QFileDialog& dialog)>;
    using ErrorReporter = std::function<void(const QString& text)>;
    // Asks a Yes/No question before a command that changes the chip; true for Yes.
    using QuestionAsker = std::function<bool(const QString& text)>;

    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    OperationLog& Log() { return log_; }
    // Widens the port box for texts it may hold besides its items (the virtual chip names).
    void FitPortBox(const QStringList& texts);
    int DelaysValue() const { return session_.DelaysValue(); }
    bool IsConnected() const;
    // The gateway work of this window: its link, its chip commands.
    Session& GatewaySession() { return session_; }
    CommandRunner& Runner() { return *runner_; }

    void SetLinkFactory(LinkFactory factory);
    void SetPortLinkFactory(PortLinkFactory factory) { session_.SetLinkFactory(std::move(factory)); }
    void SetSaveFileChooser(SaveFileChooser chooser) { saveFileChooser_ = std::move(chooser); }
    // The same for the open dialog.
    void SetOpenFileChooser(SaveFileChooser chooser) { openFileChooser_ = std::move(chooser); }
    void SetErrorReporter(ErrorReporter reporter) { errorReporter_ = std::move(reporter); }
    void SetQuestionAsker(QuestionAsker asker) { questionAsker_ = std::move(asker); }
    // The window's question: caption "Warning", Yes and No, the warning icon, No the default.
    static bool AskWarning(QWidget* parent, const QString& text);

    // Handlers, named after the controls they serve.
    void Button1Click();
    void Button2Click();
    void ComboBox1Change();
    void Exit1Click();
    void TrackBar1Change();
    void SaveLogas1Click();
    // File menu: the program (flash) and data (EEPROM) images from and to files.
    void LoadProgramfromFile1Click();
    void SaveProgramtoFile1Click();
    void Open1Click();
    void Save1Click();
    // Any image file (Intel HEX, S-record, ELF, binary), for a file given at start or dropped
    // on the window: the program memory, the EEPROM too when the file holds EEPROM data, and
    // its lock and fuse bytes offered to the Lock & Fuses dialog. Before a chip is selected the
    // file waits and is loaded by the selection.
    void LoadAnyImageFile(const QString& name);
    // The lock and fuse bytes of the last file loaded, offered to the Lock & Fuses dialog.
    const FileFuseBytes& FileFuses() const { return fileFuses_; }
    void About1Click();
    void KV4417Connection1Click();
    // Edit menu: the Lock & Fuses dialog, shown modally.
    void LockFuses1Click();
    // F5: Autosearch while no chip is selected, Read Program once one is.
    void AutosearchOrRead1Click();
    // What the Lock & Fuses dialog works with: this run's chip, the link on the worker thread.
    TLockFusesForm::Host LockFusesHost();
    void ShowConnected();
    void ShowDisconnected();

    // Remembered between runs (windowhabits.cpp): the port text, the last folder, the recent
    // files and the window's geometry; never a chip or a connection. A file that cannot be read
    // is ignored, with one log line, and left as it is.
    void UseSettings(std::unique_ptr<QSettings> settings);
    void SaveSettings();
    // A recent file: its path and whether it was a program (flash) or data (EEPROM) image.
    struct RecentFile {
        QString path;
        int kind = FlashKind;
    };
    const QList<RecentFile>& RecentFiles() const { return recentFiles_; }
    static constexpr int MaxRecentFiles = 8;
    // Loads a file (chosen, recent or dropped) into the page shown, program or data by kind.
    void LoadImageFileNamed(const QString& name, int kind);

    // The chip whose connection picture the window shows; null with no chip selected.
    const ChipEntry* CurrentPictureChip() const;
    // Its picture file ("ATmega8.jpg"), empty with no chip selected.
    virtual QString CurrentPictureFile() const;

    // The chip, its images and the view texts of this run.
    Workspace& Work() { return work_; }
    // Chip Select: the item's NiietMode, then the selection of its chip.
    void ChipItemClick(const ChipEntry& entry);
    // Autosearch chip.
    void Button3Click();
    // The memory commands (memorymenu.cpp), on the page shown.
    void Button4Click();   // Read Program
    void Button5Click();   // Write Program
    void Button6Click();   // Verify Program
    void Button7Click();   // Read Calibration
    void Button8Click();   // Read Data
    void Button9Click();   // Write Data
    void Button10Click();  // Verify Data
    void Button11Click();  // Chip Erase

    // Runs a chip command on the worker thread on a copy of the current chip, then takes the
    // copy's images, lock and fuse values and calibration bytes back: the way every command
    // that works on the chip runs. False when it did not end with success. note adds what the
    // command leaves in its record (Save Log as JSON Lines) besides the chip and the result.
    using RecordNote = void (*)(ChipRecord& record, const chip& c);
    bool RunChipJob(const ChipCommand& command, const QString& title = {}, RecordNote note = nullptr);
    // The same without the progress window's title and the status line; still recorded.
    bool RecordedJob(const ChipCommand& command, const QString& title, RecordNote note);
    bool AskQuestion(const QString& text);
    // The same question asked by a running job from the worker thread (or on this thread).
    bool AskFromJob(const QString& text);
    // The check before a command erases or writes: another chip in the socket, or none, is
    // asked about (OtherChipQuestion), No going on with nothing changed.
    SocketCheck AskingSocketCheck();
    // The editing keys of the four dump views and the ID bytes field.
    void RichEdit1KeyDown(QKeyEvent* key) { DumpViewKeyDown(1, key); }
    void RichEdit2KeyDown(QKeyEvent* key) { DumpViewKeyDown(2, key); }
    void RichEdit3KeyDown(QKeyEvent* key) { DumpViewKeyDown(3, key); }
    void RichEdit4KeyDown(QKeyEvent* key) { DumpViewKeyDown(4, key); }
    // Returns whether the key was consumed (all but the arrow keys are).
    bool Edit2KeyDown(QKeyEvent* key);

    // The views of the page shown (the active page rule).
    std::size_t ActiveFlashView() const;
    std::size_t ActiveEepromView() const;
    // Image to view and back, for the commands that read, write and load; the widgets follow.
    void RenderView(std::size_t view, int kind);
    void ParseView(std::size_t view, int kind);
    // Shows the workspace's texts in the chip fields and the four views.
    void ShowWorkspace();
    HexDumpView* HexView(int view) const;

    // Controls, with the form's names.
    QPushButton *Button1, *Button2, *Button3, *Button4, *Button5, *Button6, *Button7, *Button8, *Button9,
        *Button10, *Button11;
    QComboBox* ComboBox1;
    QLineEdit *Edit1, *Edit2;
    QLabel *Label1, *Label2, *Label16;
    QLabel* DelaysLabel;  // the track bar's value with its unit
    QSlider* TrackBar1;
    // "Verify after writing": Write Program and Write Data read the chip back and compare.
    QCheckBox* VerifyCheckBox;
    QTabWidget* PageControl1;
    QWidget *TabSheet1, *TabSheet2;
    HexDumpView *RichEdit1, *RichEdit2, *RichEdit3, *RichEdit4;
    QPlainTextEdit* RichEdit5;
    QPlainTextEdit* Memo1;
    // The two file dialogs, made on first use (they cost start-up time and memory); each keeps
    // its folder and file type from one use to the next.
    QFileDialog* OpenDialog1();
    QFileDialog* SaveDialog1();
    // "Save Log as...": rich text, .rtf suggested.
    QFileDialog* SaveLogDialog1();
    // The folder the next file dialog starts in: the last one used, the home folder at first.
    QString LastFolder() const { return lastFolder_; }
    QAction *LoadProgramfromFile1, *SaveProgramtoFile1, *Open1, *Save1, *SaveLogas1, *Exit1, *LockFuses1, *About1,
        *KV4417Connection1, *AutosearchOrRead1;
    QMenu *File1, *Edit3, *ChipSelect1, *Help1;
    QMenu* RecentFiles1;  // the files last loaded or saved, newest first
    // The status bar: the last command's result (coloured by how it ended) and the connection.
    QLabel *ResultLabel, *ConnectionLabel;
    // The Chip Select items by caption.
    QMap<QString, QAction*> ChipItems;
    AboutBox* AboutBox1;

protected:
    void closeEvent(QCloseEvent* event) override;
    // Files dropped on a page load into it: on a dump view into its memory, elsewhere by the
    // file's name (.eep is data, anything else program).
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildMenus();
    // The tooltips of the controls and the status tips of the menu items (windowhabits.cpp).
    void SetControlTips();
    void SetMenuTips();
    void ShowRecentFiles();
    void BuildStatusBar();
    void ShowConnectionState();
    // kind: a CommandResult::Kind.
    void ShowResult(const QString& text, int kind);
    // After a command that began when the log had firstLine lines: its result, and a lost link.
    // Returns the CommandResult::Kind shown.
    int CommandEnded(qsizetype firstLine);
    // The page shown (0 or 1), and what a question says about one of its memories: "the flash
    // of Page1, loaded from fw.hex".
    int PageShown() const;
    QString PageSource(int kind) const;
    // The page names follow their files ("Page1 - fw.hex").
    void ShowPageNames();
    // Before the pages are blanked for entry: true when nothing would be lost or the user agrees.
    bool MayChangeChipTo(const ChipEntry& entry);
    // The pages were laid out anew: no files, no edits.
    void PagesBlanked();
    void PageEdited(std::size_t view);
    // A memory of the page shown now matches the chip (read or written) or a file (saved).
    void PageMemoryStored(int kind, const QString& file);
    QList<QWidget*> ConnectionDependentButtons() const;
    void DumpViewKeyDown(std::size_t view, QKeyEvent* key);
    // The File menu's load and save commands for an ImageKind, on the page shown.
    void LoadImageFileClick(int kind);
    void SaveImageFileClick(int kind);
    // A file dialog started in the last folder; remembers the folder of the file chosen.
    QString ChooseFile(QFileDialog& dialog, const SaveFileChooser& chooser);
    // True when path does not exist or the user agrees to replace it.
    bool MayReplace(const QString& path);
    // A file loaded or saved for an ImageKind on the page shown: recent files, the page's name.
    void FileUsed(const QString& path, int kind);
    ImageFileTarget ActiveImageFile(int kind);
    FileCommandContext FileContext();
    void MemoryCommandClick(MemoryCommand command, const QString& title);
    // A file given before any chip was selected, once one is.
    void LoadWaitingFile();

    // Shows a new log line; while lines come, the log follows its end.
    void AppendLogLine(const QString& line);

    OperationLog log_;
    Workspace work_;
    QThread* portScan_ = nullptr;  // lists the serial ports present, once, at start
    QFileDialog* openDialog_ = nullptr;
    QFileDialog* saveDialog_ = nullptr;
    QFileDialog* saveLogDialog_ = nullptr;
    QString lastFolder_;
    QList<RecentFile> recentFiles_;
    QString connectedPort_;  // the port text of the last successful Connect
    // By page, then program (0) and data (1): the file the page's memory was last loaded from or
    // saved to, and whether the page was edited since it was last read, written or saved.
    std::array<std::array<QString, 2>, 2> pageFiles_;
    std::array<bool, 2> pageEdited_{};
    bool linkLost_ = false;  // the port was closed by a failed step, not by Disconnect
    std::unique_ptr<QSettings> settings_;
    // Its jobs run on runner_'s worker thread; declared first, so its link outlives that thread.
    Session session_{work_.chips, log_};
    QString runTitle_;  // the command the progress window names, while RunChipJob runs it
    // The record of every chip command since the start, one JSON line each (batch/chiprecord.h).
    QByteArray recordLines_;
    std::unique_ptr<CommandRunner> runner_;
    SaveFileChooser saveFileChooser_;
    SaveFileChooser openFileChooser_;
    ErrorReporter errorReporter_;
    QuestionAsker questionAsker_;
    FileFuseBytes fileFuses_;
    QString waitingFile_;
};

}  // namespace velmora
