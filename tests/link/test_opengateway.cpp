// The connection steps against a recording link: exact bytes, exact lines, and the port state.
#include "link/gatewaylink.h"
#include "log/operationlog.h"
#include "support/recordinglink.h"

#include <gtest/gtest.h>

using namespace velmora;
using velmora::testing::Bytes;
using velmora::testing::RecordingLink;

namespace {

TEST(OpenGateway, HandshakeIsThreeSendsThenOneAnswer)
{
    RecordingLink link;
    OperationLog log;
    link.QueueAnswer({0x5A, 0x01, 0x02});  // surplus bytes are part of the answer, values unchecked
    EXPECT_TRUE(ConnectGateway(link, QStringLiteral("/dev/ttyUSB0"), log));
    EXPECT_EQ(link.sent, (std::vector<Bytes>{{0x0A, 0x08, 0x00}, {0x1E}, {0x04}}));
    EXPECT_EQ(link.readsExpected, std::vector<int>{1});
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(log.Lines(), QStringList{QStringLiteral("The COM-port is open: /dev/ttyUSB0")});
}

TEST(OpenGateway, EveryFailureWritesItsOneLineAndLeavesThePortClosed)
{
    const struct {
        const char* what;
        OpenStatus openStatus;
        int failSendAt;  // -1: sends succeed
        bool answer;
        const char* line;
        int closes;
    } cases[] = {
        {"device missing", OpenStatus::Unavailable, -1, true, "Error. The COM-port is not available", 0},
        {"parameters unreadable", OpenStatus::GetParamsError, -1, true, "Error getting the COM-port parameters", 1},
        {"parameters refused", OpenStatus::SetParamsError, -1, true, "Error setting the COM-port parameters", 1},
        {"first send", OpenStatus::Ok, 0, true, "Error executing commands:  0x0A 0x08 0x00", 1},
        {"second send", OpenStatus::Ok, 1, true, "Error executing commands:  0x1E", 1},
        {"third send", OpenStatus::Ok, 2, true, "Error executing commands:  0x04", 1},
        {"no answer", OpenStatus::Ok, -1, false, "Error reading the answer (PINB)", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingLink link;
        OperationLog log;
        link.openStatus = c.openStatus;
        link.FailSendsFrom(c.failSendAt);
        if (c.answer)
            link.QueueAnswer({0x00});
        QString reason;
        EXPECT_FALSE(ConnectGateway(link, QStringLiteral("COM3"), log, &reason));
        EXPECT_EQ(log.Lines(), QStringList{QString::fromLatin1(c.line)});
        EXPECT_FALSE(link.IsOpen());
        EXPECT_EQ(link.closes, c.closes);
        if (c.openStatus == OpenStatus::Ok) {
            EXPECT_FALSE(reason.isEmpty());  // the status bar says why the handshake failed
        }
    }
}

TEST(GatewayLink, ClosedLinkFailsSendsAndReadsEmpty)
{
    RecordingLink link;
    EXPECT_FALSE(link.SendPacket({0x0B, 0x00}));
    EXPECT_EQ(link.ReadAnswer(1).count, 0);
    EXPECT_TRUE(link.sent.empty());
}

TEST(GatewayLink, DisconnectWritesTheLineEvenWhenAlreadyClosed)
{
    RecordingLink link;
    OperationLog log;
    DisconnectGateway(link, log);
    EXPECT_EQ(log.Lines(), QStringList{QStringLiteral("The COM-port is closed")});
}

}  // namespace
