#include "chips/autosearch.h"

#include "log/operationlog.h"
#include "support/recordinglink.h"
#include "views/workspace.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using testing::Bytes;
using testing::RecordingLink;

// What the gateway fetches from an empty socket: MISO floats high.
const Bytes EmptySocketFetch{0xFF, 0xFF, 0xFF, 0xFF};

// A workspace with a chip already selected and edited, and a link whose answers the test queues.
class AutosearchTest : public ::testing::Test {
protected:
    AutosearchTest()
    {
        link.Open(QStringLiteral("rec"));
        log.SetClock([] { return QTime(12, 0, 0); });
        work.SelectMenuEntry(*FindChipByName("1887ВЕ4У"), log);
        work.CurrentChip().FlashImage[7] = 0x42;
        work.views[1].text[10] = '4';
        start = log.Lines().size();
    }
    void QueueSignature(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2)
    {
        for (std::uint8_t b : {b0, b1, b2})
            link.QueueAnswer({b});
    }
    const ChipEntry* Run()
    {
        const ProgContext ctx{link, log, 0, [](int) {}};
        return Autosearch(ctx, work.chips, [this](SignatureCode c) { work.ShowChip(c); });
    }
    void ExpectPreviousChipKept()
    {
        EXPECT_EQ(work.CurrentChip().name, "1887ВЕ4У");
        EXPECT_EQ(work.CurrentChip().FlashImage[7], 0x42);
        EXPECT_EQ(work.views[1].text[10], '4');
        EXPECT_EQ(work.chipNameText, "1887ВЕ4У");
    }
    int SendsOfASuccessfulSearch()
    {
        RecordingLink probe;
        probe.Open(QStringLiteral("rec"));
        for (std::uint8_t b : Bytes{0x1E, 0x93, 0x07})
            probe.QueueAnswer({b});
        OperationLog quiet;
        ChipState state;
        Autosearch(ProgContext{probe, quiet, 0, [](int) {}}, state, {});
        return static_cast<int>(probe.sent.size());
    }

    // The lines written since the fixture's own selection.
    QStringList Lines() const { return log.Lines().mid(start); }

    RecordingLink link;
    OperationLog log;
    Workspace work;
    qsizetype start = 0;
};

TEST_F(AutosearchTest, FindsTheAvrTwinOfANiietPart)
{
    QueueSignature(0x1E, 0x93, 0x08);
    const ChipEntry* e = Run();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->name, "ATmega8535");
    EXPECT_EQ(work.NiietMode(), 0);
    EXPECT_EQ(work.CurrentChip().eepromSize, 512u);
    EXPECT_EQ(work.CurrentChip().FlashImage[7], 0xFF);
    EXPECT_EQ(work.chipNameText, "ATmega8535");
    EXPECT_EQ(work.views[0].text, "08 93 1E");
    const QStringList lines = Lines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.back(), QStringLiteral("Selected chip is  ATmega8535"));
    EXPECT_TRUE(lines.contains(QStringLiteral("Trying to read signature bytes")));
    EXPECT_TRUE(link.IsOpen());
}

TEST_F(AutosearchTest, SignatureReadsThatSelectNothing)
{
    struct Case {
        std::uint8_t b0, b1, b2;
        const char* line;
    } cases[] = {{0xFF, 0xFF, 0xFF, "Selected chip is  unknown"}, {0x00, 0x00, 0x00, "No chip selected"}};
    for (const Case& c : cases) {
        QueueSignature(c.b0, c.b1, c.b2);
        link.QueueAnswer(EmptySocketFetch);  // nothing answers Programming Enable either
        EXPECT_EQ(Run(), nullptr);
        EXPECT_EQ(Lines().back(), QString::fromUtf8(c.line));
        ExpectPreviousChipKept();
        // The entry succeeded, so the NIIET choice is gone although nothing was selected.
        EXPECT_EQ(work.NiietMode(), 0);
        EXPECT_TRUE(link.IsOpen());
        EXPECT_FALSE(Lines().contains(QStringLiteral("       Finished with fail.")));
    }
}

// A chip without a parallel interface reads like an empty socket there; it answers over SPI.
TEST_F(AutosearchTest, SerialChipFoundAfterTheParallelEntry)
{
    QueueSignature(0xFF, 0xFF, 0xFF);
    const std::size_t parallelSends = [] {
        RecordingLink probe;
        probe.Open(QStringLiteral("rec"));
        for (int i = 0; i < 3; ++i)
            probe.QueueAnswer({0xFF});
        OperationLog quiet;
        int niiet = 0;
        ReadChipCode(ProgContext{probe, quiet, 0, [](int) {}}, niiet);
        return probe.sent.size() - 5;  // less the serial attempt's five packets
    }();
    link.QueueAnswer({0x00, 0x53, 0xAC, 0x00});  // the Programming Enable echo
    for (std::uint8_t b : Bytes{0x1E, 0x93, 0x0B})
        link.QueueAnswer({b, 0x00, 0x30, 0x00});
    const ChipEntry* e = Run();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->name, "ATtiny85");
    const std::vector<Bytes> serial(link.sent.begin() + std::ptrdiff_t(parallelSends), link.sent.end());
    EXPECT_EQ(serial, (std::vector<Bytes>{{0x48}, {0x47}, {0x44, 0x00, 0x00, 0x53, 0xAC}, {0x46}, {0x45},
                                          {0x44, 0x00, 0x00, 0x00, 0x30}, {0x46}, {0x45},
                                          {0x44, 0x00, 0x01, 0x00, 0x30}, {0x46}, {0x45},
                                          {0x44, 0x00, 0x02, 0x00, 0x30}, {0x46}, {0x45}}));
    EXPECT_EQ(Lines().mid(Lines().size() - 5),
              (QStringList{QStringLiteral("Trying to execute Programming Enable"), QStringLiteral("       Finished with success."),
                           QStringLiteral("Trying to read signature bytes"), QStringLiteral("       Finished"),
                           QStringLiteral("Selected chip is  ATtiny85")}));
}

TEST_F(AutosearchTest, SilentSerialSignatureReadEndsWithFail)
{
    QueueSignature(0xFF, 0xFF, 0xFF);
    link.QueueAnswer({0x00, 0x53, 0xAC, 0x00});
    link.QueueAnswer({0x1E, 0x00, 0x30, 0x00});
    EXPECT_EQ(Run(), nullptr);
    EXPECT_EQ(Lines().mid(Lines().size() - 3),
              (QStringList{QStringLiteral("Trying to read signature bytes"), QStringLiteral("Error reading the answer (SPI paket)"),
                           QStringLiteral("       Finished with fail.")}));
    EXPECT_FALSE(link.IsOpen());
    ExpectPreviousChipKept();
}

TEST_F(AutosearchTest, FailedEntryEndsWithFail)
{
    link.FailSendsFrom(0);
    EXPECT_EQ(Run(), nullptr);
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("Trying to enter Programming Mode"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Error executing commands: ")));
    EXPECT_EQ(lines[2], QStringLiteral("       Finished with fail."));
    EXPECT_EQ(work.NiietMode(), 1);
    EXPECT_FALSE(link.IsOpen());
    ExpectPreviousChipKept();
}

TEST_F(AutosearchTest, SilentGatewayDuringTheReadFailsTheExitToo)
{
    link.QueueAnswer({0x1E});
    link.QueueAnswer({});
    EXPECT_EQ(Run(), nullptr);
    const QStringList lines = Lines();
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[lines.size() - 4], QStringLiteral("Error reading the answer (PINB)"));
    EXPECT_EQ(lines[lines.size() - 3], QStringLiteral("Trying to exit Programming Mode"));
    EXPECT_TRUE(lines[lines.size() - 2].startsWith(QStringLiteral("Error executing commands: ")));
    EXPECT_EQ(lines.back(), QStringLiteral("       Finished with fail."));
    ExpectPreviousChipKept();
}

TEST_F(AutosearchTest, FailedExitSelectsNothing)
{
    QueueSignature(0x1E, 0x93, 0x07);
    link.FailSendsFrom(SendsOfASuccessfulSearch() - 1);
    EXPECT_EQ(Run(), nullptr);
    const QStringList lines = Lines();
    EXPECT_EQ(lines.back(), QStringLiteral("       Finished with fail."));
    EXPECT_EQ(lines[lines.size() - 3], QStringLiteral("Trying to exit Programming Mode"));
    ExpectPreviousChipKept();
}

}  // namespace
}  // namespace velmora
