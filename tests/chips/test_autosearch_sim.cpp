// Autosearch against the virtual gateway, whose chip models are written from the datasheets
// independently of the catalogue: every chip is found as itself (a NIIET part as its AVR twin,
// a serial-only chip over SPI), an empty socket as unknown, and the catalogue agrees with the
// models on sizes and factory values.
#include "chips/autosearch.h"

#include "link/serialport.h"
#include "log/operationlog.h"
#include "sim/simchips.h"
#include "sim/simlink.h"
#include "support/pty.h"
#include "views/workspace.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace velmora {
namespace {

TEST(AutosearchSim, FindsEveryChipAsItsCatalogueEntry)
{
    for (const sim::SimChipModel& model : sim::SimChipModels()) {
        SCOPED_TRACE(std::string(model.name));
        sim::SimLink link(model, /*virtualTime=*/true);
        ASSERT_TRUE(link.Open(QStringLiteral("virtual")).status == OpenStatus::Ok);
        OperationLog log;
        Workspace work;
        work.NiietMode() = 1;
        const ChipEntry* found = Autosearch(ProgContext{link, log, 0, link.Sleeper()}, work.chips,
                                            [&work](SignatureCode c) { work.ShowChip(c); });
        const QString last = log.Lines().isEmpty() ? QString() : log.Lines().back();
        ASSERT_NE(found, nullptr) << qPrintable(log.Lines().join(QLatin1Char('\n')));
        // Only a chip the parallel entry cannot read is looked for over SPI.
        EXPECT_EQ(log.Lines().contains(QStringLiteral("Trying to execute Programming Enable")),
                  model.interface == sim::SimInterface::Serial);
        EXPECT_EQ(found->code, model.Code());
        EXPECT_FALSE(found->niiet);
        EXPECT_EQ(work.NiietMode(), 0);
        EXPECT_EQ(last, QStringLiteral("Selected chip is  ") + QString::fromUtf8(found->name.data(), qsizetype(found->name.size())));
    }
}

TEST(AutosearchSim, EmptySocketIsUnknown)
{
    for (const char* chip : {"ATmega8", "ATtiny13"}) {
        sim::SimLink link(*sim::FindSimChip(chip), /*virtualTime=*/true);
        sim::SimFaults empty;
        empty.emptySocket = true;
        link.Gateway().SetFaults(empty);
        ASSERT_TRUE(link.Open(QStringLiteral("virtual")).status == OpenStatus::Ok);
        OperationLog log;
        ChipState state;
        EXPECT_EQ(Autosearch(ProgContext{link, log, 0, link.Sleeper()}, state, {}), nullptr);
        EXPECT_EQ(log.Lines().back(), QStringLiteral("Selected chip is  unknown"));
        EXPECT_TRUE(link.IsOpen());
    }
}

// A gateway on a pseudo-terminal that answers the handshake with three bytes, 50 µs apart,
// then serves an ATmega8. The connection takes the first byte as its answer; the other two
// arrive after it. Were they left in the input, they would be the first two bytes of the
// signature read and every answer after them would be shifted: the chip would be misread.
TEST(AutosearchSim, LateHandshakeBytesDoNotShiftTheSignatureRead)
{
    testing::PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    sim::SimGateway gateway(*sim::FindSimChip("ATmega8"));
    std::atomic<bool> stop{false};
    std::thread served([&] {
        if (peer.Read(5, std::chrono::milliseconds(3000)).size() != 5)
            return;
        for (std::uint8_t b : {std::uint8_t(0x01), std::uint8_t(0x02), std::uint8_t(0x03)}) {
            peer.Write({b});
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        std::uint8_t buffer[64];
        while (!stop) {
            pollfd p{peer.MasterFd(), POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0)
                continue;
            const ssize_t n = ::read(peer.MasterFd(), buffer, sizeof buffer);
            if (n <= 0)
                continue;
            gateway.Receive(buffer, std::size_t(n));
            const std::size_t answer = gateway.TakeOutput(buffer, sizeof buffer);
            if (answer > 0)
                peer.Write({buffer, buffer + answer});
        }
    });
    SerialLink link;
    OperationLog log;
    ChipState state;
    const bool connected = ConnectGateway(link, QString::fromStdString(peer.SlavePath()), log);
    const ChipEntry* found = connected ? Autosearch(ProgContext{link, log, 0}, state, {}) : nullptr;
    stop = true;
    served.join();
    ASSERT_TRUE(connected);
    ASSERT_NE(found, nullptr) << qPrintable(log.Lines().join(QLatin1Char('\n')));
    EXPECT_EQ(found->name, "ATmega8");
}

TEST(AutosearchSim, CatalogueAgreesWithTheChipModels)
{
    for (const ChipEntry& e : ChipCatalogue()) {
        SCOPED_TRACE(std::string(e.name));
        const sim::SimChipModel* model = sim::FindSimChip(e.name);
        ASSERT_NE(model, nullptr);
        EXPECT_EQ(model->Code(), e.code);
        EXPECT_EQ(model->flashBytes, e.flashSize);
        EXPECT_EQ(model->eepromBytes, e.eepromSize);
        EXPECT_EQ(model->calibrationCount, e.calibrationCount);
        EXPECT_EQ(model->factoryCount, e.factoryCount);
        for (std::size_t i = 0; i < e.factoryCount; ++i)
            EXPECT_EQ(model->factory[i], e.factory[i]) << i;
        EXPECT_EQ(model->niiet, e.niiet);
    }
}

}  // namespace
}  // namespace velmora
