#include "support/recordinglink.h"

#include <algorithm>

namespace velmora::testing {

OpenResult RecordingLink::Open(const QString& devicePath)
{
    openedPath = devicePath;
    open_ = openStatus != OpenStatus::Unavailable;
    return {openStatus, {}};
}

bool RecordingLink::WriteBytes(const std::uint8_t* data, int count)
{
    if (failAt_ >= 0 && sends_ >= failAt_) {
        ++sends_;
        return false;
    }
    ++sends_;
    sent.emplace_back(data, data + count);
    return true;
}

GatewayPacket RecordingLink::ReadBytes(int expected, int)
{
    readsExpected.push_back(expected);
    GatewayPacket answer;
    if (answers_.empty() && answerLinkChecks && !sent.empty() && sent.back() == Bytes{0x18}) {
        answer.data[0] = 0x01;
        answer.count = 1;
        return answer;
    }
    if (answers_.empty())
        return answer;
    const Bytes bytes = std::move(answers_.front());
    answers_.pop_front();
    answer.count = std::int32_t(std::min(bytes.size(), answer.data.size()));
    std::copy_n(bytes.begin(), answer.count, answer.data.begin());
    return answer;
}

}  // namespace velmora::testing
