#include "session/portlinks.h"

#include "sim/simlink.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(VirtualPorts, PortTextsChooseTheLink)
{
    const PortLinkFactory factory = VirtualOrSerialLinkFactory();
    PortLink made = factory(QStringLiteral("Virtual gateway"));
    EXPECT_EQ(made.devicePath, QStringLiteral("virtual:ATmega8"));
    auto* first = dynamic_cast<sim::SimLink*>(made.link.get());
    ASSERT_NE(first, nullptr);
    first->Gateway().Chip().Flash()[0] = 0x12;

    // The same chip on a later Connect: the same gateway, so the chip kept its flash.
    PortLink again = factory(QStringLiteral("virtual:atmega8"));
    EXPECT_EQ(dynamic_cast<sim::SimLink*>(again.link.get())->Gateway().Chip().Flash()[0], 0x12);

    PortLink other = factory(QStringLiteral("virtual:ATmega2560"));
    EXPECT_EQ(other.devicePath, QStringLiteral("virtual:ATmega2560"));
    EXPECT_EQ(dynamic_cast<sim::SimLink*>(other.link.get())->Gateway().Chip().Model().flashBytes, 262144u);

    PortLink serial = factory(QStringLiteral("COM3"));
    EXPECT_EQ(dynamic_cast<sim::SimLink*>(serial.link.get()), nullptr);
    EXPECT_EQ(serial.devicePath, QStringLiteral("/dev/ttyS2"));
    EXPECT_EQ(VirtualChipForPort(QStringLiteral("virtual:ATmega9")), nullptr);

    // The serial factory takes every text for a device, a virtual one too.
    PortLink named = SerialLinkFactory()(QStringLiteral("virtual:ATmega8"));
    EXPECT_EQ(dynamic_cast<sim::SimLink*>(named.link.get()), nullptr);
}

TEST(VirtualPorts, TheClockDecidesWhetherAChipsWaitsAreSlept)
{
    // On virtual time a wait moves the gateway's clock on instead of sleeping the thread.
    PortLink onVirtual = VirtualOrSerialLinkFactory(VirtualClock::Virtual)(QStringLiteral("virtual:ATmega8"));
    auto* link = dynamic_cast<sim::SimLink*>(onVirtual.link.get());
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(link->Gateway().VirtualTime());
    const auto before = std::chrono::steady_clock::now();
    onVirtual.sleeper(5000);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));

    PortLink onClock = VirtualOrSerialLinkFactory(VirtualClock::Real)(QStringLiteral("virtual:ATmega8"));
    EXPECT_FALSE(dynamic_cast<sim::SimLink*>(onClock.link.get())->Gateway().VirtualTime());
}

}  // namespace
}  // namespace velmora
