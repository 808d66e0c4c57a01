#include "sim/simgateway.h"

#include "link/gatewaycommands.h"

#include <algorithm>
#include <chrono>

namespace velmora::sim {

namespace {

std::int64_t SteadyUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool Bit(std::uint8_t value, int bit) { return (value >> bit) & 1; }

}  // namespace

SimGateway::SimGateway(const SimChipModel& model, bool virtualTime)
    : chip_(model), virtualTime_(virtualTime), epochUs_(SteadyUs())
{
}

void SimGateway::SetFaults(const SimFaults& faults)
{
    faults_ = faults;
    chip_.busyForever = faults.chipBusyForever;
    chip_.wrongEnableEcho = faults.wrongEnableEcho;
}

std::int64_t SimGateway::Now() const
{
    if (lineClock_ || executing_)
        return executeAtUs_;
    const std::int64_t line = countLineTime_ ? std::int64_t(received_) * LineUsPerByte : 0;
    return (virtualTime_ ? virtualUs_ : SteadyUs() - epochUs_) + line + extraUs_;
}

void SimGateway::Advance(std::int64_t us)
{
    if (virtualTime_)
        virtualUs_ += us;
}

bool SimGateway::Receive(const std::uint8_t* data, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (!TakeByte(data[i], -1))
            return false;
    }
    return true;
}

bool SimGateway::ReceiveAt(const std::uint8_t* data, std::size_t count, std::int64_t firstArrivalUs)
{
    lineClock_ = true;
    for (std::size_t i = 0; i < count; ++i) {
        if (!TakeByte(data[i], firstArrivalUs + std::int64_t(i) * LineUsPerByte))
            return false;
    }
    return true;
}

bool SimGateway::TakeByte(std::uint8_t byte, std::int64_t arrivalUs)
{
    if (unplugged_ || (faults_.unplugAfterBytes >= 0 && long(received_) >= faults_.unplugAfterBytes)) {
        unplugged_ = true;
        output_.clear();
        return false;
    }
    ++received_;
    if (faults_.silentAfterBytes >= 0 && long(received_) > faults_.silentAfterBytes)
        return true;  // the gateway hangs: nothing runs, nothing answers
    pending_.push_back(byte);
    const int length = CommandLength(pending_.front());
    if (length == 0) {
        pending_.clear();  // an unknown code is skipped
        return true;
    }
    if (int(pending_.size()) == length) {
        // A command runs at one instant of the gateway's clock: its firmware takes microseconds,
        // where the host running this model may be preempted in the middle of it (the timed
        // entry of the ATmega48 family then failed on a loaded machine).
        executeAtUs_ = lineClock_ ? std::max(arrivalUs, gatewayFreeUs_) : Now();
        executing_ = true;
        Execute(pending_.data());
        executing_ = false;
        pending_.clear();
    }
    return true;
}

std::size_t SimGateway::TakeOutput(std::uint8_t* buffer, std::size_t max)
{
    std::size_t n = 0;
    while (n < max && !output_.empty()) {
        buffer[n++] = output_.front().byte;
        output_.pop_front();
    }
    return n;
}

std::size_t SimGateway::TakeTimedOutput(SimTimedByte* buffer, std::size_t max)
{
    std::size_t n = 0;
    while (n < max && !output_.empty()) {
        buffer[n++] = output_.front();
        output_.pop_front();
    }
    return n;
}

void SimGateway::Answer(std::uint8_t byte)
{
    if (faults_.muteAfterBytes >= 0 && long(received_) > faults_.muteAfterBytes)
        return;  // the line back is cut
    output_.push_back({byte, Now()});
    if (faults_.strayAfterBytes >= 0 && long(received_) > faults_.strayAfterBytes) {
        faults_.strayAfterBytes = -1;
        output_.push_back({0x00, Now()});
    }
}

void SimGateway::LongPulse(std::uint32_t widthUs)
{
    // The gateway is busy with the pulse: later commands run after it.
    if (lineClock_)
        gatewayFreeUs_ = executeAtUs_ + widthUs;
    else
        extraUs_ += widthUs;
}

std::uint8_t SimGateway::Bus() const
{
    // Bits the gateway does not drive follow the chip, or float high.
    const std::uint8_t chipSide = faults_.emptySocket ? 0xFF : chip_.DrivenBus(Now()).value_or(0xFF);
    return std::uint8_t((ports_.ddrB & ports_.portB) | (~ports_.ddrB & chipSide));
}

std::uint8_t SimGateway::PinB() const { return Bus(); }

std::uint8_t SimGateway::PinC() const
{
    const std::uint8_t outputs = ports_.ddrC & ports_.portC;
    return std::uint8_t((outputs & ~0x01) | (chip_.Ready(Now()) ? 0x01 : 0x00));
}

void SimGateway::ApplyPins()
{
    // A pin that is not an output drives nothing; the chip sees it low.
    auto out = [](std::uint8_t ddr, std::uint8_t port, int bit) { return Bit(ddr, bit) && Bit(port, bit); };
    const SimChipModel& model = chip_.Model();
    SimLines lines;
    lines.bs1 = out(ports_.ddrC, ports_.portC, 1);
    lines.xa1 = out(ports_.ddrC, ports_.portC, 4);
    lines.oe = out(ports_.ddrD, ports_.portD, 2);
    lines.wr = out(ports_.ddrD, ports_.portD, 4);
    lines.xa0 = out(ports_.ddrD, ports_.portD, 6);
    lines.bs2 = model.bs2OnXa1 ? lines.xa1 : out(ports_.ddrD, ports_.portD, 7);
    lines.pagel = model.pagelOnBs1 && lines.bs1;
    // +5 V is switched on by driving C2 low, +12 V by driving C3 high.
    const bool vcc = Bit(ports_.ddrC, 2) && !Bit(ports_.portC, 2);
    const bool hv = Bit(ports_.ddrC, 3) && Bit(ports_.portC, 3);
    const std::int64_t now = Now();
    chip_.SetLines(lines, now);
    chip_.SetSupplies(vcc, hv, now);
}

void SimGateway::EnterProgrammingMode()
{
    // The gateway's own high-voltage entry, fast enough for every datasheet: supplies off,
    // Prog_enable pins low, +5 V, six XTAL1 pulses, +12 V within microseconds.
    ports_.ddrC = 0x32;
    ports_.portC = 0x00;
    ports_.ddrD = 0xFC;
    ports_.portD = 0x00;
    ApplyPins();
    ports_.ddrC = 0x36;
    ApplyPins();
    for (int i = 0; i < 6; ++i)
        chip_.XtalPulse(Bus(), Now());
    ports_.ddrC = 0x3E;
    ports_.portC = 0x08;
    ApplyPins();
}

void SimGateway::Execute(const std::uint8_t* c)
{
    switch (GatewayCommand(c[0])) {
    case GatewayCommand::Handshake1:
    case GatewayCommand::Handshake2:
        break;
    case GatewayCommand::Handshake3:
        if (!faults_.noHandshakeAnswer)
            Answer(PinB());
        break;
    case GatewayCommand::SetDdrB:
        ports_.ddrB = c[1];
        break;
    case GatewayCommand::SetPortB:
        ports_.portB = c[1];
        break;
    case GatewayCommand::SetDdrC:
        ports_.ddrC = c[1];
        ApplyPins();
        break;
    case GatewayCommand::SetPortC:
        ports_.portC = c[1];
        ApplyPins();
        break;
    case GatewayCommand::SetDdrD:
        ports_.ddrD = c[1];
        ApplyPins();
        break;
    case GatewayCommand::SetPortD:
        ports_.portD = c[1];
        ApplyPins();
        break;
    case GatewayCommand::ReadPinB:
        Answer(PinB());
        break;
    case GatewayCommand::ReadPinC:
        Answer(PinC());
        break;
    case GatewayCommand::Pulse:
        switch (PulseKind(c[1])) {
        case PulseKind::EnterHVPProgMode_AVR:
            EnterProgrammingMode();
            break;
        case PulseKind::GivePagelPosPulse:
            chip_.PagelPulse(Now());
            break;
        case PulseKind::GiveXTALPosPulse:
            chip_.XtalPulse(Bus(), Now());
            break;
        case PulseKind::GiveWRNegPulse:
            chip_.WrPulse(WrPulseUs, Now());
            break;
        case PulseKind::GiveWR100NegPulse:
            chip_.WrPulse(Wr100PulseUs, Now());
            LongPulse(Wr100PulseUs);
            break;
        case PulseKind::GiveWR15NegPulse:
            chip_.WrPulse(Wr15PulseUs, Now());
            LongPulse(Wr15PulseUs);
            break;
        }
        break;
    case GatewayCommand::SpiLoad:
        spiHeld_ = {c[4], c[3], c[2], c[1]};
        break;
    case GatewayCommand::SpiTransfer:
        spiReceived_ = faults_.emptySocket ? std::array<std::uint8_t, 4>{0xFF, 0xFF, 0xFF, 0xFF}
                                           : chip_.SpiExchange(spiHeld_, Now());
        break;
    case GatewayCommand::SpiFetch:
        for (int i = 3; i >= 0; --i)
            Answer(spiReceived_[std::size_t(i)]);
        for (int i = 4; i < faults_.fetchAnswerBytes; ++i)
            Answer(0xFF);
        break;
    case GatewayCommand::SpiPrepare:
        chip_.SpiPrepare(Now());
        break;
    case GatewayCommand::SpiStart:
        chip_.SpiStart(Now());
        break;
    }
}

}  // namespace velmora::sim
