#pragma once
// A virtual gateway on virtual time, reached through the in-process link, with the
// primitives' context bound to it.

#include "log/operationlog.h"
#include "prog/parallelprimitives.h"
#include "sim/simlink.h"

#include <gtest/gtest.h>

namespace velmora::sim::testing {

struct SimBench {
    explicit SimBench(const char* chip, SimFaults faults = {})
        : link(*FindSimChip(chip), /*virtualTime=*/true)
    {
        link.Gateway().SetFaults(faults);
        link.Open(QStringLiteral("virtual"));
    }
    ProgContext Context(int delays = 0) { return ProgContext{link, log, delays, link.Sleeper()}; }
    SimChip& Chip() { return link.Gateway().Chip(); }

    SimLink link;
    OperationLog log;
};

}  // namespace velmora::sim::testing
