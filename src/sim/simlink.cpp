#include "sim/simlink.h"

namespace velmora::sim {

QString VirtualDevicePath(const SimChipModel& model)
{
    return QString::fromLatin1(VirtualPrefix.data(), qsizetype(VirtualPrefix.size())) +
           QString::fromUtf8(model.name.data(), qsizetype(model.name.size()));
}

SimLink::SimLink(std::shared_ptr<SimGateway> gateway) : gateway_(std::move(gateway)) {}

SimLink::SimLink(const SimChipModel& model, bool virtualTime)
    : gateway_(std::make_shared<SimGateway>(model, virtualTime))
{
}

OpenResult SimLink::Open(const QString&)
{
    if (gateway_->Unplugged())
        return {OpenStatus::Unavailable, QStringLiteral("the virtual gateway was unplugged")};
    open_ = true;
    return {};
}

MillisecondSleeper SimLink::Sleeper() const
{
    std::shared_ptr<SimGateway> gateway = gateway_;
    return [gateway](int ms) {
        if (gateway->VirtualTime())
            gateway->Advance(std::int64_t(ms) * 1000);
        else
            SleepMilliseconds(ms);
    };
}

bool SimLink::WriteBytes(const std::uint8_t* data, int count)
{
    return gateway_->Receive(data, std::size_t(count));
}

GatewayPacket SimLink::ReadBytes(int expected, int timeoutMs)
{
    GatewayPacket answer;
    answer.count = std::int32_t(gateway_->TakeOutput(answer.data.data(), answer.data.size()));
    if (answer.count < expected)
        gateway_->Advance(std::int64_t(timeoutMs) * 1000);
    return answer;
}

void SimLink::DiscardInput()
{
    std::uint8_t drop[64];
    while (gateway_->TakeOutput(drop, sizeof drop) > 0) {
    }
}

}  // namespace velmora::sim
