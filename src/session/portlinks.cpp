#include "session/portlinks.h"

#include "link/serialport.h"
#include "sim/simlink.h"

#include <map>
#include <string>

namespace velmora {

namespace {
QString Latin1(std::string_view text) { return QString::fromLatin1(text.data(), qsizetype(text.size())); }

// "virtual:" with a name no simulated chip has: the port cannot be opened, and says why.
class UnknownVirtualChipLink : public GatewayLink {
public:
    explicit UnknownVirtualChipLink(QString name) : name_(std::move(name)) {}
    OpenResult Open(const QString&) override
    {
        return {OpenStatus::Unavailable,
                QStringLiteral("no simulated chip is named \"%1\"; the Chip Select menu shows the names, "
                               "and velmora-sim --list prints them")
                    .arg(name_)};
    }
    bool IsOpen() const override { return false; }
    void CloseGateway() override {}

protected:
    bool WriteBytes(const std::uint8_t*, int) override { return false; }
    GatewayPacket ReadBytes(int, int) override { return {}; }

private:
    QString name_;
};

PortLink SerialPortLink(const QString& portText)
{
    return {std::make_unique<SerialLink>(), DevicePathForPort(portText), SleepMilliseconds};
}
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

QStringList VirtualPortTexts()
{
    QStringList texts;
    for (const sim::SimChipModel& model : sim::SimChipModels())
        texts << Latin1(sim::VirtualPrefix) + QString::fromUtf8(model.name.data(), qsizetype(model.name.size()));
    return texts;
}

PortLinkFactory VirtualOrSerialLinkFactory(VirtualClock clock)
{
    auto gateways = std::make_shared<std::map<std::string, std::shared_ptr<sim::SimGateway>>>();
    return [gateways, clock](const QString& portText) -> PortLink {
        if (const sim::SimChipModel* model = VirtualChipForPort(portText)) {
            std::shared_ptr<sim::SimGateway>& gateway = (*gateways)[std::string(model->name)];
            if (!gateway)
                gateway = std::make_shared<sim::SimGateway>(*model, clock == VirtualClock::Virtual);
            auto link = std::make_unique<sim::SimLink>(gateway);
            MillisecondSleeper sleeper = clock == VirtualClock::Virtual ? link->Sleeper() : SleepMilliseconds;
            return {std::move(link), sim::VirtualDevicePath(*model), std::move(sleeper)};
        }
        const QString text = portText.trimmed();
        const QString prefix = Latin1(sim::VirtualPrefix);
        if (text.startsWith(prefix, Qt::CaseInsensitive))
            return {std::make_unique<UnknownVirtualChipLink>(text.mid(prefix.size())), text, SleepMilliseconds};
        return SerialPortLink(portText);
    };
}

PortLinkFactory SerialLinkFactory()
{
    return SerialPortLink;
}

}  // namespace velmora
