#pragma once
// A recording link, a log and a context whose sleeps are counted, not slept.

#include "log/operationlog.h"
#include "prog/progcontext.h"
#include "support/recordinglink.h"

#include <gtest/gtest.h>

#include <vector>

namespace velmora::testing {

class PrimitiveTest : public ::testing::Test {
protected:
    PrimitiveTest()
    {
        link.Open(QStringLiteral("rec"));
        log.SetClock([] { return QTime(12, 0, 0); });
    }

    ProgContext Context(int delays = 0)
    {
        return ProgContext{link, log, delays, [this](int ms) { sleeps.push_back(ms); }};
    }

    RecordingLink link;
    OperationLog log;
    std::vector<int> sleeps;
};

}  // namespace velmora::testing
