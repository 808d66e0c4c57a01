// The commands of velmora-cli: their argument parsers, their handlers, and the table that
// names them.

#include "cli/commandtable.h"

#include "chips/catalogue.h"
#include "chips/filecommands.h"
#include "fuses/filefuses.h"
#include "fuses/fusecommands.h"
#include "fuses/fusefields.h"
#include "fuses/rescue.h"
#include "log/text.h"
#include "ops/memorycommands.h"

#include <algorithm>

namespace velmora::cli {

namespace {

// --- argument parsers ---

bool TakeFile(const CommandSpec& def, ArgumentReader& words, CliStep& step, QString* problem)
{
    if (words.AtEnd()) {
        *problem = Text(def.name) + QStringLiteral(" needs a file name");
        return false;
    }
    step.file = words.Take();
    return true;
}

bool IsAuto(const QString& chip)
{
    return chip.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0;
}

// A chip by name, or auto: Autosearch, which needs the gateway.
bool TakeChip(const CommandSpec& def, ArgumentReader& words, CliStep& step, QString* problem)
{
    if (words.AtEnd()) {
        *problem = Text(def.name) + QStringLiteral(" needs a chip name or auto");
        return false;
    }
    const QString name = words.Take();
    if (IsAuto(name)) {
        step.usesGateway = true;
        return true;
    }
    step.chip = FindChipByName(name.toStdString());
    if (!step.chip) {
        *problem = QStringLiteral("no chip named ") + name;
        return false;
    }
    return true;
}

// A chip by name only.
bool TakeChipName(const CommandSpec& def, ArgumentReader& words, CliStep& step, QString* problem)
{
    if (words.AtEnd()) {
        *problem = Text(def.name) + QStringLiteral(" needs a chip name");
        return false;
    }
    const QString name = words.Take();
    step.chip = FindChipByName(name.toStdString());
    if (!step.chip)
        *problem = QStringLiteral("no chip named ") + name;
    return step.chip != nullptr;
}

// A byte write-fuses takes by name: low, high, ext or lock.
bool IsFuseByteName(const QString& name)
{
    for (int i = 0; i < 4; ++i)
        if (name == Text(FileFuseName(i)))
            return true;
    return false;
}

// "[FILE] low=E1 lock=fc": a file holding the bytes (in the toolchain's .fuse and .lock
// sections) first if given, then each word NAME=HH with a known name, once.
bool TakeFuseBytes(const CommandSpec& def, ArgumentReader& words, CliStep& step, QString* problem)
{
    if (!words.AtEnd() && !words.Peek().contains(QLatin1Char('=')) && !FindCommand(words.Peek()))
        step.file = words.Take();
    while (!words.AtEnd() && words.Peek().contains(QLatin1Char('='))) {
        const QString word = words.Take();
        const qsizetype eq = word.indexOf(QLatin1Char('='));
        const QString name = word.left(eq).toLower();
        QString hex = word.mid(eq + 1);
        if (hex.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            hex = hex.mid(2);
        bool ok = false;
        const uint value = hex.toUInt(&ok, 16);
        if (!IsFuseByteName(name)) {
            // A field by name; its value is checked against the chip when the step runs.
            if (!AnyChipHasField(name.toStdString())) {
                *problem = Text(def.name) + QStringLiteral(" takes low=HH, high=HH, ext=HH, lock=HH and FIELD=value "
                                                            "(fuses CHIP lists the fields), not ") + word;
                return false;
            }
            if (std::any_of(step.fuseFields.begin(), step.fuseFields.end(), [&](const QString& f) {
                    return f.section(QLatin1Char('='), 0, 0).compare(name, Qt::CaseInsensitive) == 0;
                })) {
                *problem = QStringLiteral("%1: %2 given twice").arg(Text(def.name), name);
                return false;
            }
            step.fuseFields.append(word);
            continue;
        }
        if (!ok || hex.isEmpty() || hex.size() > 2) {
            *problem = QStringLiteral("not a byte in hex: ") + word;
            return false;
        }
        if (std::any_of(step.fuses.begin(), step.fuses.end(), [&](const FuseAssignment& f) { return f.name == name; })) {
            *problem = QStringLiteral("%1: %2 given twice").arg(Text(def.name), name);
            return false;
        }
        step.fuses.append({name, std::uint8_t(value)});
    }
    if (step.file.isEmpty() && step.fuses.isEmpty() && step.fuseFields.isEmpty()) {
        *problem = Text(def.name) + QStringLiteral(" needs a FILE or at least one of low=HH high=HH ext=HH lock=HH FIELD=value");
        return false;
    }
    return true;
}

// --- output ---

QString Hex2(unsigned value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

QString CodeText(SignatureCode code)
{
    return QStringLiteral("0x%1 (%2)").arg(QString::number(code, 16).toUpper().rightJustified(6, QLatin1Char('0'))).arg(code);
}

// The signature bytes in the order the chip gives them: "1E", "93", "07".
QStringList SignatureBytes(SignatureCode code)
{
    QStringList bytes;
    for (int i = 0; i < 3; ++i)
        bytes << Hex2(unsigned(code >> (8 * i)) & 0xFF);
    return bytes;
}

// "Signature: 1E 93 07, SignatureCode 0x07931E (496414), ATmega8"
QString SignatureLine(SignatureCode code)
{
    const ChipEntry* entry = FindChipEntry(code, false);
    return QStringLiteral("Signature: %1, SignatureCode %2, %3")
        .arg(SignatureBytes(code).join(QLatin1Char(' ')), CodeText(code), entry ? Text(entry->name) : QStringLiteral("unknown chip"));
}

// A value for scripts: "key=value" alone on a line of the results (signature=1E9307,
// chip=ATmega8, calibration0=A5, low=E1), its human form beside it with the log.
void PrintValue(CliRun& run, const QString& key, const QString& value)
{
    run.Print(key + QLatin1Char('=') + value);
}

// "Chip: ATmega8, SignatureCode 0x07931E (496414), flash 8192 bytes, EEPROM 512 bytes,
// calibration bytes 4, lock and fuses E1 D9 FF FF FF FF FF FF, family Atmega8"
QString ChipLine(const chip& c)
{
    QStringList fuses;
    for (std::uint8_t b : c.FuseDefaults)
        fuses << Hex2(b);
    return QStringLiteral("Chip: %1, SignatureCode %2, flash %3 bytes, EEPROM %4 bytes, calibration bytes %5, "
                          "lock and fuses %6, family %7")
        .arg(Text(c.entry->name), CodeText(c.SignatureCode))
        .arg(c.flashSize)
        .arg(c.eepromSize)
        .arg(c.CalibrationCount)
        .arg(fuses.join(QLatin1Char(' ')), Text(FamilyName(c.entry->family)));
}

// The FuseDefaults slot of a byte name in layout, or -1 when the chip has no such byte: the
// fuse bytes fill the groups from the first, lock is the last group, as in a file's sections.
int FuseSlotOf(const FuseLayout& layout, const QString& name)
{
    for (int i = 0; i < 4; ++i)
        if (name == Text(FileFuseName(i)))
            return FileFuseSlot(layout, i);
    return -1;
}

// low=E1, high=D9, lock=FF: a line per byte the chip has, by the names write-fuses takes; with
// the log "Low Fuses: E1, programmed: SUT0 CKSEL3 CKSEL2 CKSEL1" for each, then
// "  CKSEL_SUT=int-rc-1mhz-64ms  Int. RC Osc. 1 MHz; start-up 6 CK + 64 ms", one per field.
void PrintFuses(CliRun& run)
{
    const chip& c = run.Chips().CurrentChip;
    const FuseLayout* layout = LayoutOf(c.entry);
    for (int g = 0; layout && g < layout->groupCount; ++g) {
        const FuseGroup& group = layout->groups[std::size_t(g)];
        const std::uint8_t value = c.FuseDefaults[std::size_t(g)];
        run.Note(QStringLiteral("%1: %2, programmed: %3").arg(Text(group.caption), Hex2(value), ProgrammedNames(group, value)));
    }
    if (c.entry)
        for (const std::string& line : FieldLines(FieldsOf(*c.entry), c.FuseDefaults))
            run.Note(QStringLiteral("  ") + QString::fromStdString(line));
    for (int i = 0; layout && i < 4; ++i)
        if (const int slot = FileFuseSlot(*layout, i); slot >= 0)
            PrintValue(run, Text(FileFuseName(i)), Hex2(c.FuseDefaults[std::size_t(slot)]));
}

// "-" is standard input for a file read and standard output for a file written.
QString ReadName(const CliStep& step)
{
    return step.file == QLatin1String("-") ? QStringLiteral("/dev/stdin") : step.file;
}

FileCommandContext FileContext(CliRun& run, const CliStep& step)
{
    FileCommandContext files{run.Log(), [&run](const QString& text) { run.Problem(text); }, {}, {}};
    if (step.file == QLatin1String("-"))
        files.writeBytes = [&run](std::string_view bytes, QString* reason) { return run.WriteOut(bytes, reason); };
    return files;
}

// The lock and fuse bytes of the step's file as write-fuses assignments, after those given by
// name; false (with the problem told) when the file holds none or one the chip lacks.
bool TakeFileFuseBytes(CliRun& run, const CliStep& step, const FuseLayout& layout, QList<FuseAssignment>& bytes)
{
    const chip& c = run.Chips().CurrentChip;
    // The file's program is loaded aside: only its lock and fuse bytes are wanted here.
    std::vector<std::uint8_t> scratch(std::max<std::uint32_t>(c.ImageSize(FlashKind), 1));
    ImageFileFacts facts;
    ImageFileTarget target{FlashKind, scratch, std::uint32_t(scratch.size()), {}, {}};
    target.facts = &facts;
    target.fusesAlone = true;
    if (!ReadImageFile(ReadName(step), FormatNamed(run.Options().format.toStdString()), target, FileContext(run, step)))
        return false;
    if (!facts.fuses.Any()) {
        run.Problem(QStringLiteral("%1 holds no lock or fuse bytes (the .fuse and .lock sections); nothing was changed").arg(step.file));
        return false;
    }
    for (int i = 0; i < 4; ++i) {
        const std::optional<std::uint8_t> value = FileFuseByte(facts.fuses, i);
        const QString name = Text(FileFuseName(i));
        if (!value || std::any_of(bytes.begin(), bytes.end(), [&](const FuseAssignment& f) { return f.name == name; }))
            continue;
        if (FileFuseSlot(layout, i) < 0) {
            run.Problem(QStringLiteral("%1 holds the %2 byte, which the %3 does not have; nothing was changed")
                            .arg(step.file, name, QString::fromStdString(c.name)));
            return false;
        }
        bytes.append({name, *value});
    }
    return true;
}

// --- handlers ---

bool RunConnect(CliRun&, const CliStep&)
{
    return true;  // connected before the first command
}

bool RunSignature(CliRun& run, const CliStep&)
{
    const std::optional<SignatureCode> code = run.GatewaySession().ReadSignature();
    if (code) {
        run.Note(SignatureLine(*code));
        PrintValue(run, QStringLiteral("signature"), SignatureBytes(*code).join(QString()));
    }
    return code.has_value();
}

bool RunSelect(CliRun& run, const CliStep& step)
{
    const ChipEntry* entry = step.chip ? SelectMenuEntry(run.Chips(), *step.chip, run.Log(), {})
                                       : run.GatewaySession().Autosearch({}).entry;
    if (entry) {
        run.Note(ChipLine(run.Chips().CurrentChip));
        PrintValue(run, QStringLiteral("chip"), Text(entry->name));
    }
    return entry != nullptr;
}

// A memory command with its file: loaded into the image before a write or verify, saved
// from it after a read, as Load Program from File and Save Program to File do.
template <MemoryCommand command>
bool RunMemoryStep(CliRun& run, const CliStep& step)
{
    if (const std::optional<QString> question = QuestionFor(command); question && !run.Confirm(*question))
        return false;
    const int kind = ImageKindOf(command);
    chip& c = run.Chips().CurrentChip;
    std::vector<std::uint8_t> defined;
    ImageFileTarget target{kind, kind == FlashKind ? c.FlashImage : c.EepromImage, c.ImageSize(kind), {}, {}};
    target.defined = &defined;
    const FileCommandContext files = FileContext(run, step);
    // A file read shows its format; a file written takes the one its name says, else Intel HEX.
    const std::optional<ImageFileFormat> forced = FormatNamed(run.Options().format.toStdString());
    const ImageFileFormat fileFormat = forced.value_or(LoadFormatFor(step.file).value_or(ImageFileFormat::IntelHex));
    if (ParsesViewFirst(command) && !ReadImageFile(ReadName(step), forced, target, files))
        return false;
    // Writes: the chip in the socket checked first, what was written read back after. A verify
    // of a file compares the bytes the file gives, as the toolchains' programmers do: an
    // application file against a chip that also holds a bootloader.
    MemoryCommandOptions options;
    options.socket = run.Socket();
    options.verifyAfterWrite = !run.Options().noVerify;
    options.defined = defined;
    if (!run.GatewaySession().RunChipJob([&options](const ProgContext& ctx, ChipJob& job, const ProgressFn& progress) {
            return RunMemoryCommand(command, ctx, job, progress, options);
        }))
        return false;
    return !RendersViewAfter(command) || WriteImageFile(step.file, fileFormat, target, files);
}

bool RunErase(CliRun& run, const CliStep&)
{
    const SocketCheck socket = run.Socket();
    return run.Confirm(ChipDataQuestion) &&
           run.GatewaySession().RunChipJob([&socket](const ProgContext& ctx, ChipJob& job, const ProgressFn& progress) {
               return RunCheckedChipErase(ctx, job, progress, socket);
           });
}

bool RunCalibration(CliRun& run, const CliStep&)
{
    if (!run.GatewaySession().RunChipJob(RunReadCalibration))
        return false;
    const chip& c = run.Chips().CurrentChip;
    for (int i = 0; i < c.CalibrationCount; ++i)
        PrintValue(run, QStringLiteral("calibration%1").arg(i), Hex2(c.CalibrationBytes[std::size_t(i)]));
    return true;
}

bool RunReadFuses(CliRun& run, const CliStep&)
{
    if (run.GatewaySession().ReadFuses() != FuseOutcome::Done)
        return false;
    PrintFuses(run);
    return true;
}

// The given bytes over what the chip holds, the window's questions, the write and its
// read-back.
bool RunWriteFuses(CliRun& run, const CliStep& step)
{
    chip& c = run.Chips().CurrentChip;
    const FuseLayout* layout = LayoutOf(c.entry);
    if (!layout) {
        run.Problem(QStringLiteral("the %1 has no lock and fuse bytes; nothing was changed").arg(QString::fromStdString(c.name)));
        return false;
    }
    QList<FuseAssignment> bytes = step.fuses;
    if (!step.file.isEmpty() && !TakeFileFuseBytes(run, step, *layout, bytes))
        return false;
    for (const FuseAssignment& f : bytes) {
        if (FuseSlotOf(*layout, f.name) < 0) {
            run.Problem(QStringLiteral("the %1 has no %2 byte; nothing was changed").arg(QString::fromStdString(c.name), f.name));
            return false;
        }
        // A bit the chip does not have stays 1: a value that programs one is a typing error
        // (and on the older parts' lock instruction would have been another instruction).
        const FuseGroup& group = layout->groups[std::size_t(FuseSlotOf(*layout, f.name))];
        const std::uint8_t absent = std::uint8_t(~group.ShownMask());
        if ((f.value & absent) != absent) {
            run.Problem(QStringLiteral("the %1 %2 byte has only the bits %3 (the others stay 1), not %4; nothing was changed")
                            .arg(QString::fromStdString(c.name), f.name,
                                 QStringLiteral("%1").arg(group.ShownMask(), 2, 16, QLatin1Char('0')).toUpper(),
                                 QStringLiteral("%1").arg(f.value, 2, 16, QLatin1Char('0')).toUpper()));
            run.RefuseAsUsage();
            return false;
        }
    }
    // Fields by name: every one known to this chip before the chip is touched.
    const std::span<const FuseField> fields = c.entry ? FieldsOf(*c.entry) : std::span<const FuseField>{};
    std::vector<FieldAssignment> assigned;
    for (const QString& word : step.fuseFields) {
        assigned.push_back(ParseFieldAssignment(fields, word.toStdString()));
        if (!assigned.back().choice) {
            run.Problem(QStringLiteral("the %1: %2; nothing was changed")
                            .arg(QString::fromStdString(c.name), QString::fromStdString(assigned.back().error)));
            return false;
        }
    }
    if (run.GatewaySession().ReadFuses() != FuseOutcome::Done)
        return false;
    // The bytes first, the fields over them.
    for (const FuseAssignment& f : bytes)
        c.FuseDefaults[std::size_t(FuseSlotOf(*layout, f.name))] = f.value;
    for (const FieldAssignment& a : assigned)
        a.field->Encode(a.choice->code, c.FuseDefaults);
    const auto& onChip = c.FusesReadFromChip;
    const std::vector<RiskyChoice> clocks =
        RiskyChoices(fields, c.FuseDefaults, onChip ? std::optional<ConstFuseSlots>(*onChip) : std::nullopt);
    // --yes answers the routine part only; bits and clocks that lock the programmer out need
    // their own approval.
    const FuseWriteQuestions questions = WriteQuestions(*layout, c.FuseDefaults, c.FusesReadFromChip, RiskyChoiceLines(clocks));
    if (!questions.routine.isEmpty() && !run.Approve(ApprovalKind::Routine, questions.routine))
        return false;
    if (!questions.lockout.isEmpty() && !run.Approve(ApprovalKind::Lockout, questions.lockout))
        return false;
    FuseWriteReport report;
    const SocketCheck socket = run.Socket();
    run.GatewaySession().RunChipJob([&](const ProgContext& ctx, ChipJob& job, const ProgressFn&) {
        report = WriteLockFuses(ctx, job, socket);
        return report.outcome == FuseOutcome::Done;
    });
    if (!report.chipValues)
        return false;
    // What the chip holds is what it will do.
    c.FuseDefaults = *report.chipValues;
    c.FusesReadFromChip = *report.chipValues;
    PrintFuses(run);
    return report.outcome == FuseOutcome::Done;
}

// The chip's fields and every value they take, from the data alone.
bool RunListFields(CliRun& run, const CliStep& step)
{
    run.Print(QStringLiteral("%1: lock and fuse fields (write-fuses NAME=value)").arg(Text(step.chip->name)));
    for (const std::string& line : FieldListing(*step.chip))
        run.Print(QString::fromStdString(line));
    return true;
}

// Rescue: the chip's bytes read, what is wrong said, an erase asked for where the lock bits
// block the fuse write, the factory values written and read back.
bool RunRescueStep(CliRun& run, const CliStep&)
{
    const RescueReport report = RescueInto(run.Chips(), run.GatewaySession().JobRunner(), run.Approval(), run.Socket());
    if (report.restored)
        PrintFuses(run);
    return report.outcome == RescueOutcome::Restored;
}

constexpr unsigned OnChip = NeedsGateway | NeedsChip;

const CommandSpec Commands[] = {
    {"connect", "", nullptr, RunConnect, NeedsGateway, "open the port and check that a gateway answers"},
    {"signature", "", nullptr, RunSignature, NeedsGateway,
     "read the signature: in parallel programming mode, or over SPI for\n"
     "the small chips the parallel entry does not find"},
    {"select", "CHIP|auto", TakeChip, RunSelect, SelectsChip,
     "select a chip by name (ATmega8, 1887VE4U, ...) as the Chip Select menu\n"
     "does, no gateway needed; or select auto: identify it on the gateway"},
    {"read-flash", "FILE", TakeFile, RunMemoryStep<MemoryCommand::ReadProgram>, OnChip | WritesFile, "read the program memory into FILE"},
    {"write-flash", "FILE", TakeFile, RunMemoryStep<MemoryCommand::WriteProgram>, OnChip | Asks,
     "erase the chip and write FILE into the program memory"},
    {"verify-flash", "FILE", TakeFile, RunMemoryStep<MemoryCommand::VerifyProgram>, OnChip,
     "compare the program memory with FILE"},
    {"read-eeprom", "FILE", TakeFile, RunMemoryStep<MemoryCommand::ReadData>, OnChip | WritesFile, "read the data memory (EEPROM) into FILE"},
    {"write-eeprom", "FILE", TakeFile, RunMemoryStep<MemoryCommand::WriteData>, OnChip | Asks, "write FILE into the data memory"},
    {"verify-eeprom", "FILE", TakeFile, RunMemoryStep<MemoryCommand::VerifyData>, OnChip, "compare the data memory with FILE"},
    {"erase", "", nullptr, RunErase, OnChip | Asks, "erase the chip"},
    {"calibration", "", nullptr, RunCalibration, OnChip, "read the calibration bytes"},
    {"read-fuses", "", nullptr, RunReadFuses, OnChip,
     "read the lock and fuse bytes; each byte in hex with its programmed bits,\n"
     "then each field with its value in words"},
    // Asks only when a value is risky, so it is refused at that point without a terminal.
    {"write-fuses", "[FILE] [low=HH] [high=HH] [ext=HH] [lock=HH] [FIELD=value ...]", TakeFuseBytes, RunWriteFuses, OnChip,
     "write the given lock and fuse bytes (the others as the chip holds them),\n"
     "then read them back; FILE: those an avr-gcc ELF or HEX file holds in\n"
     "its .fuse and .lock sections, under the bytes given by name; fields by\n"
     "name go over the bytes\n"
     "(CKSEL_SUT=int-rc-8mhz-64ms BOOTSZ=512, see fuses CHIP); asks first when\n"
     "a value locks the chip, disables serial programming or the reset pin, or\n"
     "needs a clock from the board, refused then without a terminal unless\n"
     "--allow-lockout"},
    {"fuses", "CHIP", TakeChipName, RunListFields, NeedsNothing,
     "list the lock and fuse fields of CHIP with every value in words"},
    {"rescue", "", nullptr, RunRescueStep, OnChip,
     "restore the factory lock and fuse bytes of a parallel-mode chip that its\n"
     "bytes shut off (external clock, reset pin, SPIEN, debugWIRE, lock bits):\n"
     "reads them, says what is wrong, erases the chip when lock bits block the\n"
     "fuses (asking first: the flash is lost), writes and reads back"},
};

}  // namespace

std::span<const CommandSpec> CommandTable()
{
    return Commands;
}

const CommandSpec* FindCommand(const QString& name)
{
    for (const CommandSpec& def : Commands)
        if (name == Text(def.name))
            return &def;
    return nullptr;
}

}  // namespace velmora::cli
