#include "link/gatewaycommands.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace velmora {
namespace {

std::vector<std::uint8_t> Bytes(const GatewayPacket& p) { return {p.data.begin(), p.data.begin() + p.count}; }

TEST(GatewayCommands, LengthsOfEveryCode)
{
    struct Case {
        std::uint8_t code;
        int length;
        int answer;
    };
    const Case cases[] = {
        {0x0A, 3, 0}, {0x1E, 1, 0}, {0x04, 1, 1}, {0x0B, 2, 0}, {0x0D, 2, 0}, {0x0F, 2, 0},
        {0x11, 2, 0}, {0x13, 2, 0}, {0x15, 2, 0}, {0x17, 1, 1}, {0x18, 1, 1}, {0x1D, 2, 0},
        {0x44, 5, 0}, {0x46, 1, 0}, {0x45, 1, 4}, {0x48, 1, 0}, {0x47, 1, 0}, {0x99, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CommandLength(c.code), c.length) << int(c.code);
        EXPECT_EQ(AnswerLength(c.code), c.answer) << int(c.code);
    }
}

TEST(GatewayCommands, NineBytePacketWithOneRead)
{
    const PacketBuilder b = PacketBuilder().SetPortC(0x08).SetDdrB(0x00).SetPortD(0x10).ReadPinB().SetPortD(0x14);
    EXPECT_EQ(Bytes(b.Packet()), (std::vector<std::uint8_t>{0x11, 0x08, 0x0B, 0x00, 0x15, 0x10, 0x17, 0x15, 0x14}));
    EXPECT_TRUE(b.HasRead());
    EXPECT_EQ(b.ExpectedAnswer(), 1);
    EXPECT_EQ(PacketBuilder().SpiFetch().ExpectedAnswer(), 4) << "a fetch answer is complete with the transfer's 4 bytes";
    EXPECT_EQ(PacketBuilder().SetPortB(0x45).ExpectedAnswer(), 0) << "0x45 as an operand is no fetch";
}

TEST(GatewayCommands, SpiLoadTravelsLastByteFirst)
{
    EXPECT_EQ(Bytes(PacketBuilder().SpiLoad(0xAC, 0x53, 0x00, 0x00)),
              (std::vector<std::uint8_t>{0x44, 0x00, 0x00, 0x53, 0xAC}));
    EXPECT_EQ(Bytes(PacketBuilder().SpiLoad(0x28, 0x01, 0x7F, 0x00)),
              (std::vector<std::uint8_t>{0x44, 0x00, 0x7F, 0x01, 0x28}));
}

TEST(GatewayCommands, PacketRulesAreEnforced)
{
    PacketBuilder tooLong;
    tooLong.SetPortC(1).SetPortC(2).SetPortC(3).SetPortC(4).ReadPinB();  // 9 bytes: fine
    EXPECT_THROW(tooLong.ReadPinC(), std::logic_error);
    PacketBuilder twoReads;
    twoReads.ReadPinB();
    EXPECT_THROW(twoReads.SpiFetch(), std::logic_error);
    PacketBuilder spiTooLong;
    spiTooLong.SetPortC(1).SetPortC(2).SetPortC(3);
    EXPECT_THROW(spiTooLong.SpiLoad(1, 2, 3, 4), std::logic_error);
}

TEST(GatewayCommands, RecurringPackets)
{
    using B = std::vector<std::uint8_t>;
    struct Case {
        PacketBuilder packet;
        B bytes;
        int answer;
    };
    const Case cases[] = {
        {Packets::ReleaseDataBus(), {0x0B, 0x00, 0x0D, 0x00}, 0},
        {Packets::PortCIdle(), {0x0F, 0x32, 0x11, 0x00}, 0},
        {Packets::PortDAllLow(), {0x13, 0xFC, 0x15, 0x00}, 0},
        {Packets::SupplyOn(), {0x0F, 0x36}, 0},
        {Packets::ProgrammingVoltageOn(), {0x0F, 0x3E, 0x11, 0x08}, 0},
        {Packets::PortDWork(), {0x15, 0x14}, 0},
        {Packets::SuppliesOff(), {0x11, 0x00, 0x0F, 0x32}, 0},
        {Packets::ControlLines(0x08, 0x94), {0x11, 0x08, 0x15, 0x94}, 0},
        {Packets::DriveBus(0x5A), {0x0B, 0xFF, 0x0D, 0x5A}, 0},
        {Packets::ReadLowByte(), {0x0B, 0x00, 0x15, 0x10, 0x17}, 1},
        {Packets::ReadHighByte(), {0x11, 0x0A, 0x17, 0x15, 0x14}, 1},
        {Packets::ReadByte(), {0x0B, 0x00, 0x15, 0x10, 0x17, 0x15, 0x14}, 1},
        {Packets::ReadSelected(0x0A, 0x90), {0x11, 0x0A, 0x0B, 0x00, 0x15, 0x90, 0x17, 0x15, 0x14}, 1},
        {Packets::CommitPage(), {0x11, 0x08, 0x1D, 0x03}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Bytes(c.packet.Packet()), c.bytes);
        EXPECT_EQ(c.packet.ExpectedAnswer(), c.answer);
    }
}

TEST(GatewayCommands, LogWords)
{
    EXPECT_EQ(PulseText(PulseKind::GiveWRNegPulse), " GiveWRNegPulse");
    EXPECT_EQ(PulseText(PulseKind::EnterHVPProgMode_AVR), " EnterHVPProgMode_AVR");
    EXPECT_EQ(PulseText(PulseKind::GiveWR15NegPulse), " GiveWR15NegPulse");
    EXPECT_EQ(LoneCommandText(GatewayCommand::SpiTransfer), " 0x46");
    EXPECT_EQ(LoneCommandText(GatewayCommand::SpiFetch), " 0x45");
    EXPECT_EQ(LoneCommandText(GatewayCommand::SpiStart), " 0x47");
    EXPECT_EQ(LoneCommandText(GatewayCommand::SpiPrepare), " 0x48");
    EXPECT_EQ(LoneCommandText(GatewayCommand::ReadPinC), " PINCRead");
}

}  // namespace
}  // namespace velmora
