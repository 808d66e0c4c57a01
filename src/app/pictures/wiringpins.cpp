#include "app/pictures/wiringpins.h"

#include "chips/catalogue.h"

#include <algorithm>
#include <utility>

namespace velmora {

namespace {
using enum WiringMode;

// Package pin numbers of the DIP packages, from each chip's programming pin name mapping and
// its pinout. The two 40-pin layouts differ in VCC (10 or 40), GND (11 or 20) and XTAL1
// (13 or 19), the two 20-pin ones in RESET (1 or 10): every row is its own, never "by package".
constexpr ChipWiring Table[] = {
    {.id = WiringId::Atmega8, .package = "DIP28", .pinCount = 28, .mode = Parallel,
     .rdy = 3, .oe = 4, .wr = 5, .bs1 = 6, .bs2 = 25, .xa0 = 11, .xa1 = 12, .pagel = 13,
     .data = {14, 15, 16, 17, 18, 19, 23, 24}, .xtal1 = 9, .reset = 1, .vcc = 7, .avcc = 20, .gnd = {8, 22}},
    {.id = WiringId::Atmega48, .package = "DIP28", .pinCount = 28, .mode = Parallel,
     .rdy = 3, .oe = 4, .wr = 5, .bs1 = 6, .bs2 = 25, .xa0 = 11, .xa1 = 12, .pagel = 13,
     .data = {14, 15, 16, 17, 18, 19, 23, 24}, .xtal1 = 9, .reset = 1, .vcc = 7, .avcc = 20, .gnd = {8, 22}},
    {.id = WiringId::Atmega16,
     .package = "DIP40", .pinCount = 40, .mode = Parallel,
     .rdy = 15, .oe = 16, .wr = 17, .bs1 = 18, .bs2 = 40, .xa0 = 19, .xa1 = 20, .pagel = 21,
     .data = {1, 2, 3, 4, 5, 6, 7, 8}, .xtal1 = 13, .reset = 9, .vcc = 10, .avcc = 30, .gnd = {11, 31}},
    {.id = WiringId::Atmega8515, .package = "DIP40", .pinCount = 40, .mode = Parallel,
     .rdy = 11, .oe = 12, .wr = 13, .bs1 = 14, .bs2 = 39, .xa0 = 15, .xa1 = 16, .pagel = 17,
     .data = {1, 2, 3, 4, 5, 6, 7, 8}, .xtal1 = 19, .reset = 9, .vcc = 40, .gnd = {20}},
    {.id = WiringId::Attiny2313, .package = "DIP20", .pinCount = 20, .mode = Parallel, .sharedPins = true,
     .rdy = 3, .oe = 6, .wr = 7, .bs1 = 8, .bs2 = 11, .xa0 = 9, .xa1 = 11, .pagel = 8,
     .data = {12, 13, 14, 15, 16, 17, 18, 19}, .xtal1 = 5, .reset = 1, .vcc = 20, .gnd = {10}},
    {.id = WiringId::Attiny261, .package = "DIP20", .pinCount = 20,
     .mode = Parallel, .sharedPins = true,
     .rdy = 9, .oe = 8, .wr = 1, .bs1 = 4, .bs2 = 3, .xa0 = 2, .xa1 = 3, .pagel = 4,
     .data = {20, 19, 18, 17, 14, 13, 12, 11}, .xtal1 = 7, .reset = 10, .vcc = 5, .avcc = 15, .gnd = {6, 16}},

    {.id = WiringId::At90s2323, .package = "DIP8", .pinCount = 8, .mode = Serial,
     .mosi = 5, .miso = 6, .sck = 7, .reset = 1, .vcc = 8, .gnd = {4},
     .clock = {2, 3},
     .note = "Pins 2 and 3 are XTAL1/XTAL2: a crystal or a clock must run the chip."},
    {.id = WiringId::At90s2343, .package = "DIP8", .pinCount = 8, .mode = Serial,
     .mosi = 5, .miso = 6, .sck = 7, .reset = 1, .vcc = 8, .gnd = {4},
     .clock = {2},
     .note = "Pin 2 takes an external clock when the chip is set for one."},
    {.id = WiringId::Attiny12, .package = "DIP8", .pinCount = 8, .mode = Serial,
     .mosi = 5, .miso = 6, .sck = 7, .reset = 1, .vcc = 8, .gnd = {4},
     .clock = {2},
     .note = "Pin 2 is XTAL1 when an external clock is chosen."},
    {.id = WiringId::Attiny13, .package = "DIP8", .pinCount = 8, .mode = Serial,
     .mosi = 5, .miso = 6, .sck = 7, .reset = 1, .vcc = 8, .gnd = {4},
     .clock = {2},
     .note = "Pin 2 takes an external clock when the chip is set for one."},
    {.id = WiringId::Attiny15, .package = "DIP8", .pinCount = 8, .mode = Serial,
     .mosi = 5, .miso = 6, .sck = 7, .reset = 1, .vcc = 8, .gnd = {4},
     .note = "Internal clock only."},
    {.id = WiringId::Attiny25, .package = "DIP8", .pinCount = 8, .mode = Serial,
     .mosi = 5, .miso = 6, .sck = 7, .reset = 1, .vcc = 8, .gnd = {4},
     .clock = {2},
     .note = "Pin 2 is XTAL1 when an external clock is chosen."},
    {.id = WiringId::Attiny26, .package = "DIP20", .pinCount = 20, .mode = Serial,
     .mosi = 1, .miso = 2, .sck = 3, .reset = 10, .vcc = 5, .avcc = 15, .gnd = {6}, .agnd = 16,
     .clock = {7},
     .note = "Pin 7 is XTAL1 when an external clock is chosen."},
};

// Row i is WiringId i + 1, so a chip's id indexes the table.
constexpr bool TableInIdOrder()
{
    for (std::size_t i = 0; i < std::size(Table); ++i)
        if (Table[i].id != WiringId(i + 1))
            return false;
    return std::size(Table) == WiringCount;
}
static_assert(TableInIdOrder(), "one row per WiringId, in the enum's order");

// Every row serves a chip programmed the way the row is wired, and the chips that share a
// picture file share its row: one file, one drawing.
constexpr bool RowsFitTheirWiring()
{
    for (const ChipWiring& row : Table) {
        bool used = false;
        for (const ChipEntry& e : ChipCatalogue())
            if (e.wiring == row.id) {
                used = true;
                if (WiringModeOf(e.family) != row.mode)
                    return false;
            }
        if (!used)
            return false;
    }
    for (const ChipEntry& a : ChipCatalogue())
        for (const ChipEntry& b : ChipCatalogue())
            if (a.picture == b.picture && a.wiring != b.wiring)
                return false;
    return true;
}
static_assert(RowsFitTheirWiring(), "each pin table row serves chips of its mode; one picture file, one row");

struct SignalText {
    std::string_view name;
    std::string_view line;
};

constexpr SignalText Texts[] = {
    {"DATA0", "B0"}, {"DATA1", "B1"}, {"DATA2", "B2"}, {"DATA3", "B3"},
    {"DATA4", "B4"}, {"DATA5", "B5"}, {"DATA6", "B6"}, {"DATA7", "B7"},
    {"RDY/BSY", "C0"}, {"OE", "D2"}, {"WR", "D4"}, {"BS1", "C1"}, {"BS2", "D7"},
    {"XA0", "D6"}, {"XA1", "C4"}, {"PAGEL", "PAGEL pulse"}, {"XTAL1", "XTAL1 pulse"},
    {"RESET", "+12 V"}, {"VCC", "+5 V"}, {"AVCC", "+5 V"}, {"GND", "GND"}, {"AGND", "GND"},
    {"MOSI", "MOSI"}, {"MISO", "MISO"}, {"SCK", "SCK"}, {"clock*", ""},
};
static_assert(std::size(Texts) == std::size_t(PinSignal::Clock) + 1);

PinRole RoleOf(PinSignal signal, WiringMode mode)
{
    switch (signal) {
    case PinSignal::Reset:
        return mode == Parallel ? PinRole::HighVoltage : PinRole::Signal;
    case PinSignal::Vcc:
    case PinSignal::Avcc:
        return PinRole::Supply;
    case PinSignal::Gnd:
    case PinSignal::Agnd:
        return PinRole::Ground;
    case PinSignal::Clock:
        return PinRole::Clock;
    default:
        return PinRole::Signal;
    }
}
}  // namespace

std::span<const ChipWiring> WiringTable()
{
    return Table;
}

const ChipWiring* WiringOf(const ChipEntry& entry)
{
    // The row's id is checked against the table at compile time (TableInIdOrder, RowsFitTheirWiring).
    return entry.wiring == WiringId::None ? nullptr : &Table[std::size_t(entry.wiring) - 1];
}

std::vector<std::string_view> PicturesOf(const ChipWiring& row)
{
    std::vector<std::string_view> pictures;
    for (const ChipEntry& entry : ChipCatalogue())
        if (entry.wiring == row.id && std::ranges::find(pictures, entry.picture) == pictures.end())
            pictures.push_back(entry.picture);
    return pictures;
}

std::vector<PinUse> PinUses(const ChipWiring& row)
{
    std::vector<PinUse> uses;
    const auto add = [&](int pin, PinSignal signal) {
        if (pin != 0)
            uses.push_back({pin, signal});
    };
    for (std::size_t i = 0; i < row.data.size(); ++i)
        add(row.data[i], PinSignal(int(PinSignal::Data0) + int(i)));
    add(row.rdy, PinSignal::Rdy);
    add(row.oe, PinSignal::Oe);
    add(row.wr, PinSignal::Wr);
    // BS1 before PAGEL and XA1 before BS2: on a shared pin the first signal names the line.
    add(row.bs1, PinSignal::Bs1);
    add(row.xa0, PinSignal::Xa0);
    add(row.xa1, PinSignal::Xa1);
    add(row.pagel, PinSignal::Pagel);
    add(row.bs2, PinSignal::Bs2);
    add(row.xtal1, PinSignal::Xtal1);
    add(row.mosi, PinSignal::Mosi);
    add(row.miso, PinSignal::Miso);
    add(row.sck, PinSignal::Sck);
    add(row.reset, PinSignal::Reset);
    add(row.vcc, PinSignal::Vcc);
    add(row.avcc, PinSignal::Avcc);
    for (int pin : row.gnd)
        add(pin, PinSignal::Gnd);
    add(row.agnd, PinSignal::Agnd);
    for (int pin : row.clock)
        add(pin, PinSignal::Clock);
    // Stable, so a shared pin keeps the order above.
    std::ranges::stable_sort(uses, {}, &PinUse::pin);
    return uses;
}

std::vector<PackagePin> PackagePins(const ChipWiring& row)
{
    std::vector<PackagePin> pins;
    for (int pin = 1; pin <= row.pinCount; ++pin)
        pins.push_back({pin, {}, {}, PinRole::Unconnected});
    for (const PinUse& use : PinUses(row)) {
        if (use.pin < 1 || use.pin > row.pinCount)
            continue;  // the table test rejects such a row
        PackagePin& p = pins[std::size_t(use.pin - 1)];
        if (p.role == PinRole::Unconnected) {
            p.line = GatewayLine(use.signal, row.mode);
            p.role = RoleOf(use.signal, row.mode);
        } else {
            p.label += '/';
        }
        p.label += SignalName(use.signal);
    }
    return pins;
}

std::string_view SignalName(PinSignal signal)
{
    return Texts[std::size_t(signal)].name;
}

std::string_view GatewayLine(PinSignal signal, WiringMode mode)
{
    if (signal == PinSignal::Reset && mode == Serial)
        return "RESET";
    return Texts[std::size_t(signal)].line;
}

std::vector<std::string> WiringFaults(const ChipWiring& row)
{
    std::vector<std::string> faults;
    const auto fault = [&](std::string text) { faults.push_back(std::move(text)); };
    const std::vector<PinUse> uses = PinUses(row);
    const auto count = [&](PinSignal signal) {
        return std::ranges::count(uses, signal, &PinUse::signal);
    };
    const auto pinOf = [&](PinSignal signal) {
        const auto use = std::ranges::find(uses, signal, &PinUse::signal);
        return use == uses.end() ? 0 : use->pin;
    };

    if (row.pinCount <= 0 || row.pinCount % 2 != 0)
        fault("a DIP package has an even number of pins");
    for (const PinUse& use : uses)
        if (use.pin < 1 || use.pin > row.pinCount)
            fault(std::string(SignalName(use.signal)) + " on pin " + std::to_string(use.pin) + ", outside the package");
    if (count(PinSignal::Reset) != 1)
        fault("RESET must be on exactly one pin");
    if (count(PinSignal::Vcc) != 1 || count(PinSignal::Gnd) < 1)
        fault("VCC and GND must be connected");

    const std::vector<PinSignal> parallel = {
        PinSignal::Rdy, PinSignal::Oe, PinSignal::Wr, PinSignal::Bs1, PinSignal::Bs2,
        PinSignal::Xa0, PinSignal::Xa1, PinSignal::Pagel, PinSignal::Xtal1};
    const std::vector<PinSignal> serial = {PinSignal::Mosi, PinSignal::Miso, PinSignal::Sck};
    const bool isParallel = row.mode == WiringMode::Parallel;
    for (PinSignal signal : parallel)
        if (count(signal) != (isParallel ? 1 : 0))
            fault(std::string(SignalName(signal)) + (isParallel ? " missing" : " on a serial chip"));
    for (PinSignal signal : serial)
        if (count(signal) != (isParallel ? 0 : 1))
            fault(std::string(SignalName(signal)) + (isParallel ? " on a parallel chip" : " missing"));
    int dataLines = 0;
    for (int pin : row.data)
        dataLines += pin != 0 ? 1 : 0;
    if (dataLines != (isParallel ? 8 : 0))
        fault(isParallel ? "a parallel chip needs all eight data lines" : "data lines on a serial chip");

    // Pins carrying more than one signal: only the two named pairs of the shared-pin chips.
    const auto sharedPair = [](PinSignal a, PinSignal b) {
        return (a == PinSignal::Bs1 && b == PinSignal::Pagel) || (a == PinSignal::Xa1 && b == PinSignal::Bs2);
    };
    for (std::size_t i = 1; i < uses.size(); ++i) {
        if (uses[i].pin != uses[i - 1].pin)
            continue;
        const bool pairAllowed = row.sharedPins && sharedPair(uses[i - 1].signal, uses[i].signal) &&
                                 (i + 1 == uses.size() || uses[i + 1].pin != uses[i].pin);
        if (!pairAllowed)
            fault("pin " + std::to_string(uses[i].pin) + " carries " + std::string(SignalName(uses[i - 1].signal)) +
                  " and " + std::string(SignalName(uses[i].signal)));
    }
    if (row.sharedPins && (pinOf(PinSignal::Bs1) != pinOf(PinSignal::Pagel) || pinOf(PinSignal::Xa1) != pinOf(PinSignal::Bs2)))
        fault("a shared-pin chip has BS1 with PAGEL and XA1 with BS2 on one pin each");
    return faults;
}

std::vector<std::string> ChipsShowingPicture(std::string_view picture)
{
    std::vector<std::string> names;
    for (const ChipEntry& entry : ChipCatalogue())
        if (entry.picture == picture)
            names.emplace_back(entry.name);
    return names;
}

namespace {
std::string Padded(std::string_view text, std::size_t width)
{
    std::string s(text);
    if (s.size() < width)
        s.append(width - s.size(), ' ');
    return s;
}
}  // namespace

std::string PinTableText(const ChipWiring& row)
{
    std::string text = std::string(row.package) + (row.mode == Serial ? ", serial programming" : ", parallel programming") +
                       "\npin  chip signal      gateway line\n";
    for (const PackagePin& pin : PackagePins(row)) {
        const std::string number = std::to_string(pin.pin);
        text += Padded(std::string(3 - std::min<std::size_t>(3, number.size()), ' ') + number, 5);
        if (pin.role == PinRole::Unconnected)
            text += "-\n";
        else
            text += Padded(pin.label, 17) + std::string(pin.line.empty() ? "(not to the gateway)" : pin.line) + "\n";
    }
    if (!row.note.empty())
        text += std::string(row.note) + "\n";
    return text;
}

std::string GatewayTableText(WiringMode mode)
{
    static constexpr PinSignal ParallelSignals[] = {
        PinSignal::Data0, PinSignal::Data1, PinSignal::Data2, PinSignal::Data3, PinSignal::Data4,
        PinSignal::Data5, PinSignal::Data6, PinSignal::Data7, PinSignal::Rdy,   PinSignal::Oe,
        PinSignal::Wr,    PinSignal::Bs1,   PinSignal::Bs2,   PinSignal::Xa0,   PinSignal::Xa1,
        PinSignal::Pagel, PinSignal::Xtal1, PinSignal::Reset, PinSignal::Vcc,   PinSignal::Avcc,
        PinSignal::Gnd,   PinSignal::Agnd};
    static constexpr PinSignal SerialSignals[] = {PinSignal::Mosi, PinSignal::Miso, PinSignal::Sck, PinSignal::Reset,
                                                  PinSignal::Vcc,  PinSignal::Gnd};
    std::string text = "chip signal      gateway line\n";
    const std::span<const PinSignal> signals = mode == Serial ? std::span<const PinSignal>(SerialSignals)
                                                              : std::span<const PinSignal>(ParallelSignals);
    for (PinSignal signal : signals)
        text += Padded(SignalName(signal), 17) + std::string(GatewayLine(signal, mode)) + "\n";
    return text;
}

}  // namespace velmora
