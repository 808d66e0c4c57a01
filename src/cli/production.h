#pragma once
// The production line of velmora-cli: the chain on every --port at once, a serial number into
// each chip that succeeded (--serial), a record per chip (--record), and with --repeat the wait
// for the next chip. Without any of them it is one chain on one port, as ever.

#include "cli/cli.h"
#include "session/portlinks.h"

#include <cstdio>

namespace velmora::cli {

// A stop signal (link/stopsignals.h: Ctrl+C, kill, a closed terminal) ends every port's command
// at its next packet with the socket's supplies off, and no port starts another chip.

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
