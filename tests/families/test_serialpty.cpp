// Serial reads through the real serial link against the simulated gateway on a pseudo-terminal.
#include "families/serialfixture.h"
#include "link/serialport.h"
#include "sim/ptyserver.h"
#include "sim/simchips.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <atomic>
#include <thread>

namespace velmora::testing {
namespace {

struct ServedChip {
    ServedChip(const char* name, sim::SimFaults faults)
        : gateway(std::make_shared<sim::SimGateway>(*sim::FindSimChip(name))), server(gateway, false)
    {
        gateway->SetFaults(faults);
        if (!server.Open(nullptr))
            return;
        thread = std::thread([this] { server.Serve(stop); });
        connected = ConnectGateway(link, QString::fromStdString(server.DevicePath()), log);
    }
    ~ServedChip()
    {
        link.CloseGateway();
        stop = true;
        if (thread.joinable())
            thread.join();
    }

    std::shared_ptr<sim::SimGateway> gateway;
    sim::PtyServer server;
    std::atomic<bool> stop{false};
    std::thread thread;
    SerialLink link;
    OperationLog log;
    bool connected = false;
};

// A fetch answer is complete with the transfer's 4 bytes, so a read costs a few exchanges,
// not the link's whole answer time (about a second each). A gateway that answers a fetch with
// more bytes is read as well: what comes after the 4 is dropped before the next answer.
TEST(SerialOverPty, FlashReadsAreQuickAndRightWhateverTheFetchLength)
{
    for (int fetchBytes : {4, 8}) {
        SCOPED_TRACE(fetchBytes);
        sim::SimFaults faults;
        faults.fetchAnswerBytes = fetchBytes;
        ServedChip served("ATtiny13", faults);
        ASSERT_TRUE(served.connected);
        for (std::size_t i = 0; i < 64; ++i)
            served.gateway->Chip().Flash()[i] = std::uint8_t(i * 37 + 5);

        SelectedChip chip("ATtiny13");
        ChipTarget target = chip.Target();
        const ProgContext ctx{served.link, served.log, 0};
        QElapsedTimer elapsed;
        elapsed.start();
        // The simulated chip keeps its 20 ms reset time on the machine's clock; on a busy machine
        // its server may see SpiStart late and miss the echo. The user would try again.
        bool entered = false;
        for (int attempt = 0; attempt < 3 && !entered; ++attempt)
            entered = chip.Unit().EnterProgrammingMode(ctx, target);
        ASSERT_TRUE(entered);
        for (std::uint32_t pos = 0; pos < 64; ++pos)
            ASSERT_TRUE(chip.Unit().ReadFlashByte(ctx, target, pos, false)) << pos;
        EXPECT_LT(elapsed.elapsed(), 5000) << "65 fetches, each far below the answer time";
        for (std::size_t i = 0; i < 64; ++i)
            EXPECT_EQ(target.flash[i], std::uint8_t(i * 37 + 5)) << i;
    }
}

}  // namespace
}  // namespace velmora::testing
