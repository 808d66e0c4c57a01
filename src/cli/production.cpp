#include "cli/production.h"

#include "batch/chiprecord.h"
#include "batch/chipswap.h"
#include "batch/serialnumbers.h"
#include "cli/commandtable.h"
#include "cli/portrunner.h"
#include "link/stopsignals.h"
#include "log/text.h"
#include "ops/memorycommands.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QSysInfo>

#include <algorithm>
#include <optional>

namespace velmora::cli {

namespace {

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

// What the ports of one call share. The log and the problems go to standard error, so that
// standard output carries only results and data; while a file goes to standard output, the
// results join the log.
struct Line {
    const CliOptions& options;
    const ProductionHooks& hooks;
    PortOutput out;
    PortOutput err;
    PortOutput* results = nullptr;
    std::FILE* data;
    std::optional<SerialAllocator> serials;
    ChipQuota quota;
    QString host = QSysInfo::machineHostName();
};

// -v: "> 41 0A" for a packet sent, "< 11" for an answer, "< (nothing)" for none.
QString TraceLine(bool sent, const std::uint8_t* data, int count)
{
    QStringList bytes;
    for (int k = 0; k < count; ++k)
        bytes << QStringLiteral("%1").arg(data[k], 2, 16, QLatin1Char('0')).toUpper();
    return QLatin1String(sent ? "> " : "< ") + (count == 0 ? QStringLiteral("(nothing)") : bytes.join(QLatin1Char(' ')));
}

// One port's part: its own link, session and log, one chip after another.
class PortLine {
public:
    PortLine(Line& line, const QString& port, const Terminal& terminal)
        : line_(line), port_(port), options_(OptionsFor(line.options, port)), run_(options_, Outputs(), terminal)
    {
        PortLinkFactory links = line_.hooks.links ? line_.hooks.links : VirtualOrSerialLinkFactory(VirtualClock::Virtual);
        if (options_.verbose)
            links = [this, make = std::move(links)](const QString& portText) {
                PortLink made = make(portText);
                if (made.link)
                    made.link->SetTrace([this](bool sent, const std::uint8_t* data, int count) {
                        line_.err.Line(port_, TraceLine(sent, data, count));
                    });
                return made;
            };
        run_.GatewaySession().SetLinkFactory(std::move(links));
    }

    QList<ChipRun> Run()
    {
        QList<ChipRun> runs;
        const bool gateway = std::any_of(options_.steps.begin(), options_.steps.end(),
                                         [](const CliStep& step) { return step.usesGateway; });
        problem_.clear();
        qsizetype firstLine = run_.Log().Lines().size();
        const bool connected = !gateway || Connect();
        while (line_.quota.Take(StopRequested)) {
            runs.append(RunChip(connected, firstLine));
            line_.quota.Done(runs.last().ok);
            if (!options_.repeat || !connected || !run_.GatewaySession().IsConnected() || StopRequested() ||
                line_.quota.Finished())
                break;
            problem_.clear();
            firstLine = run_.Log().Lines().size();
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

    // The lines of this port: the log on standard error (none with -q), the results where the
    // run as a whole sends them, the problems on standard error.
    CliOutputs Outputs()
    {
        return {[this](const QString& text) {
                    if (!options_.quiet)
                        line_.err.Line(port_, text);
                },
                [this](const QString& text) { line_.results->Line(port_, text); },
                [this](const QString& text) {
                    problem_ = text;
                    line_.err.Line(port_, QStringLiteral("velmora-cli: ") + text);
                },
                line_.data};
    }

    // The port opened; when it does not open, the log's line and then the system's reason, as
    // the window's status bar gives it.
    bool Connect()
    {
        const qsizetype firstLine = run_.Log().Lines().size();
        QString devicePath;
        QString reason;
        if (run_.GatewaySession().Connect(options_.PortText(), &devicePath, &reason))
            return true;
        ShowFailure(run_.Log().Lines().mid(firstLine));
        run_.Problem(QStringLiteral("%1: %2").arg(devicePath.isEmpty() ? options_.PortText() : devicePath,
                                                  reason.isEmpty() ? QStringLiteral("not available") : reason));
        return false;
    }

    // -q shows no log, but a failure that no problem line told of shows its log line.
    void ShowFailure(const QStringList& lines)
    {
        if (options_.quiet && problem_.isEmpty() && !lines.isEmpty())
            line_.err.Line(port_, FailingLine(lines));
    }

    // The chain once on the chip in the socket, its serial number, its record; firstLine is
    // where its log lines begin.
    ChipRun RunChip(bool connected, qsizetype firstLine)
    {
        QElapsedTimer timer;
        timer.start();
        // Each chip starts from the files alone: nothing of the chip before, its serial number
        // least of all, goes into the next.
        ResetBuffer(run_.Chips(), 1);
        ResetBuffer(run_.Chips(), 2);
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
            if (connected)
                ShowFailure(lines);
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
        return ChipRun{port_, record.chip, ok, double(timer.elapsed()) / 1000.0, run_.RefusedAsUsage()};
    }

    // The number after the image was written and verified: the next one is taken only now, so
    // numbers go to chips in the order they got this far.
    bool WriteSerial(ChipRecord& record)
    {
        const SerialSpec& def = *options_.serial;
        chip& c = run_.Chips().CurrentChip;
        const std::uint32_t size = c.ImageSize(def.kind);
        const QString memory = def.kind == FlashKind ? QStringLiteral("flash") : QStringLiteral("EEPROM");
        if (size < SerialBytes || def.address > size - SerialBytes) {
            run_.Problem(QStringLiteral("the serial number at 0x%1 does not fit into the %2 of the %3 (%4 bytes)")
                             .arg(QString::number(def.address, 16).toUpper(), memory, QString::fromStdString(c.name))
                             .arg(size));
            return false;
        }
        // Flash cells are only programmed from the erased state: the image written must have
        // left the number's bytes blank.
        const std::uint8_t* at = c.Image(def.kind) + def.address;
        if (def.kind == FlashKind &&
            std::any_of(at, at + SerialBytes, [&](std::uint8_t b) { return b != BlankValue(run_.Chips()); })) {
            run_.Problem(QStringLiteral("the flash image is not blank at 0x%1, where the serial number goes")
                             .arg(QString::number(def.address, 16).toUpper()));
            return false;
        }
        // The patch rewrites the EEPROM below the number as the image holds it: the image must
        // hold what the chip holds.
        if (def.kind == EepromKind && !ChainHas(options_, "write-eeprom") &&
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
        PutSerial({c.Image(def.kind), size}, def.address, *number);
        const QString trying = QStringLiteral(" write the serial number %1 into the %2 at 0x%3")
                                   .arg(*number)
                                   .arg(memory, QString::number(def.address, 16).toUpper().rightJustified(4, QLatin1Char('0')));
        return run_.GatewaySession().RunChipJob([&](const ProgContext& ctx, ChipJob& job, const ProgressFn& progress) {
            return RunPatchWrite(def.kind, def.address + SerialBytes - 1, trying, ctx, job, progress);
        });
    }

    // The chip taken out and the next put in, the supplies off but for the short checks.
    bool NextChip()
    {
        run_.Note(QStringLiteral("Take the chip out and put the next one in"));
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

int RunProduction(const CliOptions& options, std::FILE* out, const Terminal& terminal, const ProductionHooks& hooks)
{
    const QStringList ports = options.ports.isEmpty() ? QStringList{options.PortText()} : options.ports;
    const bool several = ports.size() > 1;
    Line line{options, hooks, PortOutput(out, several), PortOutput(terminal.err, several), nullptr, out, {},
              ChipQuota(options.count)};
    line.results = FileToStandardOutput(options) ? &line.err : &line.out;
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
    if (allOk)
        return ExitOk;
    return std::any_of(runs.begin(), runs.end(), [](const ChipRun& r) { return r.badUsage; }) ? ExitUsage : ExitFailed;
}

}  // namespace velmora::cli
