#include "cli/cli.h"

#include "cli/commandtable.h"
#include "cli/production.h"
#include "link/serialport.h"
#include "log/text.h"
#include "sim/simchips.h"
#include "sim/simlink.h"

#include <cerrno>
#include <cstring>

#include <algorithm>

namespace velmora::cli {

namespace {

void Print(std::FILE* out, const QString& line)
{
    const QByteArray utf8 = line.toUtf8();
    std::fwrite(utf8.constData(), 1, std::size_t(utf8.size()), out);
    std::fputc('\n', out);
    std::fflush(out);
}

const OptionSpec* FindOption(const QString& arg)
{
    for (const OptionSpec& def : OptionTable())
        if (arg == Text(def.name) || (!def.alias.empty() && arg == Text(def.alias)))
            return &def;
    return nullptr;
}

// "  NAME ARGS      help", the help's further lines under its first; a long name gets a line
// of its own.
void AddHelpRow(QString& text, const QString& left, std::string_view help)
{
    constexpr int Column = 22;
    QString row = QStringLiteral("  ") + left;
    const QStringList lines = Text(help).split(QLatin1Char('\n'));
    if (row.size() + 2 > Column) {
        text += row + QLatin1Char('\n');
        row.clear();
    }
    for (const QString& line : lines) {
        text += row.leftJustified(Column) + line + QLatin1Char('\n');
        row.clear();
    }
}

QString CommandLeft(const CommandSpec& def)
{
    return def.arguments.empty() ? Text(def.name) : Text(def.name) + QLatin1Char(' ') + Text(def.arguments);
}

// "virtual:CHIP" naming no simulated chip.
bool UnknownVirtualChip(const QString& port, QString* chipName)
{
    const QString prefix = Text(sim::VirtualPrefix);
    if (!port.trimmed().startsWith(prefix, Qt::CaseInsensitive))
        return false;
    *chipName = port.trimmed().mid(prefix.size());
    return !sim::FindSimChip(chipName->toStdString());
}

}  // namespace

bool FileToStandardOutput(const CliOptions& options)
{
    return std::any_of(options.steps.begin(), options.steps.end(), [](const CliStep& step) {
        return step.file == QLatin1String("-") && step.command->Needs(WritesFile);
    });
}

QString CliOptions::PortText() const
{
    return virtualChip.isEmpty() ? port : Text(sim::VirtualPrefix) + virtualChip;
}

QString UsageText()
{
    QString options;
    for (const OptionSpec& def : OptionTable())
        if (def.name != "--help")
            options += QStringLiteral(" [%1%2]").arg(Text(def.name), def.value.empty() ? QString() : QLatin1Char(' ') + Text(def.value));
    QString text = QStringLiteral("usage: velmora-cli%1\n"
                                  "                   COMMAND [ARGUMENT] [COMMAND [ARGUMENT] ...]\n"
                                  "       velmora-cli --help\n")
                       .arg(options);
    for (const OptionSpec& def : OptionTable()) {
        QString left = Text(def.name);
        if (!def.alias.empty())
            left = Text(def.alias) + QStringLiteral(", ") + left;
        if (!def.value.empty())
            left += QLatin1Char(' ') + Text(def.value);
        AddHelpRow(text, left, def.help);
    }
    text += QStringLiteral("commands, run in order, stopping at the first failure:\n");
    for (const CommandSpec& def : CommandTable())
        if (!def.Needs(NeedsChip))
            AddHelpRow(text, CommandLeft(def), def.help);
    text += QStringLiteral("after a select:\n");
    for (const CommandSpec& def : CommandTable())
        if (def.Needs(NeedsChip))
            AddHelpRow(text, CommandLeft(def), def.help);
    text += QStringLiteral("the status is 0 when every command succeeded, 1 when one failed (a difference found by\n"
                           "a verify too), 2 on bad usage\n");
    return text;
}

bool ParseArguments(const QStringList& args, CliOptions& options, QString* problem)
{
    QString why;
    auto fail = [problem](const QString& text) {
        if (problem)
            *problem = text;
        return false;
    };
    bool chipChosen = false;
    bool needsGateway = false;
    for (int i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        // --opt=value as well as --opt value.
        std::optional<QString> joined;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(QLatin1Char('='))) {
            joined = arg.mid(arg.indexOf(QLatin1Char('=')) + 1);
            arg = arg.left(arg.indexOf(QLatin1Char('=')));
        }
        if (const OptionSpec* option = FindOption(arg)) {
            QString value;
            if (option->value.empty() && joined)
                return fail(arg + QStringLiteral(" takes no value"));
            if (!option->value.empty()) {
                if (joined)
                    value = *joined;
                else if (i + 1 >= args.size())
                    return fail(arg + QStringLiteral(" needs a value"));
                else
                    value = args[++i];
            }
            if (!option->set(options, value, &why))
                return fail(why);
            continue;
        }
        if (arg.startsWith(QLatin1String("-")))
            return fail(QStringLiteral("unknown option ") + arg);
        const CommandSpec* command = FindCommand(arg);
        if (!command)
            return fail(QStringLiteral("unknown command ") + arg);
        CliStep step;
        step.command = command;
        step.usesGateway = command->Needs(NeedsGateway);
        ArgumentReader words(args, i);
        if (command->parse && !command->parse(*command, words, step, &why))
            return fail(why);
        if (command->Needs(NeedsChip) && !chipChosen)
            return fail(arg + QStringLiteral(" needs a chip: select CHIP or select auto before it"));
        chipChosen = chipChosen || command->Needs(SelectsChip);
        needsGateway = needsGateway || step.usesGateway;
        options.steps.append(step);
    }
    if (options.steps.isEmpty() && !options.listPorts)
        return fail(QStringLiteral("no command given"));
    if (!options.port.isEmpty() && !options.virtualChip.isEmpty())
        return fail(QStringLiteral("give either --port or --virtual"));
    if (needsGateway && options.PortText().isEmpty())
        return fail(QStringLiteral("give either --port or --virtual"));
    if (QString chipName; UnknownVirtualChip(options.PortText(), &chipName))
        return fail(QStringLiteral("no simulated chip named ") + chipName);
    for (const QString& port : options.ports)
        if (QString chipName; UnknownVirtualChip(port, &chipName))
            return fail(QStringLiteral("no simulated chip named ") + chipName);
    if (options.ports.size() > 1 && !options.virtualChip.isEmpty())
        return fail(QStringLiteral("give either --port or --virtual"));
    const auto inChain = [&](std::string_view name) {
        return std::any_of(options.steps.begin(), options.steps.end(), [name](const CliStep& s) { return s.command->name == name; });
    };
    if (options.serial && !chipChosen)
        return fail(QStringLiteral("--serial needs a chip: select CHIP or select auto in the chain"));
    // A flash cell is programmed only from the erased state: the number goes into flash the
    // chain has just erased and written.
    if (options.serial && options.serial->kind == FlashKind && !inChain("write-flash"))
        return fail(QStringLiteral("--serial flash:... needs write-flash in the chain"));
    if (!options.serialState.isEmpty() && !options.serial)
        return fail(QStringLiteral("--serial-state needs --serial"));
    // Standard input is read once and standard output cannot tell one chip's file from
    // another's: "-" is for one chain on one chip.
    const auto standardFiles = [&](bool written) {
        return std::count_if(options.steps.begin(), options.steps.end(), [written](const CliStep& s) {
            return s.file == QLatin1String("-") && s.command->Needs(WritesFile) == written;
        });
    };
    if (standardFiles(false) + standardFiles(true) > 0 && (options.ports.size() > 1 || options.repeat))
        return fail(QStringLiteral("a FILE given as - cannot be shared by several ports or --repeat"));
    if (standardFiles(false) > 1 || standardFiles(true) > 1)
        return fail(QStringLiteral("standard input is read, and standard output written, by one FILE given as - only"));
    if (options.count && !options.repeat)
        return fail(QStringLiteral("--count needs --repeat"));
    if (options.repeat && !needsGateway)
        return fail(QStringLiteral("--repeat needs a command that uses the gateway"));
    return true;
}

CliRun::CliRun(const CliOptions& options, CliOutputs outputs, const Terminal& terminal)
    : options_(options), outputs_(std::move(outputs)), terminal_(terminal), session_(chips_, log_)
{
    log_.SetSink([this](const QString& line) { Around(outputs_.log, line); });
    session_.SetLinkFactory(VirtualOrSerialLinkFactory(VirtualClock::Virtual));
    session_.SetDelaysValue(options.delaysValue);
    session_.SetCancelToken(&cancel_);
    session_.SetExecutor([this](const Session::WorkerJob& job) {
        job(terminal_.ProgressBar());
        terminal_.EndProgressBar();
        return true;
    });
}

void CliRun::Around(const LineOut& out, const QString& line) const
{
    if (!out)
        return;
    terminal_.ClearBar();
    out(line);
    terminal_.RedrawBar();
}

void CliRun::Print(const QString& line)
{
    Around(outputs_.results, line);
}

void CliRun::Note(const QString& line)
{
    Around(outputs_.log, line);
}

bool CliRun::WriteOut(std::string_view bytes, QString* reason)
{
    std::FILE* data = outputs_.data;
    terminal_.ClearBar();
    const bool written =
        data && std::fwrite(bytes.data(), 1, bytes.size(), data) == bytes.size() && std::fflush(data) == 0;
    if (!written && reason)
        *reason = data ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("no standard output here");
    terminal_.RedrawBar();
    return written;
}

void CliRun::Problem(const QString& text) const
{
    Around(outputs_.problems, text);
}

bool CliRun::Approve(ApprovalKind kind, const QString& question)
{
    if (terminal_.Approve(kind, question))
        return true;
    Problem(kind == ApprovalKind::Lockout && !terminal_.interactive
                ? QStringLiteral("these values can lock the programmer out of the chip; --allow-lockout writes "
                                 "them (--yes does not); nothing was changed")
                : QStringLiteral("not confirmed; nothing was changed"));
    return false;
}

SocketCheck CliRun::Socket()
{
    return {true, [this](const ChipEntry&, SignatureCode) {
                if (options_.force) {
                    Problem(QStringLiteral("--force: going on with the selected chip's algorithm"));
                    return true;
                }
                Problem(QStringLiteral("the chip in the socket is not the selected one; nothing was changed "
                                       "(--force goes on anyway)"));
                return false;
            }};
}

bool CliRun::Confirm(const QString& question)
{
    if (terminal_.Confirm(question))
        return true;
    Problem(QStringLiteral("not confirmed; nothing was changed"));
    return false;
}

namespace {

// The ports as the window lists them: the ports present (USB adapters first, with what the
// system says of them), then COM1 to COM10 with the device each means, then the virtual gateway.
void ListPorts(std::FILE* out)
{
    for (const PresentPort& port : PresentPorts())
        Print(out, port.description.isEmpty() ? port.path : port.path + QLatin1Char('\t') + port.description);
    for (const QString& com : ComPortItems())
        Print(out, com + QLatin1Char('\t') + DevicePathForPort(com));
    Print(out, Text(sim::VirtualPrefix) + QStringLiteral("CHIP\ta simulated gateway with CHIP in its socket"));
}

}  // namespace

bool CliRun::RunSteps(const std::function<void(const CliStep&)>& done)
{
    for (const CliStep& step : options_.steps) {
        if (!step.command->run(*this, step))
            return false;
        if (done)
            done(step);
    }
    return true;
}

int RunCli(const QStringList& args, std::FILE* out, std::FILE* err)
{
    return RunCli(args, out, Terminal::ForProcess(err, false));
}

int RunCli(const QStringList& args, std::FILE* out, Terminal terminal)
{
    // Help wins over everything else given with it, wrong words included.
    if (std::any_of(args.begin(), args.end(), [](const QString& arg) {
            const OptionSpec* option = FindOption(arg);
            return option && option->name == "--help";
        })) {
        std::fputs(UsageText().toUtf8().constData(), out);
        return ExitOk;
    }
    if (args.contains(QLatin1String("--version")) || args.contains(QLatin1String("-V"))) {
        std::fputs("velmora-cli " VELMORA_VERSION "\n", out);
        return ExitOk;
    }
    CliOptions options;
    QString problem;
    if (args.contains(QLatin1String("--list-ports"))) {
        ListPorts(out);
        return ExitOk;
    }
    const bool parsed = ParseArguments(args, options, &problem);
    const bool asks =
        std::any_of(options.steps.begin(), options.steps.end(), [](const CliStep& s) { return s.command->Needs(Asks); });
    if (parsed && asks && !options.yes && !terminal.interactive)
        problem = QStringLiteral("a command that erases or writes needs a terminal to ask on, or --yes");
    // Several ports, or one chip after another, cannot stop for a question at every chip.
    else if (parsed && asks && !options.yes && (options.ports.size() > 1 || options.repeat))
        problem = QStringLiteral("a command that erases or writes on several ports or with --repeat needs --yes");
    if (!problem.isEmpty()) {
        Print(terminal.err, QStringLiteral("velmora-cli: ") + problem);
        std::fputs(UsageText().toUtf8().constData(), terminal.err);
        return ExitUsage;
    }
    terminal.assumeYes = options.yes;
    terminal.allowLockout = options.allowLockout;
    return RunProduction(options, out, terminal);
}

}  // namespace velmora::cli
