#pragma once
// The production line of velmora-cli: the chain on every --port at once, a serial number into
// each chip that succeeded (--serial), a record per chip (--record), and with --repeat the wait
// for the next chip. Without any of them it is one chain on one port, as ever.

#include "cli/cli.h"
#include "session/portlinks.h"

#include <cstdio>

namespace velmora::cli {

// A Ctrl+C: every port ends its chip (its command stops at the next packet, the socket's
// supplies off) and no port starts another. Safe from a signal handler.
void RequestStop();
bool StopRequested();

// What a test puts in place of the real world: the links the port texts make, and the pause
// between two checks of the socket (where a test takes a chip out and puts one in).
struct ProductionHooks {
    PortLinkFactory links;              // empty: the port texts' own links
    MillisecondSleeper checkPause = SleepMilliseconds;
};

// Runs the parsed options: the status is ExitOk only when every chip on every port succeeded.
int RunProduction(const CliOptions& options, std::FILE* out, const Terminal& terminal,
                  const ProductionHooks& hooks = {});

}  // namespace velmora::cli
