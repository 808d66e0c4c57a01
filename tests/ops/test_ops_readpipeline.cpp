// Reads and verifies whose answers are collected behind the packets that follow them, over the
// real family units and the simulated chip, one chip of every family unit: the byte stream on
// the wire is the one the synchronous reads send, packet by packet, and so are the data, the
// log and the progress. A verify that differs stops at the first difference, drains what is
// still on its way and keeps the link; a gateway that goes silent mid-window is reported as
// the synchronous read reports it.

#include "ops/memorycommands.h"

#include "ops/familychips.h"

#include "chips/selection.h"
#include "log/operationlog.h"
#include "prog/readpipeline.h"
#include "prog/serialprimitives.h"
#include "sim/simlink.h"

#include <gtest/gtest.h>

#include <QTime>

#include <algorithm>
#include <string>
#include <vector>

namespace velmora {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The simulated gateway with every write recorded, and how many answers were still on their
// way when each write went out.
class TappedSimLink : public sim::SimLink {
public:
    using SimLink::SimLink;
    std::vector<Bytes> sent;
    int mostAhead = 0;

protected:
    bool WriteBytes(const std::uint8_t* data, int count) override
    {
        sent.emplace_back(data, data + count);
        mostAhead = std::max(mostAhead, AnswersAhead());
        return SimLink::WriteBytes(data, count);
    }
};

Bytes Pattern(std::size_t size, unsigned seed)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = std::uint8_t((i * 151 + seed) ^ (i >> 7));
    return bytes;
}

// One connection to a fresh simulated chip holding known flash and EEPROM contents.
struct Session {
    Session(const char* chipName, ReadAhead depth, int fetchBytes = 4)
        : entry(*FindChipByName(chipName)), link(*sim::FindSimChip(chipName), /*virtualTime=*/true), ahead(depth)
    {
        sim::SimFaults faults;
        faults.fetchAnswerBytes = fetchBytes;
        link.Gateway().SetFaults(faults);
        link.Open(QStringLiteral("virtual"));
        log.SetClock([] { return QTime(12, 0, 0); });
        OperationLog selection;
        SelectChip(chips, entry.code, selection, {});
        flash = Pattern(entry.flashSize, 11);
        eeprom = Pattern(entry.eepromSize, 5);
        std::copy(flash.begin(), flash.end(), link.Gateway().Chip().Flash().begin());
        std::copy(eeprom.begin(), eeprom.end(), link.Gateway().Chip().Eeprom().begin());
    }
    bool Do(MemoryCommand command)
    {
        ChipJob job(chips);
        ProgContext ctx{link, log, 0, link.Sleeper(), nullptr, ahead};
        const bool ok = RunMemoryCommand(command, ctx, job, [this](int p) { progress.push_back(p); });
        job.ApplyTo(chips);
        return ok;
    }
    std::span<std::uint8_t> Image(int kind) { return {chips.CurrentChip.Image(kind), chips.CurrentChip.ImageSize(kind)}; }
    std::string Log() const { return log.Lines().join(QLatin1Char('\n')).toStdString(); }

    const ChipEntry& entry;
    TappedSimLink link;
    ReadAhead ahead;
    OperationLog log;
    ChipState chips;
    std::vector<int> progress;
    Bytes flash, eeprom;
};

// Every read and verify of both memories, then a verify that differs in the middle.
void ReadEverything(Session& r)
{
    ASSERT_TRUE(r.Do(MemoryCommand::ReadProgram)) << r.Log();
    ASSERT_TRUE(std::equal(r.flash.begin(), r.flash.end(), r.Image(FlashKind).begin()));
    ASSERT_TRUE(r.Do(MemoryCommand::VerifyProgram)) << r.Log();
    if (r.entry.eepromSize > 0) {
        ASSERT_TRUE(r.Do(MemoryCommand::ReadData)) << r.Log();
        ASSERT_TRUE(std::equal(r.eeprom.begin(), r.eeprom.end(), r.Image(EepromKind).begin()));
        ASSERT_TRUE(r.Do(MemoryCommand::VerifyData)) << r.Log();
    }
}

class PipelinedReads : public ::testing::TestWithParam<const char*> {};

TEST_P(PipelinedReads, SameStreamDataLogAndProgressAsSynchronousReads)
{
    Session sync(GetParam(), SynchronousReads);
    ReadEverything(sync);
    Session piped(GetParam(), DefaultReadAhead);
    ReadEverything(piped);

    EXPECT_EQ(sync.link.mostAhead, 0);
    EXPECT_GT(piped.link.mostAhead, 1) << "the answers were collected behind later packets";
    ASSERT_EQ(piped.link.sent.size(), sync.link.sent.size());
    for (std::size_t i = 0; i < sync.link.sent.size(); ++i)
        ASSERT_EQ(piped.link.sent[i], sync.link.sent[i]) << "packet " << i;
    EXPECT_EQ(piped.Log(), sync.Log());
    EXPECT_EQ(piped.progress, sync.progress);
    EXPECT_EQ(piped.link.Counters().answers, sync.link.Counters().answers);
    EXPECT_EQ(piped.link.AnswersAhead(), 0);
}

TEST_P(PipelinedReads, VerifyStopsAtTheFirstDifferenceAndKeepsTheLink)
{
    struct Outcome {
        std::string log;
        std::vector<Bytes> verifySent, readSent;
        std::vector<int> progress;
    };
    auto verify = [](ReadAhead ahead, MemoryCommand command, int kind) {
        Session r(GetParam(), ahead);
        const std::size_t size = r.chips.CurrentChip.ImageSize(kind);
        const Bytes& chip = kind == FlashKind ? r.flash : r.eeprom;
        std::copy(chip.begin(), chip.begin() + std::ptrdiff_t(size), r.Image(kind).begin());
        // Two differences: the first one is reported.
        r.Image(kind)[size / 2 + 1] ^= 0x10;
        r.Image(kind)[size / 2 + 5] ^= 0x10;
        EXPECT_FALSE(r.Do(command));
        EXPECT_TRUE(r.link.IsOpen());
        EXPECT_EQ(r.link.AnswersAhead(), 0) << "the answers after the difference were drained";
        Outcome out{r.Log(), r.link.sent, {}, r.progress};
        // The link is in step: the next read gets the right data.
        r.link.sent.clear();
        EXPECT_TRUE(r.Do(MemoryCommand::ReadProgram)) << r.Log();
        EXPECT_TRUE(std::equal(r.flash.begin(), r.flash.end(), r.Image(FlashKind).begin()));
        out.readSent = r.link.sent;
        return out;
    };
    const struct {
        MemoryCommand command;
        int kind;
    } cases[] = {{MemoryCommand::VerifyProgram, FlashKind}, {MemoryCommand::VerifyData, EepromKind}};
    for (const auto& c : cases) {
        if (c.kind == EepromKind && FindChipByName(GetParam())->eepromSize == 0)
            continue;
        const Outcome sync = verify(SynchronousReads, c.command, c.kind);
        const Outcome piped = verify(DefaultReadAhead, c.command, c.kind);
        EXPECT_EQ(piped.log, sync.log);
        EXPECT_EQ(piped.progress, sync.progress);
        EXPECT_NE(piped.log.find("Finished with fail. Address: 0x"), std::string::npos);
        EXPECT_EQ(piped.readSent, sync.readSent);
        // The synchronous verify's packets come first, then at most a window of reads whose
        // answers were dropped, then a parallel chip's supplies off.
        ASSERT_GE(piped.verifySent.size(), sync.verifySent.size());
        ASSERT_FALSE(sync.verifySent.empty());
        const bool suppliesOff = sync.verifySent.back() == Bytes{0x11, 0x00, 0x0F, 0x32};
        const std::size_t shared = sync.verifySent.size() - (suppliesOff ? 1 : 0);
        for (std::size_t i = 0; i < shared; ++i)
            ASSERT_EQ(piped.verifySent[i], sync.verifySent[i]) << "packet " << i;
        if (suppliesOff) {
            EXPECT_EQ(piped.verifySent.back(), sync.verifySent.back());
        }
        std::size_t extraBytes = 0;
        for (std::size_t i = shared; i < piped.verifySent.size() - (suppliesOff ? 1 : 0); ++i)
            extraBytes += piped.verifySent[i].size();
        EXPECT_LE(extraBytes, std::size_t(DefaultReadAhead.lineBytes + 40));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFamily, PipelinedReads, ::testing::ValuesIn(testing::OneChipPerFamily));

// A gateway whose fetch answers are 8 bytes long: learned at the first fetch, then framed.
TEST(PipelinedFetches, EightByteAnswersAreFramedByTheirLearnedLength)
{
    Session sync("ATtiny85", SynchronousReads, 8);
    ReadEverything(sync);
    Session piped("ATtiny85", DefaultReadAhead, 8);
    ReadEverything(piped);
    EXPECT_EQ(piped.link.FetchFraming().length, 8);
    EXPECT_FALSE(piped.link.FetchFraming().unframed);
    EXPECT_GT(piped.link.mostAhead, 1);
    EXPECT_EQ(piped.link.sent, sync.link.sent);
    EXPECT_EQ(piped.Log(), sync.Log());
}

// A gateway whose fetch answers change length after the first: the reads fall back to one
// answer at a time with one line saying so, and the data stay right.
TEST(PipelinedFetches, AnswersOfChangingLengthFallBackToSynchronousReads)
{
    Session r("ATtiny13", DefaultReadAhead);
    ASSERT_TRUE(r.Do(MemoryCommand::ReadData));  // learns 4
    EXPECT_EQ(r.link.FetchFraming().length, 4);
    r.link.Gateway().Faults().fetchAnswerBytes = 8;
    r.link.mostAhead = 0;
    const qsizetype before = r.log.Lines().size();
    ASSERT_TRUE(r.Do(MemoryCommand::ReadProgram)) << r.Log();
    EXPECT_TRUE(std::equal(r.flash.begin(), r.flash.end(), r.Image(FlashKind).begin()));
    ASSERT_TRUE(r.Do(MemoryCommand::VerifyProgram));
    const QStringList lines = r.log.Lines().mid(before);
    EXPECT_EQ(lines.count(QStringLiteral("The gateway's SPI answers differ in length: serial reads wait for each answer")), 1)
        << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(r.link.mostAhead, 0);
}

// Answers that grow longer in the middle of a window cannot be matched to their reads: the
// read fails with the line saying why and the answer line, and the link is closed.
TEST(PipelinedFetches, AnswersThatOutgrowTheFramingMidReadFailTheRead)
{
    Session r("ATtiny13", DefaultReadAhead);
    OperationLog& log = r.log;
    ProgContext ctx{r.link, log, 0, r.link.Sleeper(), nullptr, DefaultReadAhead};
    ChipTarget target = TargetOf(r.chips.CurrentChip, r.entry);
    const FamilyUnit& unit = UnitOf(r.entry);
    ASSERT_TRUE(unit.EnterProgrammingMode(ctx, target));
    r.link.Gateway().Faults().fetchAnswerBytes = 8;
    ReadPipeline pipeline(ctx);
    ProgContext piped = ctx;
    piped.pipeline = &pipeline;
    for (std::uint32_t pos = 0; pos < 16; ++pos)
        ASSERT_TRUE(unit.ReadFlashByte(piped, target, pos, false));
    EXPECT_FALSE(pipeline.Collect());
    EXPECT_FALSE(r.link.IsOpen());
    const QStringList lines = log.Lines();
    ASSERT_GE(lines.size(), 2);
    SCOPED_TRACE(lines.join(QLatin1Char('\n')).toStdString());
    EXPECT_EQ(lines.mid(lines.size() - 2),
              (QStringList{QStringLiteral("The gateway's SPI answers differ in length: serial reads wait for each answer"),
                           QStringLiteral("Error reading the answer (SPI paket)")}));
}

// A gateway that falls silent in the middle of a window: the read fails as the synchronous
// one does, with the line of the read whose answer is missing, and nothing after it.
TEST(PipelinedReadFailures, SilenceMidWindowIsReportedAsTheSynchronousReadReportsIt)
{
    for (const char* chip : {"ATmega8", "ATtiny85"}) {
        auto read = [chip](ReadAhead ahead) {
            Session r(chip, ahead);
            r.link.Gateway().Faults().silentAfterBytes = 20000;
            EXPECT_FALSE(r.Do(MemoryCommand::ReadProgram));
            EXPECT_FALSE(r.link.IsOpen());
            return r.Log();
        };
        const std::string sync = read(SynchronousReads);
        EXPECT_EQ(read(DefaultReadAhead), sync) << chip;
        EXPECT_NE(sync.find("Error reading the answer"), std::string::npos) << sync;
    }
}

// A byte no packet asked for, arriving with a pin read's answer in the middle of a window, puts
// every answer after it one place out: the read fails instead of keeping shifted bytes, read
// ahead or not.
TEST(PipelinedReadFailures, AStrayByteAmongTheAnswersFailsTheRead)
{
    for (const ReadAhead ahead : {SynchronousReads, DefaultReadAhead}) {
        Session r("ATmega8", ahead);
        r.link.Gateway().Faults().strayAfterBytes = 20000;
        EXPECT_FALSE(r.Do(MemoryCommand::ReadProgram)) << r.Log();
        EXPECT_FALSE(r.link.IsOpen());
        const QStringList lines = r.log.Lines();
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString& line) {
            return line.startsWith(QStringLiteral("Error reading the answer (PINB): ")) && line.contains(QStringLiteral("came"));
        })) << r.Log();
    }
}

}  // namespace
}  // namespace velmora
