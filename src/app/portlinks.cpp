#include "app/portlinks.h"

#include "link/serialport.h"
#include "sim/simlink.h"

#include <map>
#include <string>

namespace velmora {

namespace {
QString Latin1(std::string_view text) { return QString::fromLatin1(text.data(), qsizetype(text.size())); }
}  // namespace

const sim::SimChipModel* VirtualChipForPort(const QString& portText)
{
    const QString text = portText.trimmed();
    if (text.compare(Latin1(VirtualPortItem), Qt::CaseInsensitive) == 0)
        return sim::FindSimChip("ATmega8");
    const QString prefix = Latin1(sim::VirtualPrefix);
    if (!text.startsWith(prefix, Qt::CaseInsensitive))
        return nullptr;
    return sim::FindSimChip(text.mid(prefix.size()).toStdString());
}

PortLinkFactory VirtualOrSerialLinkFactory()
{
    auto gateways = std::make_shared<std::map<std::string, std::shared_ptr<sim::SimGateway>>>();
    return [gateways](const QString& portText, QString* devicePath) -> std::unique_ptr<GatewayLink> {
        if (const sim::SimChipModel* model = VirtualChipForPort(portText)) {
            *devicePath = sim::VirtualDevicePath(*model);
            std::shared_ptr<sim::SimGateway>& gateway = (*gateways)[std::string(model->name)];
            if (!gateway)
                gateway = std::make_shared<sim::SimGateway>(*model);
            return std::make_unique<sim::SimLink>(gateway);
        }
        *devicePath = DevicePathForPort(portText);
        return std::make_unique<SerialLink>();
    };
}

}  // namespace velmora
