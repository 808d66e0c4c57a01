#pragma once
// The tables velmora-cli is made of. A command is one row of CommandTable(): its name, the
// arguments it takes (parsed once into a CliStep), what it needs, its handler and its help
// line; an option is one row of OptionTable(). A new command or option is a new row and,
// where no existing one fits, a new parser or handler beside the others; --help follows.

#include "cli/cli.h"
#include "log/operationlog.h"
#include "session/session.h"

#include <functional>
#include <span>
#include <string_view>

namespace velmora::cli {

class CliRun;

// The words after a command's name, taken one at a time.
class ArgumentReader {
public:
    ArgumentReader(const QStringList& args, int& index) : args_(args), index_(index) {}
    bool AtEnd() const { return index_ + 1 >= args_.size(); }
    const QString& Peek() const { return args_[index_ + 1]; }
    QString Take() { return args_[++index_]; }

private:
    const QStringList& args_;
    int& index_;
};

// Takes the command's arguments into step; false with *problem set on a usage error.
using ArgumentParser = bool (*)(const CommandSpec& spec, ArgumentReader& words, CliStep& step, QString* problem);
// Runs a step; false when it failed (its lines and problems are written).
using StepHandler = bool (*)(CliRun& run, const CliStep& step);

enum CommandNeed : unsigned {
    NeedsNothing = 0,
    NeedsGateway = 1,  // the port is opened before the chain starts
    NeedsChip = 2,     // runs on the chip of an earlier select
    Asks = 4,          // asks before it changes the chip: a terminal or --yes is needed
    SelectsChip = 8,   // makes a chip current for the commands after it
};

struct CommandSpec {
    std::string_view name;
    std::string_view arguments;  // as --help shows them: "FILE", "CHIP|auto"
    ArgumentParser parse;        // null: the command takes no arguments
    StepHandler run;
    unsigned needs;              // CommandNeed bits
    std::string_view help;       // lines joined by '\n'
    bool Needs(CommandNeed need) const { return (needs & need) != 0; }
};

// Sets the option's value in options; false with *problem set when the value is not one.
using OptionSetter = bool (*)(CliOptions& options, const QString& value, QString* problem);

struct OptionSpec {
    std::string_view name;   // "--port"
    std::string_view alias;  // a short form ("-h"), or empty
    std::string_view value;  // as --help shows the value ("DEVICE"); empty: a flag
    OptionSetter set;
    std::string_view help;   // lines joined by '\n'
};

std::span<const CommandSpec> CommandTable();
std::span<const OptionSpec> OptionTable();
const CommandSpec* FindCommand(const QString& name);

// One run of the chain: what the window would hold (the log, the current chip, the session)
// and where the output goes. The handlers' view of velmora-cli.
class CliRun {
public:
    CliRun(const CliOptions& options, std::FILE* out, const Terminal& terminal);

    // Opens the port when a step needs it, runs the steps, and disconnects as leaving the
    // window does.
    int Run();
    // The steps alone, on the port as it is, stopping at the first that fails; done is called
    // after each that succeeded.
    bool RunSteps(const std::function<void(const CliStep&)>& done);

    // Where the lines and the problems go instead of the output and the terminal's error
    // stream: several ports share them, each line marked with its port.
    using LineOut = std::function<void(const QString& text)>;
    void SetOutput(LineOut lines, LineOut problems);

    const CliOptions& Options() const { return options_; }
    Session& GatewaySession() { return session_; }
    ChipState& Chips() { return chips_; }
    OperationLog& Log() { return log_; }

    // A result line on the output, between the log lines.
    void Print(const QString& line);
    // "velmora-cli: text" on the terminal's error stream.
    void Problem(const QString& text) const;
    // The window's question; a No writes "not confirmed; nothing was changed".
    bool Confirm(const QString& question);

private:
    const CliOptions& options_;
    std::FILE* out_;
    const Terminal& terminal_;
    OperationLog log_;
    ChipState chips_;
    Session session_;
    LineOut lines_;
    LineOut problems_;
};

}  // namespace velmora::cli
