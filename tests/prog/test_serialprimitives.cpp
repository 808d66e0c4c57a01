#include "prog/serialprimitives.h"

#include "primitivefixture.h"

namespace velmora::testing {
namespace {

using SerialPrimitives = PrimitiveTest;

const Bytes EnableLoad{0x44, 0x00, 0x00, 0x53, 0xAC};

TEST_F(SerialPrimitives, InstructionSendsLoadThenTransferThenWaits)
{
    EXPECT_TRUE(SpiInstruction(Context(3), {.i1 = 0x20, .i2 = 0x01, .i3 = 0x7F, .i4 = 0x00, .failText = " 0x44 0x00 b a 0x2H"}));
    EXPECT_EQ(link.sent, (std::vector<Bytes>{{0x44, 0x00, 0x7F, 0x01, 0x20}, {0x46}}));
    EXPECT_EQ(sleeps, std::vector<int>{3});
    EXPECT_TRUE(log.Lines().isEmpty());
}

TEST_F(SerialPrimitives, InstructionFailureLines)
{
    const char* lines[] = {"Error executing commands:  0x44 0x00 b a 0x2H", "Error executing commands:  0x46"};
    for (int failing = 0; failing < 2; ++failing) {
        RecordingLink rec;
        rec.Open(QStringLiteral("rec"));
        rec.FailSendsFrom(failing);
        OperationLog l;
        EXPECT_FALSE(SpiInstruction(ProgContext{rec, l, 0, [](int) {}}, {.i1 = 0x20, .failText = " 0x44 0x00 b a 0x2H"}));
        EXPECT_EQ(l.Lines(), QStringList{QString::fromUtf8(lines[failing])});
        EXPECT_FALSE(rec.IsOpen());
    }
}

TEST_F(SerialPrimitives, AnswerAsksForTheTransfersFourBytesAndTakesWhatCame)
{
    link.QueueAnswer({0x42, 0x53, 0x20, 0xFF});
    SpiAnswerBytes answer;
    EXPECT_TRUE(SpiAnswer(Context(), answer));
    EXPECT_EQ(link.sent, std::vector<Bytes>{{0x45}});
    EXPECT_EQ(link.readsExpected, std::vector<int>{4});
    EXPECT_EQ(answer.byte0, 0x42);
    EXPECT_EQ(answer.byte1, 0x53);
    EXPECT_EQ(answer.count, 4);

    EXPECT_FALSE(SpiAnswer(Context(), answer)) << "an empty answer is missing";
    EXPECT_EQ(log.Lines(), QStringList{QStringLiteral("Error reading the answer (SPI paket)")});
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(SerialPrimitives, ProgrammingEnableSequenceAndWaits)
{
    link.QueueAnswer({0x00, 0x53, 0xAC, 0x00});
    EXPECT_TRUE(SpiProgrammingEnable(Context(0), " execute the sinchronization with chip"));
    EXPECT_EQ(link.sent, (std::vector<Bytes>{{0x48}, {0x47}, EnableLoad, {0x46}, {0x45}}));
    EXPECT_EQ(sleeps, (std::vector<int>{0, 20, 0})) << "20 ms after SpiStart even at DelaysValue 0";
    EXPECT_EQ(log.Lines(), (QStringList{QStringLiteral("Trying to execute the sinchronization with chip"),
                                        QStringLiteral("       Finished with success.")}));
}

TEST_F(SerialPrimitives, ProgrammingEnableEchoDecides)
{
    struct Case {
        Bytes answer;
        bool ok;
    };
    const Case cases[] = {
        {{0x00, 0x53}, true},  {{0xFF, 0x53, 0x00}, true},  // byte 0 does not matter
        {{0x53, 0x00}, false}, {{0x53}, false},              // one byte cannot hold the echo
        {{0xFF, 0xFF, 0xFF, 0xFF}, false},
    };
    for (const Case& c : cases) {
        RecordingLink rec;
        rec.Open(QStringLiteral("rec"));
        rec.QueueAnswer(c.answer);
        OperationLog l;
        EXPECT_EQ(SpiProgrammingEnable(ProgContext{rec, l, 1, [](int) {}}, " execute Programming Enable"), c.ok);
        EXPECT_TRUE(rec.IsOpen()) << "a wrong echo keeps the link";
        if (c.ok)
            EXPECT_EQ(l.Lines().size(), 2);
        else
            EXPECT_EQ(l.Lines(), QStringList{QStringLiteral("Trying to execute Programming Enable")});
    }
}

TEST_F(SerialPrimitives, ProgrammingEnableFailureLines)
{
    const char* lines[] = {"Error executing commands:  0x48", "Error executing commands:  0x47",
                           "Error executing commands:  0x44 0x00 0x00 0x53 0xAC", "Error executing commands:  0x46",
                           "Error executing commands:  0x45", "Error reading the answer (SPI paket)"};
    for (int failing = 0; failing < 6; ++failing) {
        RecordingLink rec;
        rec.Open(QStringLiteral("rec"));
        if (failing < 5)
            rec.FailSendsFrom(failing);  // the last case: all sent, no answer queued
        OperationLog l;
        EXPECT_FALSE(SpiProgrammingEnable(ProgContext{rec, l, 0, [](int) {}}, " execute Programming Enable"));
        EXPECT_EQ(l.Lines(), (QStringList{QStringLiteral("Trying to execute Programming Enable"),
                                          QString::fromUtf8(lines[failing])}));
        EXPECT_FALSE(rec.IsOpen());
    }
}

}  // namespace
}  // namespace velmora::testing
