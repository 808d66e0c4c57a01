// The line model (arrival times, busy times from the arrival, answer latency) and the chip's
// refusals (lock bits, fuses that take serial programming away).
#include "simfixture.h"

#include "link/gatewaycommands.h"
#include "prog/serialprimitives.h"
#include "sim/ptyserver.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace velmora::sim::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Instruction(std::uint8_t i1, std::uint8_t i2, std::uint8_t i3, std::uint8_t i4)
{
    return {0x44, i4, i3, i2, i1, 0x46};
}

Bytes Fetch(SimGateway& g, std::int64_t at)
{
    const std::uint8_t fetch = 0x45;
    g.ReceiveAt(&fetch, 1, at);
    Bytes out(8);
    out.resize(g.TakeOutput(out.data(), out.size()));
    return out;
}

// Sends bytes whose last one arrives at lastUs.
void ArriveAt(SimGateway& g, const Bytes& bytes, std::int64_t lastUs)
{
    g.ReceiveAt(bytes.data(), bytes.size(), lastUs - std::int64_t(bytes.size() - 1) * LineUsPerByte);
}

// A serial chip on the line clock: powered, RESET low at 0, Programming Enable at 25 ms.
struct LineChip {
    explicit LineChip(const char* name) : g(*FindSimChip(name))
    {
        ArriveAt(g, {0x48, 0x47}, 0);
        ArriveAt(g, Instruction(0xAC, 0x53, 0x00, 0x00), 25000);
        enabled = Fetch(g, 25044).size() == 4;
    }
    SimGateway g;
    bool enabled = false;
};

TEST(SimLine, BusyTimeCountsFromTheArrivalOfTheInstruction)
{
    // ATtiny13: EEPROM byte write (C0), 4.5 ms busy from the transfer's arrival.
    struct Case {
        std::int64_t secondAfterUs;
        bool secondWritten;
    };
    for (const Case c : {Case{4400, false}, Case{4600, true}}) {
        SCOPED_TRACE(c.secondAfterUs);
        LineChip chip("ATtiny13");
        ASSERT_TRUE(chip.enabled);
        const std::int64_t first = 100000;
        ArriveAt(chip.g, Instruction(0xC0, 0x00, 0x01, 0x11), first);
        ArriveAt(chip.g, Instruction(0xC0, 0x00, 0x02, 0x22), first + c.secondAfterUs);
        EXPECT_EQ(chip.g.Chip().Eeprom()[1], 0x11);
        EXPECT_EQ(chip.g.Chip().Eeprom()[2], c.secondWritten ? 0x22 : 0xFF)
            << "an instruction that arrives while the chip programs is ignored";
    }
}

TEST(SimLine, SerialEntryNeedsTheStartTimeFromArrival)
{
    for (const std::int64_t enableAt : {19000, 21000}) {
        SimGateway g(*FindSimChip("ATtiny85"));
        ArriveAt(g, {0x48, 0x47}, 1000);
        ArriveAt(g, Instruction(0xAC, 0x53, 0x00, 0x00), 1000 + enableAt);
        const Bytes answer = Fetch(g, 1000 + enableAt + 44);
        ASSERT_EQ(answer.size(), 4u);
        EXPECT_EQ(answer[1] == 0x53, enableAt >= 20000) << enableAt;
    }
}

TEST(SimLine, LongPulsesHoldTheGatewayBack)
{
    // A command after a 10 ms WR pulse runs when the pulse is over, whenever it arrived.
    SimGateway g(*FindSimChip("AT90S8515"));
    ArriveAt(g, {0x1D, 0x08}, 1000);
    ArriveAt(g, {0x18}, 1100);
    SimTimedByte out[4];
    ASSERT_EQ(g.TakeTimedOutput(out, 4), 1u);
    EXPECT_EQ(out[0].atUs, 1000 + std::int64_t(Wr100PulseUs));
}

// Lock bit modes 2 and 3 refuse writes until a chip erase; lock bits themselves can still
// be programmed.
TEST(SimLine, LockBitsRefuseWrites)
{
    SimBench bench("ATtiny85");
    const ProgContext ctx = bench.Context();
    ASSERT_TRUE(SpiProgrammingEnable(ctx, " start"));
    auto write = [&](const SerialInstruction& i) {
        ASSERT_TRUE(SpiInstruction(ctx, i));
        ctx.Sleep(10);
    };
    write({0xAC, 0xE0, 0x00, 0xFE, " lock"});  // LB1: mode 2
    write({0xC0, 0x00, 0x05, 0x42, " eeprom"});
    write({0x40, 0x00, 0x00, 0x12, " load"});
    write({0x4C, 0x00, 0x00, 0x00, " page"});
    write({0xAC, 0xA0, 0x00, 0x00, " fuse"});
    EXPECT_EQ(bench.Chip().Eeprom()[5], 0xFF);
    EXPECT_EQ(bench.Chip().Flash()[0], 0xFF);
    EXPECT_EQ(bench.Chip().Fuses()[0], 0x62);
    write({0xAC, 0xE0, 0x00, 0xFC, " lock"});  // LB2 as well: mode 3
    EXPECT_EQ(bench.Chip().Lock(), 0xFC);
    write({0xAC, 0x80, 0x00, 0x00, " erase"});
    write({0xC0, 0x00, 0x05, 0x42, " eeprom"});
    EXPECT_EQ(bench.Chip().Eeprom()[5], 0x42);
}

TEST(SimLine, ParallelLockRefusesThePageCommit)
{
    SimChip chip(*FindSimChip("ATmega8"));
    chip.Lock() = 0xFC;
    EXPECT_TRUE(chip.WritesLocked());
    chip.Lock() = 0xFF;
    EXPECT_FALSE(chip.WritesLocked());
    SimChip old(*FindSimChip("AT90S8515"));
    old.Lock() = std::uint8_t(~0x02);  // LB1 of the older parts
    EXPECT_TRUE(old.WritesLocked());
}

// RSTDISBL or DWEN programmed, or SPIEN unprogrammed: Programming Enable is never echoed.
TEST(SimLine, FusesThatTakeSerialProgrammingAway)
{
    struct Case {
        const char* chip;
        int fuse;
        std::uint8_t value;
        bool enters;
    };
    const Case cases[] = {
        {"ATtiny85", 1, 0xDF, true},  {"ATtiny85", 1, 0x5F, false}, {"ATtiny85", 1, 0x9F, false},
        {"ATtiny85", 1, 0xFF, false}, {"ATtiny13", 1, 0xFE, false}, {"ATtiny13", 1, 0xF7, false},
        {"ATtiny13", 0, 0xEA, false}, {"ATtiny12", 0, 0x42, false}, {"ATtiny26", 1, 0xE7, false},
        {"AT90S2323", 0, 0xFE, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.chip << " fuse " << c.fuse << " = " << int(c.value));
        SimBench bench(c.chip);
        bench.Chip().Fuses()[std::size_t(c.fuse)] = c.value;
        EXPECT_EQ(SpiProgrammingEnable(bench.Context(), " start"), c.enters);
    }
}

TEST(SimLine, SerialFuseWritesKeepSpien)
{
    SimBench bench("ATtiny85");
    const ProgContext ctx = bench.Context();
    ASSERT_TRUE(SpiProgrammingEnable(ctx, " start"));
    ASSERT_TRUE(SpiInstruction(ctx, {0xAC, 0xA8, 0x00, 0xFF, " high"}));
    ctx.Sleep(10);
    EXPECT_EQ(bench.Chip().Fuses()[1], 0xDF) << "SPIEN stays programmed";
}

// The paced server over a pseudo-terminal, from a raw client.
struct PacedServer {
    explicit PacedServer(AnswerLatency latency)
        : gateway(std::make_shared<SimGateway>(*FindSimChip("ATmega8"))), server(gateway, true, latency)
    {
        if (!server.Open(nullptr))
            return;
        thread = std::thread([this] { server.Serve(stop); });
        fd = ::open(server.DevicePath().c_str(), O_RDWR | O_NOCTTY);
    }
    ~PacedServer()
    {
        if (fd >= 0)
            ::close(fd);
        stop = true;
        if (thread.joinable())
            thread.join();
    }
    // Milliseconds from writing the bytes until count answer bytes are there (-1: never).
    double AnswerTime(const Bytes& bytes, std::size_t count)
    {
        const auto start = std::chrono::steady_clock::now();
        if (::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
            return -1;
        std::size_t got = 0;
        std::uint8_t buffer[256];
        while (got < count) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0)
                return -1;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                got += std::size_t(n);
        }
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }

    std::shared_ptr<SimGateway> gateway;
    PtyServer server;
    std::atomic<bool> stop{false};
    std::thread thread;
    int fd = -1;
};

TEST(SimLinePty, AnswersComeNoEarlierThanTheLineCarriesThem)
{
    PacedServer paced({});
    ASSERT_GE(paced.fd, 0);
    // 200 pin reads: 200 bytes each way, the answers after the last request at the earliest.
    const Bytes reads(200, 0x18);
    const double ms = paced.AnswerTime(reads, reads.size());
    EXPECT_GE(ms, 200 * 0.044 + 0.044);
}

TEST(SimLinePty, AdapterLatencyHoldsAnswersUntilTimeOrSixtyTwoBytes)
{
    PacedServer paced({.latencyMs = 120});
    ASSERT_GE(paced.fd, 0);
    EXPECT_GE(paced.AnswerTime({0x18}, 1), 120.0) << "one byte waits out the latency";
    const double full = paced.AnswerTime(Bytes(62, 0x18), 62);
    EXPECT_GE(full, 62 * 0.044);
    EXPECT_LT(full, 110.0) << "62 waiting bytes go at once";
}

}  // namespace
}  // namespace velmora::sim::testing
