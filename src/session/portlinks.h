#pragma once
// Which link a port text means: the serial port it names, or the in-process virtual gateway.
// The choice belongs to the programs, not to the simulator they may choose.

#include "link/gatewaylink.h"
#include "link/sleeper.h"
#include "sim/simchips.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string_view>

namespace velmora {

// The window's port item for the virtual gateway (an ATmega8).
inline constexpr std::string_view VirtualPortItem = "Virtual gateway";

// Port texts that select the virtual gateway: VirtualPortItem or "virtual:CHIP". Returns the
// chip's model, or null when text names no virtual gateway (or an unknown chip).
const sim::SimChipModel* VirtualChipForPort(const QString& portText);

// Every "virtual:CHIP" text the port box may be given, one per simulated chip.
QStringList VirtualPortTexts();

// A link made for a port text, not yet opened: the device path its log line names and the
// sleep that goes with its clock (a virtual gateway on virtual time lets its waits pass
// without sleeping).
struct PortLink {
    std::unique_ptr<GatewayLink> link;
    QString devicePath;
    MillisecondSleeper sleeper = SleepMilliseconds;
};

// Makes the link for a port text.
using PortLinkFactory = std::function<PortLink(const QString& portText)>;

// How the virtual gateway keeps time: the window runs it on the clock (a command takes as
// long as on the board); the command line on virtual time, where a chip's waits cost nothing.
enum class VirtualClock { Real, Virtual };

// A virtual port text gives the in-process virtual gateway (one gateway per chip for the whole
// run, so a chip keeps what was written to it across Disconnect and Connect), any other text
// the serial link to the device it names.
PortLinkFactory VirtualOrSerialLinkFactory(VirtualClock clock = VirtualClock::Real);

// The serial link alone: every port text names a serial device.
PortLinkFactory SerialLinkFactory();

}  // namespace velmora
