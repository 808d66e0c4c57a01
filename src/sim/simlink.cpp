#include "sim/simlink.h"

#include "link/serialport.h"

#include <map>
#include <string>

namespace velmora::sim {

const SimChipModel* VirtualChipForPort(const QString& portText)
{
    const QString text = portText.trimmed();
    if (text.compare(QString::fromLatin1(VirtualPortItem.data(), qsizetype(VirtualPortItem.size())), Qt::CaseInsensitive) == 0)
        return FindSimChip("ATmega8");
    const QString prefix = QString::fromLatin1(VirtualPrefix.data(), qsizetype(VirtualPrefix.size()));
    if (!text.startsWith(prefix, Qt::CaseInsensitive))
        return nullptr;
    return FindSimChip(text.mid(prefix.size()).toStdString());
}

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

PortLinkFactory VirtualOrSerialLinkFactory()
{
    auto gateways = std::make_shared<std::map<std::string, std::shared_ptr<SimGateway>>>();
    return [gateways](const QString& portText, QString* devicePath) -> std::unique_ptr<GatewayLink> {
        if (const SimChipModel* model = VirtualChipForPort(portText)) {
            *devicePath = VirtualDevicePath(*model);
            std::shared_ptr<SimGateway>& gateway = (*gateways)[std::string(model->name)];
            if (!gateway)
                gateway = std::make_shared<SimGateway>(*model);
            return std::make_unique<SimLink>(gateway);
        }
        *devicePath = DevicePathForPort(portText);
        return std::make_unique<SerialLink>();
    };
}

}  // namespace velmora::sim
