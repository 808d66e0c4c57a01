#pragma once
// Which package pin of each chip goes to which gateway line: the data the connection pictures
// are drawn from. A catalogue row names its pin table row (ChipEntry::wiring); only chips whose
// programming pins were checked against the datasheet's pin name mapping and a package pinout
// have one, every other chip gets the missing-picture text.

#include "chips/catalogue.h"

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The pictures are drawn at twice the picture window's first client size (520 x 418): they
// scale down cleanly to that size and stay sharp when the window is pulled larger.
inline constexpr int WiringPictureWidth = 1040;
inline constexpr int WiringPictureHeight = 836;

enum class WiringMode { Parallel, Serial };

// A chip-side signal of the programming interface.
enum class PinSignal {
    Data0, Data1, Data2, Data3, Data4, Data5, Data6, Data7,
    Rdy, Oe, Wr, Bs1, Bs2, Xa0, Xa1, Pagel, Xtal1,
    Reset, Vcc, Avcc, Gnd, Agnd,
    Mosi, Miso, Sck,
    Clock,  // not wired to the gateway, but the chip's clock source: see the row's note
};

// One row of the pin table: pin numbers of the package, 0 where the chip has no such pin.
struct ChipWiring {
    WiringId id = WiringId::None;              // what the chips' rows call it (ChipEntry::wiring)
    std::string_view package{};                // "DIP28"
    int pinCount = 0;
    WiringMode mode = WiringMode::Parallel;
    // ATtiny2313, ATtiny261/461/861: BS1 and PAGEL share one pin, XA1 and BS2 another.
    bool sharedPins = false;
    int rdy = 0, oe = 0, wr = 0, bs1 = 0, bs2 = 0, xa0 = 0, xa1 = 0, pagel = 0;
    std::array<int, 8> data{};  // DATA0 to DATA7
    int xtal1 = 0;
    int mosi = 0, miso = 0, sck = 0;
    int reset = 0;
    int vcc = 0, avcc = 0;
    std::array<int, 2> gnd{};  // unused entries 0
    int agnd = 0;
    std::array<int, 2> clock{};  // unused entries 0
    std::string_view note{};   // what else the chip needs, printed under the drawing
};

struct PinUse {
    int pin;
    PinSignal signal;
};

std::span<const ChipWiring> WiringTable();

// The row of a chip; null for a chip without one.
const ChipWiring* WiringOf(const ChipEntry& entry);
// The picture files drawn from row: those of the chips it serves, each once, in menu order.
std::vector<std::string_view> PicturesOf(const ChipWiring& row);

// Every signal of the row at its pin, in pin order; a shared pin appears once per signal.
std::vector<PinUse> PinUses(const ChipWiring& row);

enum class PinRole { Signal, HighVoltage, Supply, Ground, Clock, Unconnected };

// One package pin as the picture shows it: "BS1/PAGEL" to "C1", "RESET" to "+12 V", a clock
// pin with no line, or unconnected with an empty label and line.
struct PackagePin {
    int pin;
    std::string label;
    std::string_view line;
    PinRole role;
};

// All pins of the package, pin 1 first. A shared pin goes to the line of its first signal
// (BS1/PAGEL to BS1's C1, XA1/BS2 to XA1's C4), so the gateway's own BS2 and PAGEL pulse
// lines stay unconnected on those chips.
std::vector<PackagePin> PackagePins(const ChipWiring& row);

// The signal's name at the chip ("DATA0", "RDY/BSY", "RESET") and the gateway line it goes
// to ("B0", "C0", "+12 V"). In serial mode RESET is a logic-level line, never +12 V.
std::string_view SignalName(PinSignal signal);
std::string_view GatewayLine(PinSignal signal, WiringMode mode);

// What is wrong with a row, one text per fault; empty for a sound row. Checked: every pin
// within the package; RESET exactly once; no pin used twice except BS1/PAGEL and XA1/BS2 on
// shared-pin rows (and there always); a parallel row has all its control lines and eight data
// lines on eight distinct pins, a serial row MOSI, MISO and SCK and none of the parallel lines;
// VCC and GND present. The generator draws nothing from a table with a fault.
std::vector<std::string> WiringFaults(const ChipWiring& row);

// The catalogue names of the chips whose entry names picture ("ATmega168", "ATmega168PA").
std::vector<std::string> ChipsShowingPicture(std::string_view picture);

// How a family's chips are programmed: the catalogue lists the parallel units first, then
// the serial ones from Attiny13 on.
constexpr WiringMode WiringModeOf(FamilyId family)
{
    return family >= FamilyId::Attiny13 ? WiringMode::Serial : WiringMode::Parallel;
}

// The row as text, one package pin a line ("  1  RESET        +12 V"), then its note: what
// the picture shows, for reading where there is no picture.
std::string PinTableText(const ChipWiring& row);
// The chip signals of a mode with the gateway lines they go to ("DATA0     B0"): what to wire
// to the pins the chip's datasheet names, where no checked row exists.
std::string GatewayTableText(WiringMode mode);

}  // namespace velmora
