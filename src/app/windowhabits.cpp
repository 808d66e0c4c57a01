// What users of desktop programs expect of Form1 beyond its designed controls: tooltips and
// status tips, the F5 key, settings kept between runs, recent files, files dropped on a page,
// and a status bar that always tells the connection and the last command's result.

#include "app/mainwindow.h"

#include "app/hexdumpview.h"
#include "log/commandresult.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>

#include <optional>

namespace velmora {

void Form1::SetControlTips()
{
    Button1->setToolTip(QStringLiteral("Open the port named in the box and greet the gateway"));
    Button2->setToolTip(QStringLiteral("Switch the supplies off and close the port"));
    Button3->setToolTip(QStringLiteral("Identify the chip in the socket by its signature (F5 while no chip is selected)"));
    Button4->setToolTip(QStringLiteral("Read the chip's flash into this page (F5 once a chip is selected)"));
    Button5->setToolTip(QStringLiteral("Erase the chip, then write this page's flash into it"));
    Button6->setToolTip(QStringLiteral("Compare the chip's flash with this page"));
    Button7->setToolTip(QStringLiteral("Read the chip's calibration bytes into the log"));
    Button8->setToolTip(QStringLiteral("Read the chip's EEPROM into this page"));
    Button9->setToolTip(QStringLiteral("Write this page's EEPROM into the chip"));
    Button10->setToolTip(QStringLiteral("Compare the chip's EEPROM with this page"));
    Button11->setToolTip(QStringLiteral("Erase the chip's flash, EEPROM and lock bits"));
    VerifyCheckBox->setToolTip(QStringLiteral("After Write Program and Write Data, read the chip back and compare it "
                                              "with the page; the first difference ends the write with its address"));
    ComboBox1->setToolTip(QStringLiteral("The gateway's serial port: pick one, or type COMn, a device path such as "
                                         "/dev/ttyUSB0, or virtual:CHIP for a simulated gateway"));
    Edit1->setToolTip(QStringLiteral("The chip selected from the Chip Select menu or found by Autosearch"));
    Edit2->setToolTip(QStringLiteral("The selected chip's three signature bytes"));
    const QString dumpTip = QStringLiteral(
        "Type hex digits over the bytes, or characters in the right-hand column. Ctrl+C copies, Ctrl+V pastes at "
        "the caret, Ctrl+Z undoes this page's last edit, Ctrl+G goes to an address. Drop a file here to load it.");
    for (int view = 1; view <= 4; ++view)
        HexView(view)->setToolTip(dumpTip);
    RichEdit5->setToolTip(QStringLiteral("Every step and result; File > Save Log as... keeps it"));
    for (int tab = 0; tab < PageControl1->count(); ++tab)
        PageControl1->setTabToolTip(tab, QStringLiteral("Two independent pages: the buttons and the File menu work "
                                                        "on the page shown"));
}

void Form1::SetMenuTips()
{
    const struct {
        QAction* action;
        const char* tip;
    } tips[] = {
        {LoadProgramfromFile1, "Load a flash image into the page shown"},
        {SaveProgramtoFile1, "Save the flash image of the page shown"},
        {Open1, "Load an EEPROM image into the page shown"},
        {Save1, "Save the EEPROM image of the page shown"},
        {SaveLogas1, "Save the log as a rich-text (.rtf) file"},
        {Exit1, "Close the port and quit"},
        {LockFuses1, "Read, change and write the chip's lock and fuse bits"},
        {AutosearchOrRead1, "Find the chip while none is selected, then read its flash"},
        {About1, "Version and help addresses"},
        {KV4417Connection1, "How the chip's pins go to the gateway"},
    };
    for (const auto& t : tips) {
        t.action->setStatusTip(QString::fromUtf8(t.tip));
        t.action->setToolTip(QString::fromUtf8(t.tip));
    }
}

void Form1::AutosearchOrRead1Click()
{
    if (!Button3->isEnabled()) {
        statusBar()->showMessage(QStringLiteral("Not connected: press Connect first"), 10000);
        return;
    }
    if (work_.CurrentChip().SignatureCode == 0)
        Button3Click();
    else
        Button4Click();
}

namespace {
const QString PortKey = QStringLiteral("port");
const QString FolderKey = QStringLiteral("folder");
const QString RecentKey = QStringLiteral("recent");
const QString GeometryKey = QStringLiteral("geometry");
const QString VerifyKey = QStringLiteral("verifyAfterWriting");
// A recent file as kept: "program" or "data", a tab, the path.
const QString ProgramTag = QStringLiteral("program");
const QString DataTag = QStringLiteral("data");
}  // namespace

void Form1::UseSettings(std::unique_ptr<QSettings> settings)
{
    settings_.reset();
    if (!settings)
        return;
    // A file that is there but cannot be read is not overwritten either: the user may mend it.
    if (settings->status() != QSettings::NoError) {
        log_.WriteLog(LogPlain, QStringLiteral("The settings file %1 cannot be read; the window starts without it")
                                    .arg(QDir::toNativeSeparators(settings->fileName())));
        return;
    }
    settings_ = std::move(settings);
    const QString port = settings_->value(PortKey).toString();
    if (!port.isEmpty())
        ComboBox1->setCurrentText(port);
    const QString folder = settings_->value(FolderKey).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        lastFolder_ = folder;
    recentFiles_.clear();
    for (const QString& entry : settings_->value(RecentKey).toStringList()) {
        const QString tag = entry.section(QLatin1Char('\t'), 0, 0);
        const QString path = entry.section(QLatin1Char('\t'), 1);
        if ((tag == ProgramTag || tag == DataTag) && !path.isEmpty() && recentFiles_.size() < MaxRecentFiles)
            recentFiles_.append({path, tag == ProgramTag ? FlashKind : EepromKind});
    }
    ShowRecentFiles();
    restoreGeometry(settings_->value(GeometryKey).toByteArray());
    VerifyCheckBox->setChecked(settings_->value(VerifyKey, true).toBool());
}

void Form1::SaveSettings()
{
    if (!settings_)
        return;
    settings_->setValue(PortKey, ComboBox1->currentText());
    settings_->setValue(FolderKey, lastFolder_);
    QStringList recent;
    for (const RecentFile& file : recentFiles_)
        recent << (file.kind == FlashKind ? ProgramTag : DataTag) + QLatin1Char('\t') + file.path;
    settings_->setValue(RecentKey, recent);
    settings_->setValue(GeometryKey, saveGeometry());
    settings_->setValue(VerifyKey, VerifyCheckBox->isChecked());
    settings_->sync();
}

void Form1::ShowRecentFiles()
{
    RecentFiles1->clear();
    int number = 0;
    for (const RecentFile& file : recentFiles_) {
        ++number;
        const QString what = file.kind == FlashKind ? QStringLiteral("program") : QStringLiteral("data");
        QAction* a = RecentFiles1->addAction(
            QStringLiteral("&%1 %2 (%3)").arg(number).arg(QFileInfo(file.path).fileName().replace(QLatin1Char('&'), QStringLiteral("&&")), what));
        a->setToolTip(QDir::toNativeSeparators(file.path));
        a->setStatusTip(a->toolTip());
        connect(a, &QAction::triggered, this, [this, file] { LoadImageFileNamed(file.path, file.kind); });
    }
    RecentFiles1->setEnabled(!recentFiles_.isEmpty());
}

void Form1::FileUsed(const QString& path, int kind)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    recentFiles_.removeIf([&](const RecentFile& f) { return f.path == absolute && f.kind == kind; });
    recentFiles_.prepend({absolute, kind});
    while (recentFiles_.size() > MaxRecentFiles)
        recentFiles_.removeLast();
    lastFolder_ = QFileInfo(absolute).absolutePath();
    ShowRecentFiles();
    SaveSettings();
}

namespace {
// The local files of a drag; none for anything else (text, web addresses).
QStringList LocalFiles(const QMimeData* data)
{
    QStringList files;
    if (data && data->hasUrls())
        for (const QUrl& url : data->urls())
            if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
                files << url.toLocalFile();
    return files;
}
}  // namespace

void Form1::dragEnterEvent(QDragEnterEvent* event)
{
    if (!LocalFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Form1::dragMoveEvent(QDragMoveEvent* event)
{
    if (!LocalFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event)
{
    const QStringList files = LocalFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    // The memory of the dump view under the drop, else the one the file's name suggests.
    std::optional<int> kind;
    for (QWidget* w = childAt(event->position().toPoint()); w && !kind; w = w->parentWidget()) {
        if (w == RichEdit1 || w == RichEdit2)
            kind = FlashKind;
        else if (w == RichEdit3 || w == RichEdit4)
            kind = EepromKind;
    }
    const QString& file = files.first();
    if (!kind)
        kind = file.endsWith(QStringLiteral(".eep"), Qt::CaseInsensitive) ? EepromKind : FlashKind;
    LoadImageFileNamed(file, *kind);
    if (files.size() > 1)
        statusBar()->showMessage(QStringLiteral("Loaded %1 only: a page takes one file at a time")
                                     .arg(QFileInfo(file).fileName()),
                                 10000);
}

void Form1::BuildStatusBar()
{
    ResultLabel = new QLabel(statusBar());
    ResultLabel->setObjectName(QStringLiteral("ResultLabel"));
    ResultLabel->setToolTip(QStringLiteral("How the last command ended; the log above has every step"));
    statusBar()->addWidget(ResultLabel, 1);
    ConnectionLabel = new QLabel(statusBar());
    ConnectionLabel->setObjectName(QStringLiteral("ConnectionLabel"));
    ConnectionLabel->setToolTip(QStringLiteral("The gateway's connection and the chip selected"));
    statusBar()->addPermanentWidget(ConnectionLabel);
}

void Form1::ShowConnectionState()
{
    const QString chipName = work_.CurrentChip().SignatureCode == 0 ? QStringLiteral("no chip selected")
                                                                     : QStringLiteral("chip %1").arg(Edit1->text());
    QString text;
    QString colour;
    if (IsConnected() && !Button1->isEnabled()) {
        text = QStringLiteral("Connected to %1, %2").arg(connectedPort_, chipName);
    } else if (linkLost_) {
        text = QStringLiteral("Link to %1 lost: press Connect, %2").arg(connectedPort_, chipName);
        colour = QStringLiteral("#c00000");
    } else {
        text = QStringLiteral("Not connected, %1").arg(chipName);
    }
    ConnectionLabel->setText(text);
    ConnectionLabel->setStyleSheet(colour.isEmpty() ? QString() : QStringLiteral("QLabel { color: %1; }").arg(colour));
}

void Form1::ShowResult(const QString& text, int kind)
{
    static const char* const Colours[] = {"", "#1b7f1b", "#b35c00", "#c00000"};
    ResultLabel->setText(text);
    const char* colour = kind >= 0 && kind < 4 ? Colours[kind] : "";
    ResultLabel->setStyleSheet(*colour ? QStringLiteral("QLabel { color: %1; font-weight: bold; }").arg(QLatin1String(colour))
                                       : QString());
    statusBar()->clearMessage();
}

int Form1::CommandEnded(qsizetype firstLine)
{
    const CommandResult result = ResultOfCommand(log_.Lines().mid(firstLine));
    if (result.kind != CommandResult::None)
        ShowResult(result.text, result.kind);
    // A step that got no answer closed the port: say so once, and offer Connect again rather
    // than leave a window that looks connected to a gateway that is gone.
    if (!Button1->isEnabled() && !IsConnected()) {
        log_.WriteLog(LogPlain, QStringLiteral("The gateway stopped answering and its port %1 was closed: check the cable "
                                               "and the gateway's power, then press Connect")
                                    .arg(connectedPort_));
        linkLost_ = true;
        ShowDisconnected();
    }
    return result.kind;
}

int Form1::PageShown() const
{
    return PageControl1->currentIndex() == 1 ? 1 : 0;
}

QString Form1::PageSource(int kind) const
{
    const int page = PageShown();
    const QString& file = pageFiles_[std::size_t(page)][kind == FlashKind ? 0 : 1];
    const QString memory = kind == FlashKind ? QStringLiteral("flash") : QStringLiteral("EEPROM");
    const QString name = QStringLiteral("Page%1").arg(page + 1);
    if (file.isEmpty())
        return QStringLiteral("the %1 of %2, as the page shows it (no file loaded)").arg(memory, name);
    return QStringLiteral("the %1 of %2, loaded from %3%4")
        .arg(memory, name, QFileInfo(file).fileName(),
             pageEdited_[std::size_t(page)] ? QStringLiteral(" and edited") : QString());
}

void Form1::ShowPageNames()
{
    for (int page = 0; page < 2; ++page) {
        QStringList files;
        for (const QString& file : pageFiles_[std::size_t(page)])
            if (!file.isEmpty())
                files << QFileInfo(file).fileName();
        QString name = QStringLiteral("Page%1").arg(page + 1);
        if (!files.isEmpty())
            name += QStringLiteral(" - ") + files.join(QStringLiteral(", "));
        if (pageEdited_[std::size_t(page)])
            name += QStringLiteral(" *");
        PageControl1->setTabText(page, name.replace(QLatin1Char('&'), QStringLiteral("&&")));
    }
}

bool Form1::MayChangeChipTo(const ChipEntry& entry)
{
    if (work_.CurrentChip().SignatureCode == 0 || work_.Shows(entry))
        return true;
    QStringList held;
    for (int page = 0; page < 2; ++page) {
        QStringList what;
        for (const QString& file : pageFiles_[std::size_t(page)])
            if (!file.isEmpty())
                what << QFileInfo(file).fileName();
        if (pageEdited_[std::size_t(page)])
            what << QStringLiteral("unsaved edits");
        if (!what.isEmpty())
            held << QStringLiteral("Page%1 holds %2.").arg(page + 1).arg(what.join(QStringLiteral(" and ")));
    }
    if (held.isEmpty())
        return true;
    return AskQuestion(QStringLiteral("%1\nSelecting %2 blanks both pages. Select it?")
                           .arg(held.join(QLatin1Char(' ')), QString::fromUtf8(entry.name.data(), qsizetype(entry.name.size()))));
}

void Form1::PagesBlanked()
{
    for (auto& files : pageFiles_)
        files.fill(QString());
    pageEdited_.fill(false);
    ShowPageNames();
}

void Form1::PageMemoryStored(int kind, const QString& file)
{
    const std::size_t page = std::size_t(PageShown());
    pageFiles_[page][kind == FlashKind ? 0 : 1] = file;
    pageEdited_[page] = false;
    ShowPageNames();
}

}  // namespace velmora
