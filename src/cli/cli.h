#pragma once
// velmora-cli: the program's operations from the command line, with the operation log
// lines exactly as the window shows them.
//
//   velmora-cli [--port DEVICE | --virtual CHIP] [--delay 0..5] [--format hex|srec|elf|bin] [--yes]
//               COMMAND [ARGUMENT] [COMMAND [ARGUMENT] ...]
//
// Commands run in the order given and stop at the first failure: connect (open and
// handshake), signature (generic parallel entry, signature read, exit; then the SignatureCode
// and the chip's catalogue name), select CHIP (a chip by its name or menu item name, as the
// Chip Select menu does, no gateway needed; or "auto": Autosearch on the gateway; then the
// chip's catalogue data), and after a select the memory commands: read-flash FILE,
// write-flash FILE, verify-flash FILE, read-eeprom FILE, write-eeprom FILE, verify-eeprom FILE,
// erase, calibration, and the lock and fuse commands read-fuses and write-fuses low=HH
// [high=HH] [ext=HH] [lock=HH]. A FILE ending in BIN (any case) is binary, any other Intel HEX, unless
// --format says. The commands that erase or write ask the window's question on the terminal,
// and are refused without one unless --yes is given; write-fuses asks only about values that
// lock the chip or cut off its programming, or whose reset pin they take.

#include "cli/terminal.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace velmora::cli {

// Exit statuses.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1;  // a step failed: its log line says which
inline constexpr int ExitUsage = 2;

// One command of the chain with its argument: the chip of select, the file of a memory command.
struct CliStep {
    QString command;
    QString argument;
};

struct CliOptions {
    QString port;         // --port: a port text or device path, as in the port box
    QString virtualChip;  // --virtual: a simulated chip name
    int delaysValue = 1;  // --delay; 1 ms like the window's track bar at start
    QString format;       // --format: "hex", "srec", "elf" or "bin"; empty: by the file
    bool yes = false;     // --yes: answer every question Yes
    QList<CliStep> steps;
};

// Parses the arguments (without the program name). On a usage error returns false with
// *problem set.
bool ParseArguments(const QStringList& args, CliOptions& options, QString* problem);
QString UsageText();

// Runs the commands; log lines and results go to out, usage messages to err. Questions are
// asked on the process's standard input when it is a terminal.
int RunCli(const QStringList& args, std::FILE* out, std::FILE* err);
// The same with the terminal given (its err gets the usage messages); assumeYes is set from
// --yes.
int RunCli(const QStringList& args, std::FILE* out, Terminal terminal);

}  // namespace velmora::cli
