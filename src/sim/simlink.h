#pragma once
// The virtual gateway as an in-process GatewayLink: what unit tests, the command-line tool's
// --virtual and the window's "Virtual gateway" port item talk to. The gateway it serves may outlive the link, so a
// chip keeps its memories across Disconnect and Connect, as a chip in a socket does.
//
// Timing: the real serial link waits up to about 1000 ms for a silent gateway. Here the
// gateway has answered everything it will ever answer by the time ReadAnswer asks, so a
// short answer returns at once (on virtual time the clock is moved on by the full wait,
// so what a test sees of time matches the real link).

#include "link/gatewaylink.h"
#include "link/sleeper.h"
#include "sim/simgateway.h"

#include <memory>
#include <string_view>

namespace velmora::sim {

// The device name prefix of a virtual gateway: "virtual:CHIP".
inline constexpr std::string_view VirtualPrefix = "virtual:";
// "virtual:ATmega8": the device name the log shows for the model.
QString VirtualDevicePath(const SimChipModel& model);

class SimLink : public GatewayLink {
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

}  // namespace velmora::sim
