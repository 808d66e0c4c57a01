#include "cli/cli.h"

#include "chips/autosearch.h"
#include "chips/catalogue.h"
#include "chips/filecommands.h"
#include "chips/selection.h"
#include "fuses/fusecommands.h"
#include "link/serialport.h"
#include "log/operationlog.h"
#include "ops/memorycommands.h"
#include "sim/simlink.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace velmora::cli {

namespace {

// What the parser needs to know of a command.
struct CommandForm {
    const char* name;
    bool takesArgument;
    bool needsChip;  // runs on the chip chosen by an earlier select
    bool asks;       // asks a question before it changes the chip
    std::optional<MemoryCommand> memory;
};

const CommandForm CommandForms[] = {
    {"connect", false, false, false, {}},
    {"signature", false, false, false, {}},
    {"select", true, false, false, {}},
    {"read-flash", true, true, false, MemoryCommand::ReadProgram},
    {"write-flash", true, true, true, MemoryCommand::WriteProgram},
    {"verify-flash", true, true, false, MemoryCommand::VerifyProgram},
    {"read-eeprom", true, true, false, MemoryCommand::ReadData},
    {"write-eeprom", true, true, true, MemoryCommand::WriteData},
    {"verify-eeprom", true, true, false, MemoryCommand::VerifyData},
    {"erase", false, true, true, {}},
    {"calibration", false, true, false, {}},
    {"read-fuses", false, true, false, {}},
    // Asks only when a value is risky, so it is refused at that point without a terminal.
    {"write-fuses", true, true, false, {}},
};

// The bytes write-fuses takes, by the name the user gives them.
const char* const FuseByteNames[] = {"low", "high", "ext", "lock"};

// The FuseDefaults slot of a byte name in layout, or -1 when the chip has no such byte: low is
// the fuse byte (or low fuse byte), lock the last group.
int FuseSlotOf(const FuseLayout& layout, const QString& name)
{
    if (name == QLatin1String("low"))
        return 0;
    if (name == QLatin1String("lock"))
        return layout.LockSlot();
    if (name == QLatin1String("high"))
        return layout.groupCount >= 3 ? 1 : -1;
    if (name == QLatin1String("ext"))
        return layout.groupCount >= 4 ? 2 : -1;
    return -1;
}

// "low=E1 lock=fc": each word NAME=HH with a known name, once; the bytes by name.
bool ParseFuseAssignments(const QStringList& words, QList<QPair<QString, std::uint8_t>>& bytes, QString* problem)
{
    for (const QString& word : words) {
        const qsizetype eq = word.indexOf(QLatin1Char('='));
        const QString name = word.left(eq).toLower();
        QString hex = word.mid(eq + 1);
        if (hex.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            hex = hex.mid(2);
        bool ok = false;
        const uint value = hex.toUInt(&ok, 16);
        if (eq < 0 || std::none_of(std::begin(FuseByteNames), std::end(FuseByteNames),
                                   [&](const char* n) { return name == QLatin1String(n); })) {
            *problem = QStringLiteral("write-fuses takes low=HH, high=HH, ext=HH and lock=HH, not ") + word;
            return false;
        }
        if (!ok || hex.isEmpty() || hex.size() > 2) {
            *problem = QStringLiteral("not a byte in hex: ") + word;
            return false;
        }
        for (const auto& b : bytes)
            if (b.first == name) {
                *problem = QStringLiteral("write-fuses: %1 given twice").arg(name);
                return false;
            }
        bytes.append({name, std::uint8_t(value)});
    }
    return true;
}

const CommandForm* FindCommand(const QString& name)
{
    for (const CommandForm& form : CommandForms)
        if (name == QLatin1String(form.name))
            return &form;
    return nullptr;
}

void Print(std::FILE* out, const QString& line)
{
    const QByteArray utf8 = line.toUtf8();
    std::fwrite(utf8.constData(), 1, std::size_t(utf8.size()), out);
    std::fputc('\n', out);
    std::fflush(out);
}

// "Signature: 1E 93 07, SignatureCode 0x07931E (496414), ATmega8"
QString SignatureLine(SignatureCode code)
{
    const ChipEntry* entry = FindChipEntry(code, false);
    QString bytes;
    for (int i = 0; i < 3; ++i)
        bytes += QStringLiteral("%1%2").arg(i ? QStringLiteral(" ") : QString()).arg((code >> (8 * i)) & 0xFF, 2, 16, QLatin1Char('0'));
    return QStringLiteral("Signature: %1, SignatureCode 0x%2 (%3), %4")
        .arg(bytes.toUpper())
        .arg(QString::number(code, 16).toUpper().rightJustified(6, QLatin1Char('0')))
        .arg(code)
        .arg(entry ? QString::fromUtf8(entry->name.data(), qsizetype(entry->name.size())) : QStringLiteral("unknown chip"));
}

QString EntryName(const ChipEntry& entry)
{
    return QString::fromUtf8(entry.name.data(), qsizetype(entry.name.size()));
}

bool IsAuto(const QString& chip)
{
    return chip.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0;
}

// "Chip: ATmega8, SignatureCode 0x07931E (496414), flash 8192 bytes, EEPROM 512 bytes,
// calibration bytes 4, lock and fuses E1 D9 FF FF FF FF FF FF, family Atmega8"
QString ChipLine(const ChipState& state, const ChipEntry& entry)
{
    const chip& c = state.CurrentChip;
    QString fuses;
    for (std::uint8_t b : c.FuseDefaults)
        fuses += QStringLiteral("%1%2").arg(fuses.isEmpty() ? QString() : QStringLiteral(" ")).arg(b, 2, 16, QLatin1Char('0'));
    return QStringLiteral("Chip: %1, SignatureCode 0x%2 (%3), flash %4 bytes, EEPROM %5 bytes, calibration bytes %6, "
                          "lock and fuses %7, family %8")
        .arg(EntryName(entry))
        .arg(QString::number(c.SignatureCode, 16).toUpper().rightJustified(6, QLatin1Char('0')))
        .arg(c.SignatureCode)
        .arg(c.flashSize)
        .arg(c.eepromSize)
        .arg(c.CalibrationCount)
        .arg(fuses.toUpper())
        .arg(QString::fromLatin1(FamilyName(entry.family).data(), qsizetype(FamilyName(entry.family).size())));
}

}  // namespace

QString UsageText()
{
    return QStringLiteral(
        "usage: velmora-cli [--port DEVICE | --virtual CHIP] [--delay 0..5] [--format hex|srec|elf|bin] [--yes]\n"
        "                   COMMAND [ARGUMENT] [COMMAND [ARGUMENT] ...]\n"
        "       velmora-cli --help\n"
        "  --port DEVICE   the gateway's serial port: COM1..COM10, ttyUSB0, or a device path\n"
        "  --virtual CHIP  a simulated gateway with CHIP in its socket (e.g. ATmega8)\n"
        "  --delay N       the delays value, 0 to 5 ms (default 1, as in the window)\n"
        "  --format F      hex, srec, elf or bin for every FILE (default: what a file read\n"
        "                  holds, Intel HEX, S-record or ELF, else its name: .bin and .raw are\n"
        "                  binary; a file written by its name, .srec/.s19 S-record, else HEX)\n"
        "  --yes           answer Yes to the questions before erasing or writing (needed\n"
        "                  when standard input is not a terminal)\n"
        "commands, run in order, stopping at the first failure:\n"
        "  connect         open the port and check that a gateway answers\n"
        "  signature       read the signature: in parallel programming mode, or over SPI for\n"
        "                  the small chips the parallel entry does not find\n"
        "  select CHIP     select a chip by name (ATmega8, 1887VE4U, ...) as the Chip Select menu\n"
        "                  does, no gateway needed; or select auto: identify it on the gateway\n"
        "after a select:\n"
        "  read-flash FILE    read the program memory into FILE\n"
        "  write-flash FILE   erase the chip and write FILE into the program memory\n"
        "  verify-flash FILE  compare the program memory with FILE\n"
        "  read-eeprom FILE   read the data memory (EEPROM) into FILE\n"
        "  write-eeprom FILE  write FILE into the data memory\n"
        "  verify-eeprom FILE compare the data memory with FILE\n"
        "  erase              erase the chip\n"
        "  calibration        read the calibration bytes\n"
        "  read-fuses         read the lock and fuse bytes; each byte in hex with its programmed bits\n"
        "  write-fuses low=HH [high=HH] [ext=HH] [lock=HH]\n"
        "                     write the given lock and fuse bytes (the others as the chip holds them),\n"
        "                     then read them back; asks first when a value locks the chip, disables\n"
        "                     serial programming or the reset pin, refused then without a terminal\n"
        "                     unless --yes (any of the four names may be left out)\n"
        "the status is 0 when every command succeeded, 1 when one failed (a difference found by\n"
        "a verify too), 2 on bad usage\n");
}

bool ParseArguments(const QStringList& args, CliOptions& options, QString* problem)
{
    auto fail = [problem](const QString& why) {
        if (problem)
            *problem = why;
        return false;
    };
    bool chipChosen = false;
    bool needsGateway = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--yes")) {
            options.yes = true;
        } else if (arg == QLatin1String("--port") || arg == QLatin1String("--virtual") || arg == QLatin1String("--delay") ||
                   arg == QLatin1String("--format")) {
            if (i + 1 >= args.size())
                return fail(arg + QStringLiteral(" needs a value"));
            const QString value = args[++i];
            if (arg == QLatin1String("--port")) {
                options.port = value;
            } else if (arg == QLatin1String("--virtual")) {
                options.virtualChip = value;
            } else if (arg == QLatin1String("--format")) {
                if (!FormatNamed(value.toStdString()))
                    return fail(QStringLiteral("--format takes hex, srec, elf or bin"));
                options.format = value;
            } else {
                bool ok = false;
                options.delaysValue = value.toInt(&ok);
                if (!ok || options.delaysValue < 0 || options.delaysValue > 5)
                    return fail(QStringLiteral("--delay takes a number from 0 to 5"));
            }
        } else if (arg.startsWith(QLatin1String("-"))) {
            return fail(QStringLiteral("unknown option ") + arg);
        } else {
            const CommandForm* form = FindCommand(arg);
            if (!form)
                return fail(QStringLiteral("unknown command ") + arg);
            CliStep step{arg, {}};
            if (arg == QLatin1String("write-fuses")) {
                QStringList words;
                while (i + 1 < args.size() && args[i + 1].contains(QLatin1Char('=')))
                    words << args[++i];
                QList<QPair<QString, std::uint8_t>> bytes;
                QString why;
                if (words.isEmpty())
                    return fail(QStringLiteral("write-fuses needs at least one of low=HH high=HH ext=HH lock=HH"));
                if (!ParseFuseAssignments(words, bytes, &why))
                    return fail(why);
                step.argument = words.join(QLatin1Char(' '));
            } else if (form->takesArgument) {
                if (i + 1 >= args.size())
                    return fail(arg + (arg == QLatin1String("select") ? QStringLiteral(" needs a chip name or auto")
                                                                      : QStringLiteral(" needs a file name")));
                step.argument = args[++i];
            }
            if (form->needsChip && !chipChosen)
                return fail(arg + QStringLiteral(" needs a chip: select CHIP or select auto before it"));
            if (arg == QLatin1String("select")) {
                if (!IsAuto(step.argument) && !FindChipByName(step.argument.toStdString()))
                    return fail(QStringLiteral("no chip named ") + step.argument);
                chipChosen = true;
            }
            // Selecting by name is the menu's work and needs no gateway.
            if (arg != QLatin1String("select") || IsAuto(step.argument))
                needsGateway = true;
            options.steps.append(step);
        }
    }
    if (options.steps.isEmpty())
        return fail(QStringLiteral("no command given"));
    if (!options.port.isEmpty() && !options.virtualChip.isEmpty())
        return fail(QStringLiteral("give either --port or --virtual"));
    if (needsGateway && options.port.isEmpty() && options.virtualChip.isEmpty())
        return fail(QStringLiteral("give either --port or --virtual"));
    if (!options.virtualChip.isEmpty() && !sim::FindSimChip(options.virtualChip.toStdString()))
        return fail(QStringLiteral("no simulated chip named ") + options.virtualChip);
    return true;
}

namespace {

bool AsksQuestions(const CliOptions& options)
{
    for (const CliStep& step : options.steps)
        if (FindCommand(step.command)->asks)
            return true;
    return false;
}

bool NeedsGateway(const CliOptions& options)
{
    for (const CliStep& step : options.steps)
        if (step.command != QLatin1String("select") || IsAuto(step.argument))
            return true;
    return false;
}

// One run of the chain: the state the window would hold, and where its output goes.
class Session {
public:
    Session(const CliOptions& options, std::FILE* out, const Terminal& terminal)
        : options_(options), out_(out), terminal_(terminal)
    {
        log_.SetSink([this](const QString& line) { Line(line); });
    }

    int Run()
    {
        if (NeedsGateway(options_) && !Connect())
            return ExitFailed;
        int status = ExitOk;
        for (const CliStep& step : options_.steps) {
            if (!RunStep(step)) {
                status = ExitFailed;
                break;
            }
        }
        // As on leaving the window: a link still open is disconnected, with its line.
        if (link_ && link_->IsOpen())
            DisconnectGateway(*link_, log_);
        return status;
    }

private:
    void Line(const QString& line)
    {
        terminal_.ClearBar();
        Print(out_, line);
        terminal_.RedrawBar();
    }

    void Problem(const QString& text) const
    {
        terminal_.ClearBar();
        Print(terminal_.err, QStringLiteral("velmora-cli: ") + text);
        terminal_.RedrawBar();
    }

    bool Connect()
    {
        QString devicePath;
        if (!options_.virtualChip.isEmpty()) {
            // Virtual time: the chip's waits pass without the process sleeping through them.
            const sim::SimChipModel& model = *sim::FindSimChip(options_.virtualChip.toStdString());
            auto simLink = std::make_unique<sim::SimLink>(model, /*virtualTime=*/true);
            sleeper_ = simLink->Sleeper();
            devicePath = sim::VirtualDevicePath(model);
            link_ = std::move(simLink);
        } else {
            devicePath = DevicePathForPort(options_.port);
            link_ = std::make_unique<SerialLink>();
        }
        return ConnectGateway(*link_, devicePath, log_);
    }

    ProgContext Context() { return ProgContext{*link_, log_, options_.delaysValue, sleeper_}; }

    bool RunStep(const CliStep& step)
    {
        const CommandForm& form = *FindCommand(step.command);
        if (form.memory)
            return RunMemoryStep(*form.memory, step.argument);
        if (step.command == QLatin1String("connect"))
            return true;  // connected before the first command
        if (step.command == QLatin1String("signature")) {
            int niietMode = 0;
            const std::optional<SignatureCode> code = ReadChipCode(Context(), niietMode);
            if (code)
                Print(out_, SignatureLine(*code));
            return code.has_value();
        }
        if (step.command == QLatin1String("select"))
            return Select(step.argument);
        if (step.command == QLatin1String("erase")) {
            if (!Confirm(ChipDataQuestion))
                return false;
            return RunJob(RunChipErase);
        }
        if (step.command == QLatin1String("calibration"))
            return RunJob(RunReadCalibration);
        if (step.command == QLatin1String("read-fuses"))
            return ReadFuses(true);
        if (step.command == QLatin1String("write-fuses"))
            return WriteFuses(step.argument);
        return false;
    }

    // The lock and fuse bytes as the dialog reads them; printed by group when asked to.
    bool ReadFuses(bool print)
    {
        std::optional<FuseOutcome> outcome;
        RunJob([&](const ProgContext& ctx, ChipJob& job, const ProgressFn&) {
            outcome = ReadLockFuses(ctx, job);
            return outcome == FuseOutcome::Done;
        });
        if (outcome != FuseOutcome::Done)
            return false;
        chips_.CurrentChip.FusesReadFromChip = chips_.CurrentChip.FuseDefaults;
        if (print)
            PrintFuses();
        return true;
    }

    // "Low Fuses: E1, programmed: SUT0 CKSEL3 CKSEL2 CKSEL1", one line per byte the chip has.
    void PrintFuses()
    {
        const chip& c = chips_.CurrentChip;
        const FuseLayout* layout = LayoutOf(c.SignatureCode);
        for (int g = 0; layout && g < layout->groupCount; ++g) {
            const FuseGroup& group = layout->groups[std::size_t(g)];
            const std::uint8_t value = c.FuseDefaults[std::size_t(g)];
            Print(out_, QStringLiteral("%1: %2, programmed: %3")
                            .arg(QString::fromUtf8(group.caption.data(), qsizetype(group.caption.size())),
                                 QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper(),
                                 ProgrammedNames(group, value)));
        }
    }

    // The given bytes over what the chip holds, the window's questions, the write and its
    // read-back.
    bool WriteFuses(const QString& assignments)
    {
        const FuseLayout* layout = LayoutOf(chips_.CurrentChip.SignatureCode);
        QList<QPair<QString, std::uint8_t>> bytes;
        QString problem;
        ParseFuseAssignments(assignments.split(QLatin1Char(' ')), bytes, &problem);
        for (const auto& b : bytes) {
            if (!layout || FuseSlotOf(*layout, b.first) < 0) {
                Problem(QStringLiteral("the %1 has no %2 byte; nothing was changed")
                            .arg(QString::fromStdString(chips_.CurrentChip.name), b.first));
                return false;
            }
        }
        if (!ReadFuses(false))
            return false;
        chip& c = chips_.CurrentChip;
        for (const auto& b : bytes)
            c.FuseDefaults[std::size_t(FuseSlotOf(*layout, b.first))] = b.second;
        const QString question = WriteQuestion(*layout, c.FuseDefaults, c.FusesReadFromChip);
        if (!question.isEmpty() && !Confirm(question))
            return false;
        FuseWriteReport report;
        RunJob([&](const ProgContext& ctx, ChipJob& job, const ProgressFn&) {
            report = WriteLockFuses(ctx, job);
            return report.outcome == FuseOutcome::Done;
        });
        if (!report.chipValues)
            return false;
        c.FuseDefaults = *report.chipValues;
        c.FusesReadFromChip = *report.chipValues;
        PrintFuses();
        return report.outcome == FuseOutcome::Done;
    }

    bool Select(const QString& chipName)
    {
        const ChipEntry* entry = nullptr;
        if (IsAuto(chipName))
            entry = Autosearch(Context(), chips_, {});
        else
            entry = SelectMenuEntry(chips_, *FindChipByName(chipName.toStdString()), log_, {});
        if (entry)
            Print(out_, ChipLine(chips_, *entry));
        return entry != nullptr;
    }

    bool Confirm(const QString& question)
    {
        if (terminal_.Confirm(question))
            return true;
        Problem(QStringLiteral("not confirmed; nothing was changed"));
        return false;
    }

    // Runs a command on a copy of the chip, as the window does, and takes the result back.
    bool RunJob(const ChipCommand& command)
    {
        ChipJob job(chips_);
        const bool ok = command(Context(), job, terminal_.ProgressBar());
        terminal_.EndProgressBar();
        job.ApplyTo(chips_);
        return ok;
    }

    // A memory command with its file: loaded into the image before a write or verify, saved
    // from it after a read, as Load Program from File and Save Program to File do.
    bool RunMemoryStep(MemoryCommand command, const QString& file)
    {
        if (const std::optional<QString> question = QuestionFor(command); question && !Confirm(*question))
            return false;
        const int kind = ImageKindOf(command);
        chip& c = chips_.CurrentChip;
        const ImageFileTarget target{kind, kind == FlashKind ? c.FlashImage : c.EepromImage, c.ImageSize(kind), {}, {}};
        const FileCommandContext files{log_, [this](const QString& text) { Problem(text); }, {}, {}};
        // A file read shows its format; a file written takes the one its name says, else Intel HEX.
        const std::optional<ImageFileFormat> forced = FormatNamed(options_.format.toStdString());
        const ImageFileFormat format = forced.value_or(LoadFormatFor(file).value_or(ImageFileFormat::IntelHex));
        if (ParsesViewFirst(command) && !ReadImageFile(file, forced, target, files))
            return false;
        if (!RunJob([command](const ProgContext& ctx, ChipJob& job, const ProgressFn& progress) {
                return RunMemoryCommand(command, ctx, job, progress);
            }))
            return false;
        return !RendersViewAfter(command) || WriteImageFile(file, format, target, files);
    }

    const CliOptions& options_;
    std::FILE* out_;
    const Terminal& terminal_;
    OperationLog log_;
    ChipState chips_;
    std::unique_ptr<GatewayLink> link_;
    MillisecondSleeper sleeper_ = SleepMilliseconds;
};

}  // namespace

int RunCli(const QStringList& args, std::FILE* out, std::FILE* err)
{
    return RunCli(args, out, Terminal::ForProcess(err, false));
}

int RunCli(const QStringList& args, std::FILE* out, Terminal terminal)
{
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        std::fputs(UsageText().toUtf8().constData(), out);
        return ExitOk;
    }
    CliOptions options;
    QString problem;
    if (ParseArguments(args, options, &problem) && AsksQuestions(options) && !options.yes && !terminal.interactive)
        problem = QStringLiteral("a command that erases or writes needs a terminal to ask on, or --yes");
    if (!problem.isEmpty()) {
        Print(terminal.err, QStringLiteral("velmora-cli: ") + problem);
        std::fputs(UsageText().toUtf8().constData(), terminal.err);
        return ExitUsage;
    }
    terminal.assumeYes = options.yes;
    return Session(options, out, terminal).Run();
}

}  // namespace velmora::cli
