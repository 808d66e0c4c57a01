#include "prog/parallelprimitives.h"

#include "primitivefixture.h"

#include <functional>
#include <string>

namespace velmora::testing {
namespace {

using ParallelPrimitives = PrimitiveTest;

QStringList Lines(std::initializer_list<const char*> lines)
{
    QStringList out;
    for (const char* l : lines)
        out << QString::fromUtf8(l);
    return out;
}

// Each load: its three packets, and the failure line of each of them.
struct LoadCase {
    const char* name;
    std::function<bool(const ProgContext&, std::uint8_t)> load;
    Bytes lines;
    const char* failTexts[3];
};

const LoadCase LoadCases[] = {
    {"LoadCommand", [](const ProgContext& c, std::uint8_t b) { return LoadCommand(c, b); }, {0x11, 0x18, 0x15, 0x14},
     {" set XA1, XA0 = 10, BS1, BS2 = 00", " set Command", " GiveXtalPosPulse"}},
    {"LoadAddressLow", LoadAddressLow, {0x11, 0x08, 0x15, 0x14},
     {" set XA1, XA0 = 00, BS1, BS2 = 00", " Load Address Low Byte", " 0x1D 0x02"}},
    {"LoadAddressHigh", LoadAddressHigh, {0x11, 0x0A, 0x15, 0x14},
     {" set XA1, XA0 = 00, BS1, BS2 = 10", " 0x0D a", " 0x1D 0x02"}},
    {"LoadDataLow", LoadDataLow, {0x11, 0x08, 0x15, 0x54},
     {" set XA1, XA0 = 01, BS1, BS2 = 00", " Load Data Low Byte", " 0x1D 0x02"}},
    {"LoadDataHigh", LoadDataHigh, {0x11, 0x0A, 0x15, 0x54},
     {" set XA1, XA0 = 01, BS1, BS2 = 10", " Load Data High Byte", " 0x1D 0x02"}},
    {"LoadAddressExtended", LoadAddressExtended, {0x11, 0x08, 0x15, 0x94},
     {" set XA1, XA0 = 00, BS1, BS2 = 01", " 0x0D a", " 0x1D 0x02"}},
};

TEST_F(ParallelPrimitives, EveryLoadSendsLinesBusAndLatchSilently)
{
    for (const LoadCase& c : LoadCases) {
        RecordingLink rec;
        rec.Open(QStringLiteral("rec"));
        OperationLog quiet;
        const ProgContext ctx{rec, quiet, 5, [this](int ms) { sleeps.push_back(ms); }};
        ASSERT_TRUE(c.load(ctx, 0x08)) << c.name;
        EXPECT_EQ(rec.sent, (std::vector<Bytes>{c.lines, {0x0B, 0xFF, 0x0D, 0x08}, {0x1D, 0x02}})) << c.name;
        EXPECT_TRUE(rec.readsExpected.empty()) << c.name;
        EXPECT_TRUE(quiet.Lines().isEmpty()) << c.name;
    }
    EXPECT_TRUE(sleeps.empty()) << "the loads never sleep";
}

TEST_F(ParallelPrimitives, EveryLoadNamesTheFailedSendAndDropsTheLink)
{
    for (const LoadCase& c : LoadCases) {
        for (int failing = 0; failing < 3; ++failing) {
            RecordingLink rec;
            rec.Open(QStringLiteral("rec"));
            rec.FailSendsFrom(failing);
            OperationLog failLog;
            const ProgContext ctx{rec, failLog, 0, [](int) {}};
            EXPECT_FALSE(c.load(ctx, 0x5A)) << c.name << " send " << failing;
            EXPECT_EQ(failLog.Lines(), QStringList{QStringLiteral("Error executing commands: ") +
                                                   QString::fromUtf8(c.failTexts[failing])})
                << c.name << " send " << failing;
            EXPECT_EQ(rec.sent.size(), std::size_t(failing)) << "nothing is sent after the failure";
            EXPECT_FALSE(rec.IsOpen());
            EXPECT_EQ(rec.closes, 1);
        }
    }
}

TEST_F(ParallelPrimitives, WaitReadyStopsAtTheFirstReadyAnswer)
{
    link.QueueAnswer({0xFE});
    link.QueueAnswer({0x00});
    link.QueueAnswer({0x01});
    EXPECT_TRUE(WaitReady(Context(3)));
    EXPECT_EQ(link.sent, (std::vector<Bytes>(3, Bytes{0x18})));
    EXPECT_EQ(link.readsExpected, (std::vector<int>(3, 1)));
    EXPECT_EQ(sleeps, (std::vector<int>{1, 1})) << "1 ms between polls, whatever DelaysValue is";
    EXPECT_TRUE(log.Lines().isEmpty());
}

TEST_F(ParallelPrimitives, WaitReadyGivesUpSilentlyAfterFiftyPolls)
{
    for (int i = 0; i < 60; ++i)
        link.QueueAnswer({0xFE});
    EXPECT_FALSE(WaitReady(Context()));
    EXPECT_EQ(link.sent.size(), 50u);
    EXPECT_EQ(sleeps, std::vector<int>(50, 1));
    EXPECT_TRUE(log.Lines().isEmpty());
    EXPECT_TRUE(link.IsOpen()) << "a busy chip keeps the link";
}

TEST_F(ParallelPrimitives, WaitReadyFailures)
{
    link.QueueAnswer({0x00});
    // second poll gets no answer
    EXPECT_FALSE(WaitReady(Context()));
    EXPECT_EQ(log.Lines(), QStringList{QStringLiteral("Error reading the answer (PINC)")});
    EXPECT_FALSE(link.IsOpen());

    RecordingLink rec;
    rec.Open(QStringLiteral("rec"));
    rec.FailSendsFrom(0);
    OperationLog l2;
    EXPECT_FALSE(WaitReady(ProgContext{rec, l2, 0, [](int) {}}));
    EXPECT_EQ(l2.Lines(), QStringList{QStringLiteral("Error executing commands:  PINCRead")});
}

TEST_F(ParallelPrimitives, EnterParallelModeSendsThePowerUpAndSettles)
{
    EXPECT_TRUE(EnterParallelMode(Context(0)));
    EXPECT_EQ(link.sent, (std::vector<Bytes>{{0x0B, 0x00, 0x0D, 0x00},
                                             {0x0F, 0x32, 0x11, 0x00},
                                             {0x13, 0xFC, 0x15, 0x00},
                                             {0x1D, 0x00},
                                             {0x15, 0x14}}));
    EXPECT_EQ(sleeps, (std::vector<int>{1, 0, 1, 0})) << "the 1 ms settles apply even at DelaysValue 0";
    EXPECT_EQ(log.Lines(), Lines({"Trying to enter Programming Mode", "       Finished with success."}));

    sleeps.clear();
    RecordingLink rec;
    rec.Open(QStringLiteral("rec"));
    OperationLog l2;
    EXPECT_TRUE(EnterParallelMode(ProgContext{rec, l2, 4, [this](int ms) { sleeps.push_back(ms); }}));
    EXPECT_EQ(sleeps, (std::vector<int>{1, 4, 1, 4}));
}

TEST_F(ParallelPrimitives, EnterParallelModeFailureLines)
{
    const char* texts[] = {" 0x0B 0x0 0x0D 0x0", " 0x0F 0x32 0x11 0x0", " 0x13 0xFC 0x15 0x0", " 0x1D 0x0",
                           " 0x15 0x14(PD_WORK)"};
    for (int failing = 0; failing < 5; ++failing) {
        RecordingLink rec;
        rec.Open(QStringLiteral("rec"));
        rec.FailSendsFrom(failing);
        OperationLog l;
        EXPECT_FALSE(EnterParallelMode(ProgContext{rec, l, 0, [](int) {}}));
        EXPECT_EQ(l.Lines(), (QStringList{QStringLiteral("Trying to enter Programming Mode"),
                                          QStringLiteral("Error executing commands: ") + QString::fromUtf8(texts[failing])}));
        EXPECT_FALSE(rec.IsOpen());
    }
}

TEST_F(ParallelPrimitives, ExitParallelMode)
{
    EXPECT_TRUE(ExitParallelMode(Context(2)));
    EXPECT_EQ(link.sent, (std::vector<Bytes>{{0x11, 0x00, 0x0F, 0x32}}));
    EXPECT_EQ(sleeps, (std::vector<int>{1, 2}));
    EXPECT_EQ(log.Lines(), Lines({"Trying to exit Programming Mode", "       Finished with success."}));

    RecordingLink rec;
    rec.Open(QStringLiteral("rec"));
    rec.FailSendsFrom(0);
    OperationLog l;
    EXPECT_FALSE(ExitParallelMode(ProgContext{rec, l, 0, [](int) {}}));
    EXPECT_EQ(l.Lines(), Lines({"Trying to exit Programming Mode", "Error executing commands:  0x11 0x0 0x0F 0x32"}));
}

TEST_F(ParallelPrimitives, ReadSignatureAssemblesTheCode)
{
    link.QueueAnswer({0x1E});
    link.QueueAnswer({0x93});
    link.QueueAnswer({0x07});
    EXPECT_EQ(ReadSignature(Context()), 0x07931E);
    const Bytes read{0x0B, 0x00, 0x15, 0x10, 0x17, 0x15, 0x14};
    std::vector<Bytes> expected{{0x11, 0x18, 0x15, 0x14}, {0x0B, 0xFF, 0x0D, 0x08}, {0x1D, 0x02}};
    for (std::uint8_t i = 0; i < 3; ++i) {
        expected.insert(expected.end(), {{0x11, 0x08, 0x15, 0x14}, {0x0B, 0xFF, 0x0D, i}, {0x1D, 0x02}, read});
    }
    EXPECT_EQ(link.sent, expected);
    EXPECT_EQ(link.readsExpected, (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(log.Lines(), Lines({"Trying to read signature bytes", "       Finished"}));
    EXPECT_TRUE(sleeps.empty());
}

// A pin read is answered with one byte; a second one arriving with it (a stray byte) makes
// the answer unknowable: a link fault with its own line, never a byte taken at random.
TEST_F(ParallelPrimitives, AStrayByteWithAPinAnswerIsALinkFault)
{
    link.QueueAnswer({0x1E});
    link.QueueAnswer({0x00, 0x93});
    EXPECT_EQ(ReadSignature(Context()), 0);
    EXPECT_EQ(log.Lines(), Lines({"Trying to read signature bytes",
                                  "Error reading the answer (PINB): 2 bytes came where 1 was asked for"}));
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(ParallelPrimitives, ReadSignatureGatewayStopsAnsweringAfterTheFirstByte)
{
    link.QueueAnswer({0x1E});
    EXPECT_EQ(ReadSignature(Context()), 0);
    EXPECT_EQ(log.Lines(), Lines({"Trying to read signature bytes", "Error reading the answer (PINB)"}));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.readsExpected.size(), 2u);
    EXPECT_EQ(link.sent.size(), 3u + 4u + 4u) << "nothing is sent after the missing answer";
}

TEST_F(ParallelPrimitives, ReadSignatureFailedSendsGiveZero)
{
    // Send 6 is the first signature read packet; sends 0..2 are LoadCommand's.
    struct Case {
        int failAt;
        const char* line;
    };
    const Case cases[] = {{0, "Error executing commands:  set XA1, XA0 = 10, BS1, BS2 = 00"},
                          {4, "Error executing commands:  Load Address Low Byte"},
                          {6, "Error executing commands:  Read Signature Bytes"}};
    for (const Case& c : cases) {
        RecordingLink rec;
        rec.Open(QStringLiteral("rec"));
        rec.FailSendsFrom(c.failAt);
        OperationLog l;
        EXPECT_EQ(ReadSignature(ProgContext{rec, l, 0, [](int) {}}), 0);
        EXPECT_EQ(l.Lines(), Lines({"Trying to read signature bytes", c.line}));
        EXPECT_FALSE(rec.IsOpen());
    }
}

}  // namespace
}  // namespace velmora::testing
