#include "simfixture.h"

#include "link/gatewaycommands.h"
#include "prog/serialprimitives.h"

#include <vector>

namespace velmora::sim::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Answer(SimGateway& g)
{
    Bytes out(64);
    out.resize(g.TakeOutput(out.data(), out.size()));
    return out;
}

TEST(SimGateway, CommandsSplitAcrossWritesRunWhenComplete)
{
    SimGateway g(*FindSimChip("ATmega8"), true);
    const Bytes stream{0x0F, 0x32, 0x11, 0x1A, 0x13, 0xFC, 0x15, 0x54, 0x18};
    for (std::uint8_t b : stream)
        g.Receive(&b, 1);
    EXPECT_EQ(g.Ports().ddrC, 0x32);
    EXPECT_EQ(g.Ports().portC, 0x1A);
    EXPECT_EQ(g.Ports().portD, 0x54);
    // PINC: the outputs' levels, RDY/BSY low (the chip is not in programming mode).
    EXPECT_EQ(Answer(g), Bytes{0x12});
}

TEST(SimGateway, HandshakeAndPinReadsAnswerOneByteEach)
{
    SimGateway g(*FindSimChip("ATmega8"), true);
    const Bytes packet{0x0A, 0x08, 0x00, 0x1E, 0x04, 0x0B, 0xFF, 0x0D, 0xA5, 0x17};
    g.Receive(packet.data(), packet.size());
    const Bytes answer = Answer(g);
    ASSERT_EQ(answer.size(), 2u);
    EXPECT_EQ(answer[1], 0xA5) << "PINB reads the driven bus";
}

TEST(SimGateway, ConnectThroughTheInProcessLink)
{
    SimBench bench("ATmega8");
    bench.link.CloseGateway();
    EXPECT_TRUE(ConnectGateway(bench.link, QStringLiteral("virtual:ATmega8"), bench.log));
    EXPECT_EQ(bench.log.Lines(), QStringList{QStringLiteral("The COM-port is open: virtual:ATmega8")});
}

TEST(SimGateway, SpiFetchAnswersFourBytesLastReceivedFirst)
{
    SimBench bench("ATtiny13");
    const ProgContext ctx = bench.Context();
    ASSERT_TRUE(SpiProgrammingEnable(ctx, " execute the sinchronization with chip"));
    ASSERT_TRUE(SpiInstruction(ctx, ReadSignatureInstruction(1)));
    ASSERT_TRUE(ctx.Send(PacketBuilder().SpiFetch(), " 0x45"));
    const GatewayPacket answer = bench.link.ReadAnswer(8);
    ASSERT_EQ(answer.count, 4) << "the gateway sends the 4 bytes of the transfer, never 8";
    EXPECT_EQ(answer.data[0], 0x90) << "data byte of the read (signature byte 1)";
    EXPECT_EQ(answer.data[1], 0x00) << "echo of I2";
    EXPECT_EQ(answer.data[2], 0x30) << "echo of I1";
}

TEST(SimGateway, ProgrammingEnableNeedsTheTwentyMillisecondsAfterStart)
{
    SimBench bench("ATtiny13");
    ProgContext hurried = bench.Context();
    hurried.sleeper = [](int) {};  // nobody waits: the chip is still in reset
    EXPECT_FALSE(SpiProgrammingEnable(hurried, " execute the sinchronization with chip"));
    EXPECT_TRUE(bench.link.IsOpen());
    EXPECT_TRUE(SpiProgrammingEnable(bench.Context(), " execute the sinchronization with chip"));
}

// Each fault as the primitives see it.
TEST(SimGateway, Faults)
{
    {
        SimFaults f;
        f.noHandshakeAnswer = true;
        SimBench bench("ATmega8", f);
        bench.link.CloseGateway();
        EXPECT_FALSE(ConnectGateway(bench.link, QStringLiteral("virtual:ATmega8"), bench.log));
        EXPECT_EQ(bench.log.Lines(), QStringList{QStringLiteral("Error reading the answer (PINB)")});
    }
    {
        SimFaults f;
        f.silentAfterBytes = 5 + 16 + 10 + 17;  // handshake, entry, command load, first byte
        SimBench bench("ATmega8", f);
        EXPECT_TRUE(OpenGateway(bench.link, QStringLiteral("v"), bench.log));
        EXPECT_TRUE(EnterParallelMode(bench.Context()));
        EXPECT_EQ(ReadSignature(bench.Context()), 0);
        EXPECT_EQ(bench.log.Lines().last(), QStringLiteral("Error reading the answer (PINB)"));
        EXPECT_FALSE(bench.link.IsOpen());
    }
    {
        SimFaults f;
        f.chipBusyForever = true;
        SimBench bench("ATmega8", f);
        ASSERT_TRUE(EnterParallelMode(bench.Context()));
        EXPECT_FALSE(WaitReady(bench.Context()));
        EXPECT_TRUE(bench.link.IsOpen());
        EXPECT_EQ(bench.link.Counters().answers, 50u);
    }
    {
        SimFaults f;
        f.wrongEnableEcho = true;
        SimBench bench("ATtiny85", f);
        EXPECT_FALSE(SpiProgrammingEnable(bench.Context(), " execute the sinchronization with chip"));
        EXPECT_EQ(bench.log.Lines().size(), 1);
        EXPECT_TRUE(bench.link.IsOpen());
    }
    {
        SimFaults f;
        f.unplugAfterBytes = 18;  // inside the first packet after the entry
        SimBench bench("ATmega8", f);
        EXPECT_TRUE(EnterParallelMode(bench.Context()));
        EXPECT_EQ(ReadSignature(bench.Context()), 0);
        EXPECT_EQ(bench.log.Lines().last(),
                  QStringLiteral("Error executing commands:  set XA1, XA0 = 10, BS1, BS2 = 00"));
        EXPECT_FALSE(bench.link.IsOpen());
        EXPECT_EQ(bench.link.Open(QStringLiteral("v")).status, OpenStatus::Unavailable);
    }
}

}  // namespace
}  // namespace velmora::sim::testing

namespace velmora::sim::testing {
namespace {

TEST(VirtualPorts, PortTextsChooseTheLink)
{
    const PortLinkFactory factory = VirtualOrSerialLinkFactory();
    QString path;
    auto link = factory(QStringLiteral("Virtual gateway"), &path);
    EXPECT_EQ(path, QStringLiteral("virtual:ATmega8"));
    ASSERT_NE(dynamic_cast<SimLink*>(link.get()), nullptr);
    auto* first = dynamic_cast<SimLink*>(link.get());
    first->Gateway().Chip().Flash()[0] = 0x12;

    // The same chip on a later Connect: the same gateway, so the chip kept its flash.
    auto again = factory(QStringLiteral("virtual:atmega8"), &path);
    EXPECT_EQ(dynamic_cast<SimLink*>(again.get())->Gateway().Chip().Flash()[0], 0x12);

    auto other = factory(QStringLiteral("virtual:ATmega2560"), &path);
    EXPECT_EQ(path, QStringLiteral("virtual:ATmega2560"));
    EXPECT_EQ(dynamic_cast<SimLink*>(other.get())->Gateway().Chip().Model().flashBytes, 262144u);

    auto serial = factory(QStringLiteral("COM3"), &path);
    EXPECT_EQ(dynamic_cast<SimLink*>(serial.get()), nullptr);
    EXPECT_EQ(path, QStringLiteral("/dev/ttyS2"));
    EXPECT_EQ(VirtualChipForPort(QStringLiteral("virtual:ATmega9")), nullptr);
}

}  // namespace
}  // namespace velmora::sim::testing
