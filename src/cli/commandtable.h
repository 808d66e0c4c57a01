#pragma once
// The tables velmora-cli is made of. A command is one row of CommandTable(): its name, the
// arguments it takes (parsed once into a CliStep), what it needs, its handler and its help
// line; an option is one row of OptionTable(). A new command or option is a new row and,
// where no existing one fits, a new parser or handler beside the others; --help follows.

#include "cli/cli.h"
#include "log/operationlog.h"
#include "ops/approval.h"
#include "ops/memorycommands.h"
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
using ArgumentParser = bool (*)(const CommandSpec& def, ArgumentReader& words, CliStep& step, QString* problem);
// Runs a step; false when it failed (its lines and problems are written).
using StepHandler = bool (*)(CliRun& run, const CliStep& step);

enum CommandNeed : unsigned {
    NeedsNothing = 0,
    NeedsGateway = 1,  // the port is opened before the chain starts
    NeedsChip = 2,     // runs on the chip of an earlier select
    Asks = 4,          // asks before it changes the chip: a terminal or --yes is needed
    SelectsChip = 8,   // makes a chip current for the commands after it
    WritesFile = 16,   // its FILE is written (as "-": to standard output); else read
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

// Where a run's output goes; the production runner decides it for every port (cli/production.h).
// An empty one drops what it is given.
using LineOut = std::function<void(const QString& text)>;
struct CliOutputs {
    LineOut log;                 // the operation log's lines and the notes
    LineOut results;             // the results: a chip's name, its signature, its fuse bytes
    LineOut problems;            // the command line's own refusals and reasons, without "velmora-cli: "
    std::FILE* data = nullptr;   // a file given as "-" is written here
};

// One run of the chain: what the window would hold (the log, the current chip, the session)
// and where the output goes. The handlers' view of velmora-cli.
class CliRun {
public:
    CliRun(const CliOptions& options, CliOutputs outputs, const Terminal& terminal);

    // The steps on the port as it is, stopping at the first that fails; done is called after
    // each that succeeded.
    bool RunSteps(const std::function<void(const CliStep&)>& done);

    const CliOptions& Options() const { return options_; }
    Session& GatewaySession() { return session_; }
    ChipState& Chips() { return chips_; }
    OperationLog& Log() { return log_; }

    // A result line, between the log lines.
    void Print(const QString& line);
    // A line for the person at the terminal, with the log: the human form of a result.
    void Note(const QString& line);
    // A file's bytes on the data output (a FILE given as "-"); false with *reason on failure.
    bool WriteOut(std::string_view bytes, QString* reason);
    // A refusal or reason of the command line's own.
    void Problem(const QString& text) const;
    // The window's question; a No writes "not confirmed; nothing was changed".
    bool Confirm(const QString& question);
    // A question of kind (ops/approval.h): a lock-out one needs --allow-lockout or a terminal.
    bool Approve(ApprovalKind kind, const QString& question);
    Approver Approval() { return [this](ApprovalKind kind, const QString& q) { return Approve(kind, q); }; }
    // The check of the chip in the socket before erasing or writing: another chip is refused
    // unless --force.
    SocketCheck Socket();
    // A step found what the command line asked for unusable (after its Problem line): the run
    // ends with the usage status.
    void RefuseAsUsage() { badUsage_ = true; }
    bool RefusedAsUsage() const { return badUsage_; }

private:
    // A line out, the progress bar stepping aside for it.
    void Around(const LineOut& out, const QString& line) const;

    const CliOptions& options_;
    CliOutputs outputs_;
    const Terminal& terminal_;
    OperationLog log_;
    ChipState chips_;
    Session session_;
    bool badUsage_ = false;
    CancelToken cancel_;  // stops the running command at its next packet
};

}  // namespace velmora::cli
