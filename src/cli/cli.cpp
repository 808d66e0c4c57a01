#include "cli/cli.h"

#include "cli/commandtable.h"
#include "cli/production.h"
#include "sim/simchips.h"
#include "sim/simlink.h"

#include <algorithm>

namespace velmora::cli {

namespace {

QString Text(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

void Print(std::FILE* out, const QString& line)
{
    const QByteArray utf8 = line.toUtf8();
    std::fwrite(utf8.constData(), 1, std::size_t(utf8.size()), out);
    std::fputc('\n', out);
    std::fflush(out);
}

const OptionSpec* FindOption(const QString& arg)
{
    for (const OptionSpec& spec : OptionTable())
        if (arg == Text(spec.name) || (!spec.alias.empty() && arg == Text(spec.alias)))
            return &spec;
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

QString CommandLeft(const CommandSpec& spec)
{
    return spec.arguments.empty() ? Text(spec.name) : Text(spec.name) + QLatin1Char(' ') + Text(spec.arguments);
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

QString CliOptions::PortText() const
{
    return virtualChip.isEmpty() ? port : Text(sim::VirtualPrefix) + virtualChip;
}

QString UsageText()
{
    QString options;
    for (const OptionSpec& spec : OptionTable())
        if (spec.name != "--help")
            options += QStringLiteral(" [%1%2]").arg(Text(spec.name), spec.value.empty() ? QString() : QLatin1Char(' ') + Text(spec.value));
    QString text = QStringLiteral("usage: velmora-cli%1\n"
                                  "                   COMMAND [ARGUMENT] [COMMAND [ARGUMENT] ...]\n"
                                  "       velmora-cli --help\n")
                       .arg(options);
    for (const OptionSpec& spec : OptionTable()) {
        QString left = Text(spec.name);
        if (!spec.alias.empty())
            left = Text(spec.alias) + QStringLiteral(", ") + left;
        if (!spec.value.empty())
            left += QLatin1Char(' ') + Text(spec.value);
        AddHelpRow(text, left, spec.help);
    }
    text += QStringLiteral("commands, run in order, stopping at the first failure:\n");
    for (const CommandSpec& spec : CommandTable())
        if (!spec.Needs(NeedsChip))
            AddHelpRow(text, CommandLeft(spec), spec.help);
    text += QStringLiteral("after a select:\n");
    for (const CommandSpec& spec : CommandTable())
        if (spec.Needs(NeedsChip))
            AddHelpRow(text, CommandLeft(spec), spec.help);
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
        const QString& arg = args[i];
        if (const OptionSpec* option = FindOption(arg)) {
            QString value;
            if (!option->value.empty()) {
                if (i + 1 >= args.size())
                    return fail(arg + QStringLiteral(" needs a value"));
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
    if (options.steps.isEmpty())
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
    if (options.count && !options.repeat)
        return fail(QStringLiteral("--count needs --repeat"));
    if (options.repeat && !needsGateway)
        return fail(QStringLiteral("--repeat needs a command that uses the gateway"));
    return true;
}

CliRun::CliRun(const CliOptions& options, std::FILE* out, const Terminal& terminal)
    : options_(options), out_(out), terminal_(terminal), session_(chips_, log_)
{
    log_.SetSink([this](const QString& line) { Print(line); });
    // The virtual gateway on virtual time: the chip's waits pass without the process sleeping.
    session_.SetLinkFactory(VirtualOrSerialLinkFactory(VirtualClock::Virtual));
    session_.SetDelaysValue(options.delaysValue);
    session_.SetExecutor([this](const Session::WorkerJob& job) {
        job(terminal_.ProgressBar());
        terminal_.EndProgressBar();
        return true;
    });
}

void CliRun::SetOutput(LineOut lines, LineOut problems)
{
    lines_ = std::move(lines);
    problems_ = std::move(problems);
}

void CliRun::Print(const QString& line)
{
    terminal_.ClearBar();
    if (lines_)
        lines_(line);
    else
        cli::Print(out_, line);
    terminal_.RedrawBar();
}

void CliRun::Problem(const QString& text) const
{
    terminal_.ClearBar();
    if (problems_)
        problems_(text);
    else
        cli::Print(terminal_.err, QStringLiteral("velmora-cli: ") + text);
    terminal_.RedrawBar();
}

bool CliRun::Confirm(const QString& question)
{
    if (terminal_.Confirm(question))
        return true;
    Problem(QStringLiteral("not confirmed; nothing was changed"));
    return false;
}

int CliRun::Run()
{
    const bool needsGateway = std::any_of(options_.steps.begin(), options_.steps.end(),
                                          [](const CliStep& step) { return step.usesGateway; });
    if (needsGateway && !session_.Connect(options_.PortText()))
        return ExitFailed;
    const int status = RunSteps({}) ? ExitOk : ExitFailed;
    // As on leaving the window: a link still open is disconnected, with its line.
    if (session_.IsConnected())
        session_.Disconnect();
    return status;
}

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
    CliOptions options;
    QString problem;
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
    return RunProduction(options, out, terminal);
}

}  // namespace velmora::cli
