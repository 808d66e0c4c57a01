#include "cli/production.h"

#include "batch/chiprecord.h"
#include "batch/chipswap.h"
#include "batch/serialnumbers.h"
#include "cli/commandtable.h"
#include "cli/portrunner.h"
#include "ops/memorycommands.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QSysInfo>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <optional>

namespace velmora::cli {

namespace {

std::atomic<bool> stopRequested{false};

void OnInterrupt(int)
{
    RequestStop();
}

// The first Ctrl+C lets every port end its chip in order (supplies off, link closed) and start
// no other; the handler is then gone, so a second one ends the program at once.
void CatchInterrupt()
{
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = int(SA_RESETHAND);
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

QString Text(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// The words of a step as they were given: "write-flash fw.hex", "select auto".
QString StepText(const CliStep& step)
{
    QString text = Text(step.command->name);
    if (step.command->Needs(SelectsChip))
        text += QLatin1Char(' ') + (step.chip ? Text(step.chip->name) : QStringLiteral("auto"));
    if (!step.file.isEmpty())
        text += QLatin1Char(' ') + step.file;
    for (const FuseAssignment& f : step.fuses)
        text += QStringLiteral(" %1=%2").arg(f.name).arg(f.value, 2, 16, QLatin1Char('0')).toUpper();
    return text;
}

// What each command leaves in the chip's record, from the current chip after it ran.
struct RecordNote {
    std::string_view command;
    void (*note)(ChipRecord& record, const chip& c);
};
const RecordNote RecordNotes[] = {
    {"select", NoteChip},
    {"write-flash", [](ChipRecord& r, const chip& c) { NoteImageWritten(r, c, FlashKind); }},
    {"write-eeprom", [](ChipRecord& r, const chip& c) { NoteImageWritten(r, c, EepromKind); }},
    {"calibration", NoteCalibration},
    {"read-fuses", NoteFuses},
    {"write-fuses", NoteFuses},
};

bool ChainHas(const CliOptions& options, std::string_view command)
{
    return std::any_of(options.steps.begin(), options.steps.end(),
                       [command](const CliStep& step) { return step.command->name == command; });
}

// What the ports of one call share.
struct Line {
    const CliOptions& options;
    const ProductionHooks& hooks;
    PortOutput out;
    PortOutput err;
    std::optional<SerialAllocator> serials;
    ChipQuota quota;
    QString host = QSysInfo::machineHostName();
};

// One port's part: its own link, session and log, one chip after another.
class PortLine {
public:
    PortLine(Line& line, const QString& port, const Terminal& terminal)
        : line_(line), port_(port), options_(OptionsFor(line.options, port)), run_(options_, nullptr, terminal)
    {
        run_.SetOutput([this](const QString& text) { line_.out.Line(port_, text); },
                       [this](const QString& text) {
                           problem_ = text;
                           line_.err.Line(port_, QStringLiteral("velmora-cli: ") + text);
                       });
        if (line_.hooks.links)
            run_.GatewaySession().SetLinkFactory(line_.hooks.links);
    }

    QList<ChipRun> Run()
    {
        QList<ChipRun> runs;
        const bool gateway = std::any_of(options_.steps.begin(), options_.steps.end(),
                                         [](const CliStep& step) { return step.usesGateway; });
        const bool connected = !gateway || run_.GatewaySession().Connect(options_.PortText());
        while (line_.quota.Take(StopRequested)) {
            runs.append(RunChip(connected));
            line_.quota.Done(runs.last().ok);
            if (!options_.repeat || !connected || !run_.GatewaySession().IsConnected() || StopRequested() ||
                line_.quota.Finished())
                break;
            if (!NextChip()) {
                runs.append(ChipRun{port_, {}, false, 0});
                break;
            }
        }
        if (run_.GatewaySession().IsConnected())
            run_.GatewaySession().Disconnect();
        return runs;
    }

private:
    static CliOptions OptionsFor(const CliOptions& options, const QString& port)
    {
        CliOptions own = options;
        own.port = port;
        own.ports = {port};
        return own;
    }

    // The chain once on the chip in the socket, its serial number, its record.
    ChipRun RunChip(bool connected)
    {
        QElapsedTimer timer;
        timer.start();
        // Each chip starts from the files alone: nothing of the chip before, its serial number
        // least of all, goes into the next.
        ResetBuffer(run_.Chips(), 1);
        ResetBuffer(run_.Chips(), 2);
        const qsizetype firstLine = run_.Log().Lines().size();
        problem_.clear();
        ChipRecord record;
        record.host = line_.host;
        record.port = port_;
        for (const CliStep& step : options_.steps)
            record.commands.append(StepText(step));

        bool ok = connected && run_.RunSteps([&](const CliStep& step) {
            for (const RecordNote& n : RecordNotes)
                if (step.command->name == n.command)
                    n.note(record, run_.Chips().CurrentChip);
        });
        if (ok && options_.serial)
            ok = WriteSerial(record);

        record.time = QDateTime::currentDateTime();
        record.ok = ok;
        if (!ok) {
            const QStringList lines = run_.Log().Lines().mid(firstLine);
            record.failLine = FailingLine(lines);
            // A refusal of the command line's own (a number that does not fit, a file) is no
            // log line.
            if (!problem_.isEmpty() && (lines.isEmpty() || record.failLine == lines.last()))
                record.failLine = problem_;
        }
        if (!options_.record.isEmpty()) {
            QString why;
            if (!AppendRecordLine(options_.record, RecordLine(record), &why)) {
                // A chip without its record is not done: the line must say what went into it.
                run_.Problem(QStringLiteral("cannot append to %1: %2").arg(options_.record, why));
                ok = false;
            }
        }
        return ChipRun{port_, record.chip, ok, double(timer.elapsed()) / 1000.0};
    }

    // The number after the image was written and verified: the next one is taken only now, so
    // numbers go to chips in the order they got this far.
    bool WriteSerial(ChipRecord& record)
    {
        const SerialSpec& spec = *options_.serial;
        chip& c = run_.Chips().CurrentChip;
        const std::uint32_t size = c.ImageSize(spec.kind);
        const QString memory = spec.kind == FlashKind ? QStringLiteral("flash") : QStringLiteral("EEPROM");
        if (size < SerialBytes || spec.address > size - SerialBytes) {
            run_.Problem(QStringLiteral("the serial number at 0x%1 does not fit into the %2 of the %3 (%4 bytes)")
                             .arg(QString::number(spec.address, 16).toUpper(), memory, QString::fromStdString(c.name))
                             .arg(size));
            return false;
        }
        // Flash cells are only programmed from the erased state: the image written must have
        // left the number's bytes blank.
        const std::uint8_t* at = c.Image(spec.kind) + spec.address;
        if (spec.kind == FlashKind &&
            std::any_of(at, at + SerialBytes, [&](std::uint8_t b) { return b != BlankValue(run_.Chips()); })) {
            run_.Problem(QStringLiteral("the flash image is not blank at 0x%1, where the serial number goes")
                             .arg(QString::number(spec.address, 16).toUpper()));
            return false;
        }
        // The patch rewrites the EEPROM below the number as the image holds it: the image must
        // hold what the chip holds.
        if (spec.kind == EepromKind && !ChainHas(options_, "write-eeprom") &&
            !run_.GatewaySession().RunChipJob([](const ProgContext& ctx, ChipJob& job, const ProgressFn& progress) {
                return RunMemoryCommand(MemoryCommand::ReadData, ctx, job, progress);
            }))
            return false;
        QString why;
        const std::optional<std::uint32_t> number = line_.serials->Take(&why);
        if (!number) {
            run_.Problem(why);
            return false;
        }
        record.serial = *number;
        PutSerial({c.Image(spec.kind), size}, spec.address, *number);
        const QString trying = QStringLiteral(" write the serial number %1 into the %2 at 0x%3")
                                   .arg(*number)
                                   .arg(memory, QString::number(spec.address, 16).toUpper().rightJustified(4, QLatin1Char('0')));
        return run_.GatewaySession().RunChipJob([&](const ProgContext& ctx, ChipJob& job, const ProgressFn& progress) {
            return RunPatchWrite(spec.kind, spec.address + SerialBytes - 1, trying, ctx, job, progress);
        });
    }

    // The chip taken out and the next put in, the supplies off but for the short checks.
    bool NextChip()
    {
        run_.Print(QStringLiteral("Take the chip out and put the next one in"));
        const SignatureProbe probe = [this]() -> std::optional<SignatureCode> {
            std::optional<SignatureCode> code;
            run_.GatewaySession().RunOnLink([&](const ProgContext& ctx) { code = ProbeSocket(ctx); });
            return code;
        };
        SignatureCode next = 0;
        const SwapEnd end = WaitForNextChip(probe, StopRequested, line_.hooks.checkPause, ChipSwapTiming{}, &next);
        if (end == SwapEnd::LinkLost)
            run_.Problem(QStringLiteral("the gateway stopped answering while waiting for the next chip"));
        return end != SwapEnd::LinkLost;
    }

    Line& line_;
    QString port_;
    CliOptions options_;
    CliRun run_;
    QString problem_;  // the last refusal of the command line's own during this chip
};

}  // namespace

void RequestStop()
{
    stopRequested.store(true);
}

bool StopRequested()
{
    return stopRequested.load();
}

int RunProduction(const CliOptions& options, std::FILE* out, const Terminal& terminal, const ProductionHooks& hooks)
{
    const QStringList ports = options.ports.isEmpty() ? QStringList{options.PortText()} : options.ports;
    const bool several = ports.size() > 1;
    stopRequested.store(false);
    if (several || options.repeat)
        CatchInterrupt();
    Line line{options, hooks, PortOutput(out, several), PortOutput(terminal.err, several), {}, ChipQuota(options.count)};
    if (options.serial)
        line.serials.emplace(*options.serial, options.serialState);
    // One bar cannot show several ports.
    Terminal own = terminal;
    own.progressBar = own.progressBar && !several;
    const QList<ChipRun> runs =
        RunOnEveryPort(ports, [&](const QString& port) { return PortLine(line, port, own).Run(); });
    if (several || options.repeat) {
        const QByteArray table = SummaryTable(runs).toUtf8();
        std::fwrite(table.constData(), 1, std::size_t(table.size()), out);
        std::fflush(out);
    }
    const bool allOk = !runs.isEmpty() && std::all_of(runs.begin(), runs.end(), [](const ChipRun& r) { return r.ok; });
    return allOk ? ExitOk : ExitFailed;
}

}  // namespace velmora::cli
