#include "app/mainwindow.h"

#include "app/aboutbox.h"
#include "app/commandrunner.h"
#include "app/hexdumpview.h"
#include "app/imageform.h"
#include "log/commandresult.h"
#include "link/serialport.h"
#include "log/filebytes.h"
#include "log/rtfwriter.h"
#include "log/text.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabWidget>
#include <QThread>
#include <QVBoxLayout>

#include <array>
#include <optional>

namespace velmora {

namespace {

const QString JsonLinesFilter = QStringLiteral("JSON Lines, one record per command (*.jsonl)");
// Looks the family up among the installed ones. Matching a font instead (QFontInfo) would run
// the whole fallback search for a family that is missing, which costs more start-up time than
// the rest of the window.
bool FamilyInstalled(const QString& family)
{
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

// The filter of both file dialogs: "*.hex|*.hex|*.eep|*.eep|*.bin|*.bin", and S-records fourth.
const QStringList FileFilters = {QStringLiteral("*.hex"), QStringLiteral("*.eep"), QStringLiteral("*.bin"),
                                 QStringLiteral("*.srec")};
// The open dialog also shows the files that are read but never written, and all of them at once.
const QStringList OpenOnlyFilters = {QStringLiteral("*.elf"),
                                     QStringLiteral("Image files (*.hex *.eep *.bin *.raw *.srec *.s19 *.s28 *.s37 *.elf)")};

QFileDialog* MakeFileDialog(QWidget* parent, QFileDialog::AcceptMode mode, const QString& name)
{
    auto* dialog = new QFileDialog(parent);
    dialog->setObjectName(name);
    dialog->setAcceptMode(mode);
    dialog->setNameFilters(mode == QFileDialog::AcceptOpen ? FileFilters + OpenOnlyFilters : FileFilters);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog->setOption(QFileDialog::ReadOnly, false);
    dialog->setSizeGripEnabled(true);
    // The open dialog takes names of files that do not exist too; the load then says it cannot open them.
    dialog->setFileMode(QFileDialog::AnyFile);
    // A file name typed into the dialog opens the completion list; it goes with the dialog
    // instead of staying over the window until the next click.
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog] {
        for (QCompleter* completer : dialog->findChildren<QCompleter*>())
            if (completer->popup())
                completer->popup()->hide();
    });
    return dialog;
}

// The designed size is the smallest; the views grow with the window.
HexDumpView* MakeView(QWidget* parent, const QString& name, QSize size)
{
    auto* view = new HexDumpView(parent);
    view->setObjectName(name);
    view->setMinimumSize(size);
    view->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return view;
}

// The Chip Select submenus. Their items are the catalogue's entries in catalogue order; the
// first submenu also lists the AT90C8534, which the design shows disabled, with no chip behind it.
struct ChipSubmenu {
    const char* title;
    const char* name;
};
constexpr ChipSubmenu ChipSubmenus[] = {
    {"AT&90...", "AT901"}, {"AVR &tiny", "AVRtiny1"}, {"AVR &mega", "AVRmega1"}, {"&НИИЭТ", "N3"}};

std::size_t SubmenuOf(const ChipEntry& entry)
{
    if (entry.niiet)
        return 3;
    if (entry.name.starts_with("ATtiny"))
        return 1;
    if (entry.name.starts_with("ATmega"))
        return 2;
    return 0;
}
}  // namespace

QString DelaysText(int milliseconds)
{
    return QStringLiteral("%1 ms").arg(milliseconds);
}

QFont FixedFont(int pixelHeight)
{
    // Asked once: every view and field takes the same answer.
    static const bool courierNew = FamilyInstalled(QStringLiteral("Courier New"));
    QFont font = courierNew ? QFont(QStringLiteral("Courier New")) : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(pixelHeight);
    return font;
}

QFont WindowFont()
{
    QFont font = FamilyInstalled(QStringLiteral("MS Sans Serif")) ? QFont(QStringLiteral("MS Sans Serif"))
                                                                  : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(8);
    return font;
}

Form1::Form1(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Velmora"));
    setFont(WindowFont());
    runner_ = std::make_unique<CommandRunner>(this);
    session_.SetExecutor([this](const Session::WorkerJob& job) { return runner_->Run(job, runTitle_); });
    session_.SetCancelToken(runner_->Cancel());
    saveFileChooser_ = [](QFileDialog& dialog) {
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                        : QString();
    };
    openFileChooser_ = saveFileChooser_;
    errorReporter_ = [this](const QString& text) { QMessageBox::critical(this, windowTitle(), text); };
    questionAsker_ = [this](const QString& text) { return AskWarning(this, text); };

    BuildControls();
    BuildMenus();
    SetControlTips();
    lastFolder_ = QDir::homePath();
    setAcceptDrops(true);
    AboutBox1 = new AboutBox(this);

    // Lines may come from the worker thread; they reach the view in order through the queue.
    log_.SetSink([this](const QString& line) {
        QMetaObject::invokeMethod(RichEdit5, [this, line] { AppendLogLine(line); }, Qt::AutoConnection);
    });

    ShowDisconnected();
    // The window starts at the size its controls were designed for, which is also its least.
    setMinimumSize(minimumSizeHint());
    resize(minimumSizeHint());
    session_.SetDelaysValue(TrackBar1->value());
}

Form1::~Form1()
{
    portScan_->wait();
    delete portScan_;
    // The port is released without a line, as when the process ends.
    if (session_.HasLink())
        runner_->RunQuietly([this] { session_.Release(); });
    log_.SetSink({});
}

void Form1::BuildControls()
{
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(4);

    auto* panel1 = new QFrame(central);
    panel1->setObjectName(QStringLiteral("Panel1"));
    panel1->setFrameShape(QFrame::StyledPanel);
    panel1->setMinimumSize(685, 129);
    panel1->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* grid = new QGridLayout(panel1);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);

    auto button = [panel1](const QString& name, const QString& caption) {
        auto* b = new QPushButton(caption, panel1);
        b->setObjectName(name);
        return b;
    };
    Button1 = button(QStringLiteral("Button1"), QStringLiteral("Connect"));
    Button2 = button(QStringLiteral("Button2"), QStringLiteral("Disconnect"));
    ComboBox1 = new QComboBox(panel1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->addItems(ComPortItems());
    // Asking the system for its serial ports takes longer than the rest of the start: the
    // window comes up first, and the ports join the list where they belong when they are known.
    portScan_ = QThread::create([this] {
        const QStringList present = PresentPortItems();
        QMetaObject::invokeMethod(ComboBox1, [this, present] {
            if (present.isEmpty())
                return;
            int at = static_cast<int>(OrderedPortItems(present).indexOf(present.first()));
            for (const QString& path : present)
                if (ComboBox1->findText(path) < 0)
                    ComboBox1->insertItem(at++, path);
        }, Qt::QueuedConnection);
    });
    portScan_->start();
    ComboBox1->setCurrentIndex(0);
    FitPortBox({});
    Button3 = button(QStringLiteral("Button3"), QStringLiteral("Autosearch\nchip"));
    Button3->setText(QStringLiteral("Autosearch chip"));
    Button3->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);

    Label2 = new QLabel(QStringLiteral("Chip name:"), panel1);
    Edit1 = new QLineEdit(QStringLiteral("None"), panel1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setReadOnly(true);
    Label16 = new QLabel(QStringLiteral("ID bytes:"), panel1);
    Edit2 = new QLineEdit(QStringLiteral("FF FF FF"), panel1);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    // Edited in place by Edit2KeyDown only: it keeps a caret, but nothing is typed, pasted or
    // dropped into it.
    Edit2->setMaxLength(8);
    Edit2->setContextMenuPolicy(Qt::NoContextMenu);
    Edit2->setAcceptDrops(false);
    Edit2->setAttribute(Qt::WA_InputMethodEnabled, false);
    Edit2->setFont(FixedFont());
    const QString infoTip = QStringLiteral("QLineEdit { background: #ffffe1; }");
    Edit1->setStyleSheet(infoTip);
    Edit2->setStyleSheet(QStringLiteral("QLineEdit { background: #ffffe1; color: #ff0000; }"));
    Edit2->setFixedWidth(90);

    Label1 = new QLabel(QStringLiteral("Delays value:"), panel1);
    TrackBar1 = new QSlider(Qt::Horizontal, panel1);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setRange(0, 5);
    TrackBar1->setTickInterval(1);
    TrackBar1->setSingleStep(1);
    TrackBar1->setPageStep(1);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    TrackBar1->setValue(1);
    TrackBar1->setToolTip(QStringLiteral("The pause after each power step and pulse, 0 to 5 ms. Raise it when a "
                                         "chip misses steps; lower it for faster work."));
    DelaysLabel = new QLabel(panel1);
    DelaysLabel->setObjectName(QStringLiteral("DelaysLabel"));
    DelaysLabel->setToolTip(TrackBar1->toolTip());
    // Room for the widest value, so the slider keeps its length while it moves.
    DelaysLabel->setMinimumWidth(DelaysLabel->fontMetrics().horizontalAdvance(DelaysText(5)));
    DelaysLabel->setText(DelaysText(TrackBar1->value()));

    Button4 = button(QStringLiteral("Button4"), QStringLiteral("Read Program"));
    Button8 = button(QStringLiteral("Button8"), QStringLiteral("Read Data"));
    Button5 = button(QStringLiteral("Button5"), QStringLiteral("Write Program"));
    Button9 = button(QStringLiteral("Button9"), QStringLiteral("Write Data"));
    Button6 = button(QStringLiteral("Button6"), QStringLiteral("Verify Program"));
    Button10 = button(QStringLiteral("Button10"), QStringLiteral("Verify Data"));
    Button7 = button(QStringLiteral("Button7"), QStringLiteral("Read Calibration"));
    Button11 = button(QStringLiteral("Button11"), QStringLiteral("Chip Erase"));
    Button11->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    VerifyCheckBox = new QCheckBox(QStringLiteral("Verify after writing"), panel1);
    VerifyCheckBox->setObjectName(QStringLiteral("VerifyCheckBox"));
    VerifyCheckBox->setChecked(true);

    // Connect column | Autosearch | chip name, ID bytes, delays | operation block | Chip Erase
    grid->addWidget(Button1, 0, 0);
    grid->addWidget(Button2, 1, 0);
    grid->addWidget(ComboBox1, 2, 0);
    grid->addWidget(Button3, 0, 1, 2, 1);
    auto* chipBox = new QGridLayout;
    chipBox->addWidget(Label2, 0, 0);
    chipBox->addWidget(Label16, 0, 1);
    chipBox->addWidget(Edit1, 1, 0);
    chipBox->addWidget(Edit2, 1, 1);
    grid->addLayout(chipBox, 0, 2, 2, 4);
    auto* delays = new QHBoxLayout;
    delays->addWidget(Label1);
    delays->addWidget(TrackBar1, 1);
    delays->addWidget(DelaysLabel);
    grid->addLayout(delays, 2, 1, 1, 2);
    grid->addWidget(Button4, 2, 3);
    grid->addWidget(Button5, 2, 4);
    grid->addWidget(Button6, 2, 5);
    grid->addWidget(Button8, 3, 3);
    grid->addWidget(Button9, 3, 4);
    grid->addWidget(Button10, 3, 5);
    // The option of the two writes sits under them.
    grid->addWidget(Button7, 4, 3);
    grid->addWidget(VerifyCheckBox, 4, 4, 1, 2);
    grid->addWidget(Button11, 2, 6, 3, 1);
    column->addWidget(panel1);

    PageControl1 = new QTabWidget(central);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setMinimumSize(685, 273);
    auto page = [this](const QString& sheetName, const QString& flashName, const QString& eepromName,
                       HexDumpView** flash, HexDumpView** eeprom) {
        auto* sheet = new QWidget(PageControl1);
        sheet->setObjectName(sheetName);
        auto* lines = new QVBoxLayout(sheet);
        lines->setContentsMargins(2, 2, 2, 2);
        lines->setSpacing(1);
        lines->addWidget(new QLabel(QStringLiteral("Program Memory (Flash):"), sheet));
        *flash = MakeView(sheet, flashName, QSize(677, 137));
        lines->addWidget(*flash, 2);
        lines->addWidget(new QLabel(QStringLiteral("Data Memory (EEPROM):"), sheet));
        *eeprom = MakeView(sheet, eepromName, QSize(677, 65));
        lines->addWidget(*eeprom, 1);
        return sheet;
    };
    TabSheet1 = page(QStringLiteral("TabSheet1"), QStringLiteral("RichEdit1"), QStringLiteral("RichEdit3"), &RichEdit1,
                     &RichEdit3);
    TabSheet2 = page(QStringLiteral("TabSheet2"), QStringLiteral("RichEdit2"), QStringLiteral("RichEdit4"), &RichEdit2,
                     &RichEdit4);
    PageControl1->addTab(TabSheet1, QStringLiteral("Page1"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Page2"));
    PageControl1->setCurrentIndex(0);
    column->addWidget(PageControl1, 3);

    auto* panel3 = new QFrame(central);
    panel3->setObjectName(QStringLiteral("Panel3"));
    panel3->setMinimumSize(685, 129);
    auto* logColumn = new QVBoxLayout(panel3);
    logColumn->setContentsMargins(2, 2, 2, 2);
    logColumn->setSpacing(1);
    logColumn->addWidget(new QLabel(QStringLiteral("Log:"), panel3));
    RichEdit5 = new QPlainTextEdit(panel3);
    RichEdit5->setObjectName(QStringLiteral("RichEdit5"));
    RichEdit5->setReadOnly(true);
    RichEdit5->setFont(FixedFont());
    RichEdit5->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit5->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit5->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit5->setStyleSheet(QStringLiteral("QPlainTextEdit { background: #fffbf0; }"));
    logColumn->addWidget(RichEdit5, 1);
    column->addWidget(panel3, 1);

    // Working storage of the Intel HEX reader; never shown.
    Memo1 = new QPlainTextEdit(central);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setFixedSize(28, 28);
    Memo1->hide();

    setCentralWidget(central);
    setStatusBar(new QStatusBar(this));
    BuildStatusBar();

    // Typed characters never reach the ID bytes field; its editing is by key-down. The dump
    // views insert nothing by themselves and pass their editing keys to their handlers.
    Edit2->installEventFilter(this);
    const std::array<HexDumpView*, 4> views = {RichEdit1, RichEdit2, RichEdit3, RichEdit4};
    for (std::size_t view = 1; view <= 4; ++view) {
        views[view - 1]->SetModel(&work_.views[view]);
        views[view - 1]->SetKeyDownHandler([this, view](QKeyEvent* key) { DumpViewKeyDown(view, key); });
        views[view - 1]->SetEditHooks({
            .paste =
                [this, view](std::string_view bytes) {
                    const dump::PasteResult result = work_.Paste(view, bytes);
                    if (result.written != 0)
                        PageEdited(view);
                    return result;
                },
            .undo =
                [this, view] {
                    const std::size_t undone = work_.Undo(Workspace::PageOfView(view));
                    if (undone) {
                        HexView(int(undone))->ModelChanged();
                        HexView(int(undone))->EnsureCaretVisible();
                    }
                    return undone != 0;
                },
        });
        connect(views[view - 1], &HexDumpView::Message, statusBar(), [this](const QString& text) {
            statusBar()->showMessage(text, 10000);
        });
    }

    connect(Button1, &QPushButton::clicked, this, &Form1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Form1::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Form1::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &Form1::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &Form1::Button5Click);
    connect(Button6, &QPushButton::clicked, this, &Form1::Button6Click);
    connect(Button7, &QPushButton::clicked, this, &Form1::Button7Click);
    connect(Button8, &QPushButton::clicked, this, &Form1::Button8Click);
    connect(Button9, &QPushButton::clicked, this, &Form1::Button9Click);
    connect(Button10, &QPushButton::clicked, this, &Form1::Button10Click);
    connect(Button11, &QPushButton::clicked, this, &Form1::Button11Click);
    connect(ComboBox1, &QComboBox::currentTextChanged, this, &Form1::ComboBox1Change);
    connect(TrackBar1, &QSlider::valueChanged, this, &Form1::TrackBar1Change);
}

void Form1::BuildMenus()
{
    auto action = [](QMenu* menu, const QString& name, const QString& caption) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        return a;
    };
    // Every menu and item has its mnemonic; the common commands have the platform's keys.
    File1 = menuBar()->addMenu(QStringLiteral("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    LoadProgramfromFile1 = action(File1, QStringLiteral("LoadProgramfromFile1"), QStringLiteral("&Load Program from File..."));
    LoadProgramfromFile1->setShortcut(QKeySequence::Open);
    SaveProgramtoFile1 = action(File1, QStringLiteral("SaveProgramtoFile1"), QStringLiteral("&Save Program to File..."));
    SaveProgramtoFile1->setShortcut(QKeySequence::Save);
    File1->addSeparator()->setObjectName(QStringLiteral("N1"));
    Open1 = action(File1, QStringLiteral("Open1"), QStringLiteral("Load &Data from File..."));
    Open1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    Save1 = action(File1, QStringLiteral("Save1"), QStringLiteral("Sa&ve Data to File..."));
    Save1->setShortcut(QKeySequence::SaveAs);
    File1->addSeparator()->setObjectName(QStringLiteral("N4"));
    RecentFiles1 = File1->addMenu(QStringLiteral("&Recent Files"));
    RecentFiles1->setObjectName(QStringLiteral("RecentFiles1"));
    RecentFiles1->setToolTipsVisible(true);
    ShowRecentFiles();
    SaveLogas1 = action(File1, QStringLiteral("SaveLogas1"), QStringLiteral("Save Lo&g as..."));
    SaveLogas1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    Exit1 = action(File1, QStringLiteral("Exit1"), QStringLiteral("E&xit"));
    Exit1->setShortcut(QKeySequence::Quit);

    Edit3 = menuBar()->addMenu(QStringLiteral("&Edit"));
    Edit3->setObjectName(QStringLiteral("Edit3"));
    LockFuses1 = action(Edit3, QStringLiteral("LockFuses1"), QStringLiteral("&Lock && Fuses..."));
    LockFuses1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    // F5: find the chip while none is selected, then read its flash.
    AutosearchOrRead1 = action(Edit3, QStringLiteral("AutosearchOrRead1"), QStringLiteral("&Autosearch or Read Program"));
    AutosearchOrRead1->setShortcut(QKeySequence::Refresh);

    ChipSelect1 = menuBar()->addMenu(QStringLiteral("&Chip Select"));
    ChipSelect1->setObjectName(QStringLiteral("ChipSelect1"));
    QMenu* submenus[std::size(ChipSubmenus)];
    for (std::size_t i = 0; i < std::size(ChipSubmenus); ++i) {
        submenus[i] = ChipSelect1->addMenu(QString::fromUtf8(ChipSubmenus[i].title));
        submenus[i]->setObjectName(QString::fromLatin1(ChipSubmenus[i].name));
        submenus[i]->setToolTipsVisible(true);
    }
    QAction* unsupported = submenus[0]->addAction(QStringLiteral("AT90C8534"));
    unsupported->setEnabled(false);
    ChipItems.insert(unsupported->text(), unsupported);
    for (const ChipEntry& entry : ChipCatalogue()) {
        const QString caption = QString::fromUtf8(entry.name.data(), qsizetype(entry.name.size()));
        QAction* a = submenus[SubmenuOf(entry)]->addAction(caption);
        a->setObjectName(QString::fromLatin1(entry.menuItem.data(), qsizetype(entry.menuItem.size())));
        // Disabled items stay disabled for good; those chips are reached only by Autosearch,
        // which the item says, since a grey item alone gives no reason.
        a->setEnabled(entry.menuEnabled);
        if (!entry.menuEnabled) {
            a->setText(caption + QStringLiteral(" (found by Autosearch)"));
            a->setToolTip(QStringLiteral("Programmed over SPI: put it in the socket and press Autosearch chip"));
            a->setStatusTip(a->toolTip());
        }
        ChipItems.insert(caption, a);
        connect(a, &QAction::triggered, this, [this, &entry] { ChipItemClick(entry); });
    }

    Help1 = menuBar()->addMenu(QStringLiteral("&Help"));
    Help1->setObjectName(QStringLiteral("Help1"));
    About1 = action(Help1, QStringLiteral("About1"), QStringLiteral("&About Program"));
    Help1->addSeparator()->setObjectName(QStringLiteral("N2"));
    KV4417Connection1 = action(Help1, QStringLiteral("KV4417Connection1"), QStringLiteral("&How to connect..."));
    KV4417Connection1->setShortcut(QKeySequence::HelpContents);

    connect(LoadProgramfromFile1, &QAction::triggered, this, &Form1::LoadProgramfromFile1Click);
    connect(SaveProgramtoFile1, &QAction::triggered, this, &Form1::SaveProgramtoFile1Click);
    connect(Open1, &QAction::triggered, this, &Form1::Open1Click);
    connect(Save1, &QAction::triggered, this, &Form1::Save1Click);
    connect(SaveLogas1, &QAction::triggered, this, &Form1::SaveLogas1Click);
    connect(Exit1, &QAction::triggered, this, &Form1::Exit1Click);
    connect(About1, &QAction::triggered, this, &Form1::About1Click);
    connect(KV4417Connection1, &QAction::triggered, this, &Form1::KV4417Connection1Click);
    connect(LockFuses1, &QAction::triggered, this, &Form1::LockFuses1Click);
    connect(AutosearchOrRead1, &QAction::triggered, this, &Form1::AutosearchOrRead1Click);
    SetMenuTips();
}

QList<QWidget*> Form1::ConnectionDependentButtons() const
{
    return {Button2, Button3, Button4, Button5, Button6, Button7, Button8, Button9, Button10, Button11};
}

void Form1::ShowConnected()
{
    connectedPort_ = ComboBox1->currentText();
    linkLost_ = false;
    Button1->setEnabled(false);
    for (QWidget* w : ConnectionDependentButtons())
        w->setEnabled(true);
    LockFuses1->setEnabled(true);
    ShowConnectionState();
}

void Form1::ShowDisconnected()
{
    Button1->setEnabled(true);
    for (QWidget* w : ConnectionDependentButtons())
        w->setEnabled(false);
    LockFuses1->setEnabled(false);
    ShowConnectionState();
}

void Form1::FitPortBox(const QStringList& texts)
{
    // Device paths and virtual chip names are longer than "COM1": the box is as wide as the
    // longest text it may hold, typed or listed.
    const QFontMetrics metrics(ComboBox1->font());
    int widest = metrics.horizontalAdvance(QStringLiteral("/dev/ttyUSB10"));
    for (const QString& text : texts + QStringList{ComboBox1->currentText()})
        widest = std::max(widest, metrics.horizontalAdvance(text));
    for (int i = 0; i < ComboBox1->count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(ComboBox1->itemText(i)));
    QStyleOptionComboBox option;
    option.initFrom(ComboBox1);
    option.editable = true;
    const QSize size = ComboBox1->style()->sizeFromContents(QStyle::CT_ComboBox, &option,
                                                             QSize(widest + metrics.averageCharWidth(), metrics.height()),
                                                             ComboBox1);
    ComboBox1->setFixedWidth(std::max(size.width(), ComboBox1->minimumWidth()));
    ComboBox1->view()->setMinimumWidth(size.width());
}

bool Form1::IsConnected() const
{
    return session_.IsConnected();
}

void Form1::SetLinkFactory(LinkFactory factory)
{
    session_.SetLinkFactory([factory = std::move(factory)](const QString& portText) {
        PortLink made;
        made.link = factory(portText, &made.devicePath);
        return made;
    });
}

QFileDialog* Form1::OpenDialog1()
{
    if (!openDialog_)
        openDialog_ = MakeFileDialog(this, QFileDialog::AcceptOpen, QStringLiteral("OpenDialog1"));
    return openDialog_;
}

QFileDialog* Form1::SaveDialog1()
{
    if (!saveDialog_)
        saveDialog_ = MakeFileDialog(this, QFileDialog::AcceptSave, QStringLiteral("SaveDialog1"));
    return saveDialog_;
}

QFileDialog* Form1::SaveLogDialog1()
{
    if (!saveLogDialog_) {
        saveLogDialog_ = MakeFileDialog(this, QFileDialog::AcceptSave, QStringLiteral("SaveLogDialog1"));
        saveLogDialog_->setNameFilters({QStringLiteral("Rich text (*.rtf)"), JsonLinesFilter, QStringLiteral("All files (*)")});
        saveLogDialog_->setDefaultSuffix(QStringLiteral("rtf"));
    }
    return saveLogDialog_;
}

void Form1::AppendLogLine(const QString& line)
{
    RichEdit5->appendPlainText(line);
    // Also when the user has scrolled up: the newest line is the one that matters.
    QScrollBar* bar = RichEdit5->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void Form1::Button1Click()
{
    const QString portText = ComboBox1->currentText();
    // A reason shown for an earlier attempt does not belong to this one.
    statusBar()->clearMessage();
    QString reason;
    QString devicePath;
    if (!session_.Connect(portText, &devicePath, &reason)) {
        statusBar()->showMessage(QStringLiteral("%1: %2").arg(devicePath.isEmpty() ? portText : devicePath, reason));
        return;
    }
    statusBar()->clearMessage();
    ShowConnected();
}

void Form1::Button2Click()
{
    session_.Disconnect();
    ShowDisconnected();
}

void Form1::ComboBox1Change()
{
    if (IsConnected())
        Button2Click();
}

void Form1::Exit1Click()
{
    if (IsConnected())
        Button2Click();
    close();
}

void Form1::TrackBar1Change()
{
    session_.SetDelaysValue(TrackBar1->value());
    DelaysLabel->setText(DelaysText(TrackBar1->value()));
}

void Form1::SaveLogas1Click()
{
    QString path = ChooseFile(*SaveLogDialog1(), saveFileChooser_);
    if (path.isEmpty())
        return;
    // Rich text, unless JSON Lines were chosen by name or filter: the record of each chip
    // command, as velmora-cli --record writes them. A name without an extension gets its own.
    const bool records = QFileInfo(path).suffix().compare(QLatin1String("jsonl"), Qt::CaseInsensitive) == 0 ||
                         (QFileInfo(path).suffix().isEmpty() && SaveLogDialog1()->selectedNameFilter() == JsonLinesFilter);
    if (QFileInfo(path).suffix().isEmpty() && !QFileInfo(path).isDir())
        path += records ? QStringLiteral(".jsonl") : QStringLiteral(".rtf");
    if (!MayReplace(path))
        return;
    QString error;
    const QFont font = RichEdit5->font();
    if (records ? !ReplaceFileBytes(path, std::string_view(recordLines_.constData(), std::size_t(recordLines_.size())), &error)
                : !SaveLogRtf(path, log_.Lines(), font.family(), qMax(1, qRound(font.pixelSize() * 72.0 / 96.0)), &error)) {
        errorReporter_(QStringLiteral("Cannot create file %1\n%2").arg(QDir::toNativeSeparators(path), error));
        return;
    }
    log_.WriteLog(LogSavedToFile, path);
}

void Form1::About1Click()
{
    AboutBox1->show();
    AboutBox1->raise();
    AboutBox1->activateWindow();
}

void Form1::KV4417Connection1Click()
{
    TImageForm form(CurrentPictureChip(), this);
    form.exec();
}

void Form1::LockFuses1Click()
{
    TLockFusesForm form(LockFusesHost(), this);
    form.exec();
}

TLockFusesForm::Host Form1::LockFusesHost()
{
    TLockFusesForm::Host host;
    host.chips = &work_.chips;
    host.runChipJob = [this](const ChipCommand& command) { return RecordedJob(command, {}, NoteFuses); };
    host.ask = [this](const QString& text) { return AskQuestion(text); };
    host.fileFuses = &fileFuses_;
    // Rescue's erase question is asked while its job runs.
    host.askFromJob = [this](const QString& text) { return AskFromJob(text); };
    host.socket = AskingSocketCheck();
    return host;
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (runner_->Busy()) {
        event->ignore();
        return;
    }
    SaveSettings();
    AboutBox1->close();
    QMainWindow::closeEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    // The ID bytes field is edited in place by Edit2KeyDown; only its arrow keys go on to it,
    // and it takes no middle-button paste.
    if (watched == Edit2 && event->type() == QEvent::KeyPress && Edit2KeyDown(static_cast<QKeyEvent*>(event)))
        return true;
    if (watched == Edit2 && (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::MouseButtonPress) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton)
        return true;
    // RichEditsKeyPress: a key that would type a character is discarded.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (!text.isEmpty() && text.at(0).isPrint() && !(key->modifiers() & Qt::ControlModifier))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

const ChipEntry* Form1::CurrentPictureChip() const
{
    const chip& c = work_.CurrentChip();
    return c.SignatureCode == 0 ? nullptr : c.entry;
}

QString Form1::CurrentPictureFile() const
{
    const ChipEntry* entry = CurrentPictureChip();
    return entry ? Text(entry->picture) : QString();
}

void Form1::ChipItemClick(const ChipEntry& entry)
{
    if (!MayChangeChipTo(entry))
        return;
    const bool same = work_.Shows(entry);
    work_.SelectMenuEntry(entry, log_);
    if (!same)
        PagesBlanked();
    ShowWorkspace();
    LoadWaitingFile();
}

void Form1::Button3Click()
{
    if (!session_.HasLink())
        return;
    const qsizetype firstLine = log_.Lines().size();
    int niietMode = work_.NiietMode();
    // The gateway half runs where the link lives; the selection then shows in this thread,
    // after asking when the pages hold what another chip would blank.
    const std::optional<SignatureCode> code = session_.ReadSignature(niietMode);
    const ChipEntry* found = code ? FindChipEntry(*code, niietMode == 1) : nullptr;
    if (code && (!found || MayChangeChipTo(*found))) {
        const bool same = found && work_.Shows(*found);
        work_.NiietMode() = niietMode;
        work_.SelectChip(*code, log_);
        if (!same)
            PagesBlanked();
        ShowWorkspace();
        LoadWaitingFile();
    } else if (!code) {
        work_.NiietMode() = niietMode;
    }
    // A failed step says where it failed; otherwise the words are Autosearch's own.
    if (CommandEnded(firstLine) == CommandResult::Failure)
        return;
    if (!code)
        ShowResult(work_.CurrentChip().SignatureCode == 0
                       ? QStringLiteral("Autosearch found no chip in the socket")
                       : QStringLiteral("Autosearch found no chip in the socket; %1 stays selected").arg(Edit1->text()),
                   3);
    else
        ShowResult(QStringLiteral("Autosearch found %1").arg(Edit1->text()), 1);
}

HexDumpView* Form1::HexView(int view) const
{
    switch (view) {
    case 1: return RichEdit1;
    case 2: return RichEdit2;
    case 3: return RichEdit3;
    case 4: return RichEdit4;
    default: return nullptr;
    }
}

void Form1::DumpViewKeyDown(std::size_t view, QKeyEvent* key)
{
    if (const auto stroke = KeyStrokeOf(*key)) {
        const std::size_t edits = work_.EditCount(Workspace::PageOfView(view));
        work_.KeyDown(view, *stroke);
        if (work_.EditCount(Workspace::PageOfView(view)) != edits)
            PageEdited(view);
    }
}

void Form1::PageEdited(std::size_t view)
{
    pageEdited_[std::size_t(Workspace::PageOfView(view))] = true;
    ShowPageNames();
}

bool Form1::Edit2KeyDown(QKeyEvent* key)
{
    switch (key->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        return false;
    default:
        break;
    }
    // A shortcut never writes; copying and selecting the text are left to the field.
    if (IsShortcutChord(*key))
        return !(key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll));
    if (const auto stroke = KeyStrokeOf(*key)) {
        work_.SetCaret(0, static_cast<std::size_t>(Edit2->cursorPosition()));
        work_.KeyDown(0, *stroke);
        Edit2->setText(QString::fromLatin1(work_.views[0].text));
        Edit2->setCursorPosition(static_cast<int>(work_.views[0].caret));
    }
    return true;
}

std::size_t Form1::ActiveFlashView() const
{
    return Workspace::ActiveFlashView(PageControl1->currentIndex());
}

std::size_t Form1::ActiveEepromView() const
{
    return Workspace::ActiveEepromView(PageControl1->currentIndex());
}

void Form1::RenderView(std::size_t view, int kind)
{
    work_.RenderView(view, kind);
    ShowWorkspace();
}

void Form1::ParseView(std::size_t view, int kind)
{
    work_.ParseView(view, kind);
    ShowWorkspace();
}

void Form1::ShowWorkspace()
{
    Edit1->setText(QString::fromStdString(work_.chipNameText));
    ShowConnectionState();
    if (Edit2->text() != QString::fromLatin1(work_.views[0].text))
        Edit2->setText(QString::fromLatin1(work_.views[0].text));
    for (int view = 1; view <= 4; ++view)
        HexView(view)->ModelChanged();
}

}  // namespace velmora
