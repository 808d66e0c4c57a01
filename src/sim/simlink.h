#pragma once
// The virtual gateway as an in-process GatewayLink: what unit tests and the window's
// "Virtual gateway" port item talk to. The gateway it serves may outlive the link, so a
// chip keeps its memories across Disconnect and Connect, as a chip in a socket does.
//
// Timing: the real serial link waits up to about 1000 ms for a silent gateway. Here the
// gateway has answered everything it will ever answer by the time ReadAnswer asks, so a
// short answer returns at once (on virtual time the clock is moved on by the full wait,
// so what a test sees of time matches the real link).

#include "link/gatewaylink.h"
#include "prog/progcontext.h"
#include "sim/simgateway.h"

#include <functional>
#include <memory>
#include <string_view>

namespace velmora::sim {

// Port texts that select the virtual gateway: "Virtual gateway" (an ATmega8) or
// "virtual:CHIP". Returns the chip's model, or null when text names no virtual gateway
// (or an unknown chip).
const SimChipModel* VirtualChipForPort(const QString& portText);
inline constexpr std::string_view VirtualPortItem = "Virtual gateway";
inline constexpr std::string_view VirtualPrefix = "virtual:";
// "virtual:ATmega8": the device name the log shows for the model.
QString VirtualDevicePath(const SimChipModel& model);

class SimLink final : public GatewayLink {
public:
    explicit SimLink(std::shared_ptr<SimGateway> gateway);
    // A fresh gateway with a fresh chip.
    explicit SimLink(const SimChipModel& model, bool virtualTime = false);

    OpenResult Open(const QString& devicePath) override;
    bool IsOpen() const override { return open_; }
    void CloseGateway() override { open_ = false; }

    SimGateway& Gateway() { return *gateway_; }
    const std::shared_ptr<SimGateway>& SharedGateway() const { return gateway_; }
    // The sleep that goes with this gateway's clock: virtual time moves on, real time sleeps.
    MillisecondSleeper Sleeper() const;

protected:
    bool WriteBytes(const std::uint8_t* data, int count) override;
    GatewayPacket ReadBytes(int expected, int timeoutMs) override;
    void DiscardInput() override;

private:
    std::shared_ptr<SimGateway> gateway_;
    bool open_ = false;
};

// The window's link factory: a virtual port text gives the in-process virtual gateway (one
// gateway per chip for the whole run, so a chip keeps what was written to it across
// Disconnect and Connect), any other text the serial link to the device it names.
using PortLinkFactory = std::function<std::unique_ptr<GatewayLink>(const QString& portText, QString* devicePath)>;
PortLinkFactory VirtualOrSerialLinkFactory();

}  // namespace velmora::sim
