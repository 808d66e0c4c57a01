#include "app/portlinks.h"

#include "sim/simlink.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(VirtualPorts, PortTextsChooseTheLink)
{
    const PortLinkFactory factory = VirtualOrSerialLinkFactory();
    QString path;
    auto link = factory(QStringLiteral("Virtual gateway"), &path);
    EXPECT_EQ(path, QStringLiteral("virtual:ATmega8"));
    ASSERT_NE(dynamic_cast<sim::SimLink*>(link.get()), nullptr);
    auto* first = dynamic_cast<sim::SimLink*>(link.get());
    first->Gateway().Chip().Flash()[0] = 0x12;

    // The same chip on a later Connect: the same gateway, so the chip kept its flash.
    auto again = factory(QStringLiteral("virtual:atmega8"), &path);
    EXPECT_EQ(dynamic_cast<sim::SimLink*>(again.get())->Gateway().Chip().Flash()[0], 0x12);

    auto other = factory(QStringLiteral("virtual:ATmega2560"), &path);
    EXPECT_EQ(path, QStringLiteral("virtual:ATmega2560"));
    EXPECT_EQ(dynamic_cast<sim::SimLink*>(other.get())->Gateway().Chip().Model().flashBytes, 262144u);

    auto serial = factory(QStringLiteral("COM3"), &path);
    EXPECT_EQ(dynamic_cast<sim::SimLink*>(serial.get()), nullptr);
    EXPECT_EQ(path, QStringLiteral("/dev/ttyS2"));
    EXPECT_EQ(VirtualChipForPort(QStringLiteral("virtual:ATmega9")), nullptr);
}

}  // namespace
}  // namespace velmora
