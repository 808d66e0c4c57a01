#pragma once
// velmora-cli: the program's operations from the command line, with the operation log
// lines exactly as the window shows them.
//
//   velmora-cli [OPTION ...] COMMAND [ARGUMENT ...] [COMMAND [ARGUMENT ...] ...]
//
// The options and commands are the rows of two tables (cli/commandtable.h): each row has its
// name, its arguments, what it does and its help line, and --help is written from them. The
// arguments are parsed once, before anything runs, into typed steps; the steps run in the
// order given over one Session and stop at the first failure.

#include "batch/serialnumbers.h"
#include "cli/terminal.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <optional>

namespace velmora {
struct ChipEntry;
}

namespace velmora::cli {

// Exit statuses.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1;  // a step failed: its log line says which
inline constexpr int ExitUsage = 2;

struct CommandSpec;

// A lock or fuse byte given as NAME=HH.
struct FuseAssignment {
    QString name;  // low, high, ext or lock
    std::uint8_t value = 0;
};

// One command of the chain with its arguments as their types.
struct CliStep {
    const CommandSpec* command = nullptr;
    QString file;                      // the file of a memory command
    const ChipEntry* chip = nullptr;   // select CHIP; null for select auto
    QList<FuseAssignment> fuses;       // write-fuses
    bool usesGateway = false;          // the port is opened before the first command that does
};

struct CliOptions {
    QString port;         // --port: a port text or device path, as in the port box
    QString virtualChip;  // --virtual: a simulated chip name, the same as --port virtual:CHIP
    int delaysValue = 1;  // --delay; 1 ms like the window's track bar at start
    QString format;       // --format: "hex", "srec", "elf" or "bin"; empty: by the file
    bool yes = false;     // --yes: answer every question Yes
    bool help = false;    // --help
    // Programming many chips: every --port in order (more than one: the chain runs on each at
    // once), the serial number and where its next one is kept, the record file, the loop over
    // chips and how many of them.
    QStringList ports;
    std::optional<SerialSpec> serial;
    QString serialState;
    QString record;
    bool repeat = false;
    std::optional<int> count;
    QList<CliStep> steps;

    // The port text the link is made from: --port, or "virtual:CHIP" for --virtual.
    QString PortText() const;
};

// Parses the arguments (without the program name). On a usage error returns false with
// *problem set.
bool ParseArguments(const QStringList& args, CliOptions& options, QString* problem);
// The usage, written from the option and command tables.
QString UsageText();

// Runs the commands; log lines and results go to out, usage messages to err. Questions are
// asked on the process's standard input when it is a terminal.
int RunCli(const QStringList& args, std::FILE* out, std::FILE* err);
// The same with the terminal given (its err gets the usage messages); assumeYes is set from
// --yes.
int RunCli(const QStringList& args, std::FILE* out, Terminal terminal);

}  // namespace velmora::cli
