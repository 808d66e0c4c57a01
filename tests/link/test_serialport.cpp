// The serial link end to end over a pseudo-terminal: the test plays the gateway on the master side.
#include "link/serialport.h"
#include "log/operationlog.h"
#include "support/pty.h"

#include <gtest/gtest.h>

#include <QDir>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <future>
#include <thread>

using namespace velmora;
using velmora::testing::PtyPeer;
using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

namespace {

const Bytes Handshake = {0x0A, 0x08, 0x00, 0x1E, 0x04};

// Plays a gateway that answers the handshake with the given bytes, in the background.
std::future<Bytes> AnswerHandshake(PtyPeer& peer, Bytes answer)
{
    return std::async(std::launch::async, [&peer, answer] {
        Bytes got = peer.Read(Handshake.size(), 3000ms);
        if (!answer.empty())
            peer.Write(answer);
        return got;
    });
}

class SerialLinkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(peer.Ok()); }
    QString Path() const { return QString::fromStdString(peer.SlavePath()); }

    PtyPeer peer;
    SerialLink link;
    OperationLog log;
};

TEST_F(SerialLinkTest, ConnectSendsTheHandshakeInOrderAndNamesTheDevice)
{
    auto gateway = AnswerHandshake(peer, {0x33});
    EXPECT_TRUE(ConnectGateway(link, Path(), log));
    EXPECT_EQ(gateway.get(), Handshake);
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(log.Lines(), QStringList{QStringLiteral("The COM-port is open: ") + Path()});
}

TEST_F(SerialLinkTest, SilentGatewayGivesUpAfterAboutOneSecondAndClosesThePort)
{
    auto gateway = AnswerHandshake(peer, {});
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_FALSE(ConnectGateway(link, Path(), log));
    const qint64 ms = elapsed.elapsed();
    EXPECT_EQ(gateway.get(), Handshake);
    EXPECT_GE(ms, 950);
    EXPECT_LT(ms, 2000);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(log.Lines(), QStringList{QStringLiteral("Error reading the answer (PINB)")});

    // Reconnecting after the drop works once a gateway answers.
    auto again = AnswerHandshake(peer, {0x01});
    EXPECT_TRUE(ConnectGateway(link, Path(), log));
    EXPECT_EQ(again.get(), Handshake);
}

TEST_F(SerialLinkTest, MissingDeviceWritesOnlyTheNotAvailableLine)
{
    QString reason;
    EXPECT_FALSE(ConnectGateway(link, QStringLiteral("/dev/velmora-no-such-port"), log, &reason));
    EXPECT_EQ(log.Lines(), QStringList{QStringLiteral("Error. The COM-port is not available")});
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(SerialLinkTest, PortIsOpenedExclusively)
{
    auto gateway = AnswerHandshake(peer, {0x01});
    ASSERT_TRUE(ConnectGateway(link, Path(), log));
    gateway.get();
    SerialLink second;
    EXPECT_EQ(second.Open(Path()).status, OpenStatus::Unavailable);
    link.CloseGateway();
    EXPECT_EQ(second.Open(Path()).status, OpenStatus::Ok);  // free again once closed
}

// A symlink to the device (as /dev/serial/by-id/... are) is the same port: a second open
// through it is refused too, whichever name came first.
TEST_F(SerialLinkTest, ASymlinkToTheDeviceIsTheSamePort)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString alias = dir.filePath(QStringLiteral("gateway"));
    ASSERT_TRUE(QFile::link(Path(), alias));
    for (const auto& [first, then] : {std::pair{Path(), alias}, std::pair{alias, Path()}}) {
        SerialLink one;
        SerialLink two;
        ASSERT_EQ(one.Open(first).status, OpenStatus::Ok);
        EXPECT_EQ(two.Open(then).status, OpenStatus::Unavailable) << then.toStdString();
        one.CloseGateway();
        EXPECT_EQ(two.Open(then).status, OpenStatus::Ok);
    }
}

TEST_F(SerialLinkTest, AnswersKeepSurplusBytesAndLateBytesStartTheNextAnswer)
{
    auto gateway = AnswerHandshake(peer, {0x01});
    ASSERT_TRUE(ConnectGateway(link, Path(), log));
    gateway.get();

    // Flow-control characters and every other byte travel unchanged both ways.
    const Bytes out = {0x11, 0x13, 0x11, 0x13, 0x00, 0xFF, 0x0D, 0x0A, 0x03};
    GatewayPacket packet;
    std::copy(out.begin(), out.end(), packet.data.begin());
    packet.count = int(out.size());
    ASSERT_TRUE(link.SendPacket(packet));
    EXPECT_EQ(peer.Read(out.size(), 1000ms), out);

    // Three bytes arrive together while one is expected: all three are the answer.
    peer.Write({0x11, 0x13, 0x0D});
    GatewayPacket answer = link.ReadAnswer(1);
    ASSERT_GE(answer.count, 1);
    Bytes got(answer.data.begin(), answer.data.begin() + answer.count);
    if (answer.count < 3) {  // the pty may deliver them in two arrivals; the rest is the next answer
        GatewayPacket rest = link.ReadAnswer(3 - answer.count);
        got.insert(got.end(), rest.data.begin(), rest.data.begin() + rest.count);
    }
    EXPECT_EQ(got, (Bytes{0x11, 0x13, 0x0D}));

    // More than the record holds: 32 bytes are the answer, the rest waits for the next read.
    Bytes flood(40);
    for (std::size_t i = 0; i < flood.size(); ++i)
        flood[i] = std::uint8_t(i);
    peer.Write(flood);
    Bytes collected;
    while (collected.size() < flood.size()) {
        GatewayPacket part = link.ReadAnswer(int(std::min<std::size_t>(32, flood.size() - collected.size())));
        ASSERT_GT(part.count, 0);
        ASSERT_LE(part.count, 32);
        collected.insert(collected.end(), part.data.begin(), part.data.begin() + part.count);
    }
    EXPECT_EQ(collected, flood);
}

TEST_F(SerialLinkTest, StrayInputIsDroppedBeforeAPacketThatExpectsAnAnswer)
{
    auto gateway = AnswerHandshake(peer, {0x01});
    ASSERT_TRUE(ConnectGateway(link, Path(), log));
    gateway.get();

    // A byte nobody asked for, then a packet without an answer: the byte stays waiting.
    peer.Write({0x77});
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(link.SendPacket({0x15, 0x14}));
    EXPECT_EQ(peer.Read(2, 1000ms), (Bytes{0x15, 0x14}));
    // A read command: what waited is dropped first, so the answer is the gateway's own.
    ASSERT_TRUE(link.SendPacket({0x0B, 0x00, 0x15, 0x10, 0x17}));
    EXPECT_EQ(peer.Read(5, 1000ms).size(), 5u);
    peer.Write({0x42});
    const GatewayPacket answer = link.ReadAnswer(1);
    ASSERT_EQ(answer.count, 1);
    EXPECT_EQ(answer.data[0], 0x42);
}

TEST_F(SerialLinkTest, AnswerReturnsAsSoonAsTheExpectedCountArrived)
{
    auto gateway = AnswerHandshake(peer, {0x01});
    ASSERT_TRUE(ConnectGateway(link, Path(), log));
    gateway.get();
    auto echo = std::async(std::launch::async, [this] {
        for (int i = 0; i < 100; ++i) {
            if (peer.Read(1, 1000ms).size() != 1)
                return false;
            peer.Write({std::uint8_t(i)});
        }
        return true;
    });
    QElapsedTimer elapsed;
    elapsed.start();
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(link.SendPacket({0x17}));
        const GatewayPacket answer = link.ReadAnswer(1);
        ASSERT_EQ(answer.count, 1);
        EXPECT_EQ(answer.data[0], i);
    }
    EXPECT_TRUE(echo.get());
    // A 1 ms sleep per poll alone would take 100 ms or more.
    EXPECT_LT(elapsed.elapsed(), 100);
    EXPECT_EQ(link.Counters().answers, 101u);  // the handshake answer and the hundred
}

TEST(DevicePathForPort, MapsPortBoxTextsToDevices)
{
    const struct {
        const char* text;
        const char* path;
    } cases[] = {
        {"COM1", "/dev/ttyS0"},
        {"COM10", "/dev/ttyS9"},
        {"com3", "/dev/ttyS2"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"ttyACM1", "/dev/ttyACM1"},
        {"ttyUSB0", "/dev/ttyUSB0"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DevicePathForPort(QString::fromLatin1(c.text)), QString::fromLatin1(c.path)) << c.text;
    // Any other path is the working folder's, as a shell would open it.
    const QString here = QDir::currentPath();
    for (const char* relative : {"rel/pty", "COM0", "./pts", "tty/x"})
        EXPECT_EQ(DevicePathForPort(QString::fromLatin1(relative)),
                  QDir::cleanPath(here + QLatin1Char('/') + QString::fromLatin1(relative)))
            << relative;
    EXPECT_EQ(DevicePathForPort(QString(MaxPortTextLength, QLatin1Char('a'))),
              here + QLatin1Char('/') + QString(MaxPortTextLength, QLatin1Char('a')));
    EXPECT_TRUE(DevicePathForPort(QString(MaxPortTextLength + 1, QLatin1Char('a'))).isEmpty());
}

}  // namespace
