#pragma once
// Which link a port text means: the serial port it names, or the in-process virtual gateway.
// The choice belongs to the programs, not to the simulator they may choose.

#include "link/gatewaylink.h"
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

// The window's link factory: a virtual port text gives the in-process virtual gateway (one
// gateway per chip for the whole run, so a chip keeps what was written to it across
// Disconnect and Connect), any other text the serial link to the device it names.
using PortLinkFactory = std::function<std::unique_ptr<GatewayLink>(const QString& portText, QString* devicePath)>;
PortLinkFactory VirtualOrSerialLinkFactory();

}  // namespace velmora
