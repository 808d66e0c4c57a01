#pragma once
// velmora-cli: the program's operations from the command line, with the operation log
// lines exactly as the window shows them.
//
//   velmora-cli [--port DEVICE | --virtual CHIP] [--delay 0..5] COMMAND
//
// Commands: connect (open and handshake), signature (generic parallel entry, signature
// read, exit; then the SignatureCode and the chip's catalogue name), select CHIP (a chip
// by its name or menu item name, as the Chip Select menu does, no gateway needed; or "auto":
// Autosearch on the gateway; then the chip's catalogue data).

#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>

namespace velmora::cli {

// Exit statuses.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1;  // a step failed: its log line says which
inline constexpr int ExitUsage = 2;

struct CliOptions {
    QString port;         // --port: a port text or device path, as in the port box
    QString virtualChip;  // --virtual: a simulated chip name
    int delaysValue = 1;  // --delay; 1 ms like the window's track bar at start
    QString command;
    QString chip;  // select: a chip name, a menu item name, or "auto"
};

// Parses the arguments (without the program name). On a usage error returns false with
// *problem set.
bool ParseArguments(const QStringList& args, CliOptions& options, QString* problem);
QString UsageText();

// Runs the command; log lines and results go to out, usage messages to err.
int RunCli(const QStringList& args, std::FILE* out, std::FILE* err);

}  // namespace velmora::cli
