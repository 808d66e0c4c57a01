#pragma once
// A gateway link fake for exact-byte tests: it records every packet sent and serves the
// answers a test queued, in order. Sends can be made to fail from the n-th one on.

#include "link/gatewaylink.h"

#include <deque>
#include <vector>

namespace velmora::testing {

using Bytes = std::vector<std::uint8_t>;

class RecordingLink : public GatewayLink {
public:
    OpenResult Open(const QString& devicePath) override;
    bool IsOpen() const override { return open_; }
    void CloseGateway() override { open_ = false; ++closes; }

    // Queues the answer of the next ReadAnswer (an empty one means a silent gateway).
    void QueueAnswer(Bytes answer) { answers_.push_back(std::move(answer)); }
    // Sends number failAt and later fail (counted from 0 since the link was made).
    void FailSendsFrom(int failAt) { failAt_ = failAt; }

    // With this on, a lone pin C read (the answered link check that ends a command and
    // follows writes) that finds no queued answer is answered "ready" ({0x01}): for tests
    // about what comes before it.
    bool answerLinkChecks = false;

    std::vector<Bytes> sent;          // every packet written, in order
    std::vector<int> readsExpected;   // the expected count of every ReadAnswer
    std::vector<int> discardsBefore;  // for each input discard, the index in sent of the packet it preceded
    int closes = 0;
    OpenStatus openStatus = OpenStatus::Ok;
    QString openedPath;

protected:
    bool WriteBytes(const std::uint8_t* data, int count) override;
    GatewayPacket ReadBytes(int expected, int timeoutMs) override;
    // The queued answers are the gateway's answers still to come, never stray input: kept.
    void DiscardInput() override { discardsBefore.push_back(int(sent.size())); }
    // Likewise nothing comes late: a queued answer belongs to a later read.
    GatewayPacket ReadQuiet(int) override { return {}; }

private:
    bool open_ = false;
    int sends_ = 0;
    int failAt_ = -1;
    std::deque<Bytes> answers_;
};

}  // namespace velmora::testing
