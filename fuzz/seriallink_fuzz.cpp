// libFuzzer target for the serial answer path. The gateway's answers are outside input: here
// every answer comes from the fuzz input, with its length, its bytes and whether it arrives in
// time, and sends can fail. The input is a list of steps (open with handshake, the parallel and
// serial primitives); each step's control byte picks the step and when a send fails.
//
// Beyond nothing reading or writing out of bounds, a step that drops the link must report failure
// and end with its error line, and a step that reports failure either dropped the link that way
// or is one of the two that keep it without an error line (a chip that stays busy, a wrong echo).

#include "link/gatewaylink.h"
#include "log/operationlog.h"
#include "prog/parallelprimitives.h"
#include "prog/progcontext.h"
#include "prog/serialprimitives.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <deque>

namespace {

using namespace velmora;

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

// Reads the fuzz input front to back; past its end every byte is 0.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Done() const { return at_ >= size_; }
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// A gateway whose answers come from the input. An answer header gives its length (0 to 33:
// also more than a packet holds) and whether it comes late: late bytes miss this read and are
// the start of the next answer, as on the serial line.
class FuzzLink final : public GatewayLink {
public:
    explicit FuzzLink(Input& input) : input_(input) {}

    OpenResult Open(const QString&) override
    {
        open_ = false;  // opening again starts from a closed port
        const std::uint8_t how = input_.Byte() % 8;
        if (how == 1)
            return {OpenStatus::Unavailable, QStringLiteral("no device")};
        open_ = true;
        if (how == 2)
            return {OpenStatus::GetParamsError, QStringLiteral("get")};
        if (how == 3)
            return {OpenStatus::SetParamsError, QStringLiteral("set")};
        return {};
    }
    bool IsOpen() const override { return open_; }
    void CloseGateway() override { open_ = false; }

    void FailSendAfter(int sends) { sendsLeft_ = sends; }
    std::uint64_t Served() const { return served_; }

protected:
    bool WriteBytes(const std::uint8_t* data, int count) override
    {
        Check(count >= 0 && count <= MaxPacketBytes);
        for (int i = 0; i < count; ++i)
            checksum_ = static_cast<std::uint8_t>(checksum_ + data[i]);  // touches every byte sent
        if (sendsLeft_ > 0 && --sendsLeft_ == 0)
            return false;
        return true;
    }

    GatewayPacket ReadBytes(int expected, int) override
    {
        const std::uint8_t header = input_.Byte();
        const int length = header % 34;
        for (int i = 0; i < length; ++i)
            pending_.push_back(input_.Byte());
        GatewayPacket answer;
        if (header & 0x80)
            return answer;  // nothing arrived in time
        const auto take = std::min(pending_.size(), answer.data.size());
        std::copy_n(pending_.begin(), take, answer.data.begin());
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(take));
        answer.count = static_cast<std::int32_t>(take);
        served_ += take;
        (void)expected;
        return answer;
    }

private:
    Input& input_;
    bool open_ = false;
    int sendsLeft_ = 0;
    std::uint64_t served_ = 0;
    std::uint8_t checksum_ = 0;
    std::deque<std::uint8_t> pending_;
};

enum Step { Open, Signature, SpiEnable, SpiExchange, Ready, Enter, Exit, Load, StepCount };

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Input input(data, size);
    FuzzLink link(input);
    OperationLog log;
    // Whether the last line written is one of the error lines that end a failed step.
    bool errorLast = false;
    log.SetSink([&errorLast](const QString& line) {
        errorLast = false;
        for (const unsigned kind : {LogPortUnavailable, LogGetParamsError, LogSetParamsError, LogCommandError,
                                    LogAnswerError})
            errorLast = errorLast || line.startsWith(LogPrefix(kind));
    });
    const ProgContext ctx{link, log, 0, [](int) {}};

    for (int steps = 0; !input.Done() && steps < 64; ++steps) {
        const std::uint8_t control = input.Byte();
        link.FailSendAfter(control >> 4);  // 0: every send succeeds
        const bool wasOpen = link.IsOpen();
        errorLast = false;
        bool ok = true;
        bool mayFailSilently = false;
        switch (static_cast<Step>(control % StepCount)) {
        case Open:
            ok = OpenGateway(link, QStringLiteral("/dev/ttyS0"), log);
            break;
        case Signature:
            // 0 is also a chip answering zeros; only a dropped link tells a failure.
            ReadSignature(ctx);
            ok = link.IsOpen();
            break;
        case SpiEnable:
            ok = SpiProgrammingEnable(ctx, " start");
            mayFailSilently = true;
            break;
        case SpiExchange: {
            SpiAnswerBytes answer;
            const SerialInstruction read{.i1 = 0x30, .i2 = 0x00, .i3 = std::uint8_t(input.Byte() % 3), .i4 = 0x00, .failText = " read"};
            ok = SpiInstruction(ctx, read) && SpiAnswer(ctx, answer);
            Check(!ok || (answer.count > 0 && answer.count <= 32));
            break;
        }
        case Ready:
            ok = WaitReady(ctx);
            mayFailSilently = true;
            break;
        case Enter:
            ok = EnterParallelMode(ctx);
            break;
        case Exit:
            ok = ExitParallelMode(ctx);
            break;
        case Load:
            ok = LoadCommand(ctx, input.Byte());
            break;
        case StepCount:
            break;
        }
        // A dropped link always comes with a failure and its error line.
        if (wasOpen && !link.IsOpen())
            Check(errorLast && !ok);
        // A failure drops the link with its error line, or keeps it without one where that is the rule.
        if (!ok)
            Check((errorLast && !link.IsOpen()) || (mayFailSilently && !errorLast && link.IsOpen()));
        if (ok)
            Check(link.IsOpen() && !errorLast);
        Check(link.Counters().bytesIn <= link.Served());
    }
    return 0;
}
