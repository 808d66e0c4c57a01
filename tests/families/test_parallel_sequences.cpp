// The parallel units byte for byte: one table per trait value (entry form, erase pulse,
// address rules, latch and commit forms, EEPROM page forms, lock, fuse and calibration
// forms), and the failure rules over every operation of every unit.

#include "parallelsequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

namespace velmora::testing {
namespace {

using Op = ChipOperation;
using StepList = std::vector<std::string>;

const ChipEntry& FirstChipOf(FamilyId id)
{
    for (const ChipEntry& e : ChipCatalogue()) {
        if (e.family == id)
            return e;
    }
    throw std::invalid_argument("no chip");
}

const FamilyUnit& UnitFor(const ChipEntry& e) { return ParallelUnitOf(e.family); }

bool IsLoad(const std::string& step)
{
    const std::string word = step.substr(0, step.find(' '));
    return word == "cmd" || word == "al" || word == "ah" || word == "dl" || word == "dh" || word == "ae";
}

// The number of sends before step k of steps (a byte load is three sends).
int SendIndexOfStep(const StepList& steps, std::size_t k)
{
    int sends = 0;
    for (std::size_t j = 0; j < k; ++j)
        sends += IsLoad(steps[j]) ? 3 : 1;
    return sends;
}

QString LastLine(const OperationLog& log)
{
    const QStringList lines = log.Lines();
    return lines.isEmpty() ? QString() : lines.last();
}

QString CommandError(std::string_view text)
{
    return QStringLiteral("Error executing commands: ") + QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Runs op once on a fresh recording link; failAtStep >= 0 makes the send of that step fail.
struct OpRun {
    OpRun(const ChipEntry& chip, std::function<bool(const FamilyUnit&, const ProgContext&, ChipTarget&)> op,
          int failAtSend = -1)
        : run(chip)
    {
        if (failAtSend >= 0)
            run.link.FailSendsFrom(failAtSend);
        ChipTarget t = run.Target();
        result = op(UnitFor(chip), run.Context(), t);
        steps = Steps(run.link.sent);
    }
    SequenceRun run;
    bool result = false;
    StepList steps;
};

// The last log line of op run with sends failing from failAtSend on.
QString FailedLine(const ChipEntry& chip, std::function<bool(const FamilyUnit&, const ProgContext&, ChipTarget&)> op,
                   int failAtSend)
{
    OpRun run(chip, std::move(op), failAtSend);
    return LastLine(run.run.log);
}

// ---------------------------------------------------------------- entry

struct EntryCase {
    FamilyId unit;
    EntryPower power;
    EntryTexts texts;
};

const EntryCase EntryCases[] = {
    {FamilyId::Atmega8, EntryPower::Pc, NamedEntryTexts},
    {FamilyId::Atmega8515, EntryPower::Pc, NamedEntryTexts},
    {FamilyId::Atmega16, EntryPower::Pc, NamedEntryTexts},
    {FamilyId::Atmega162, EntryPower::Pc, NamedEntryTexts},
    {FamilyId::Atmega164, EntryPower::Pc, NamedEntryTexts},
    {FamilyId::Atmega169, EntryPower::Pc, NamedEntryTexts},
    {FamilyId::Atmega64, EntryPower::Pc, NamedEntryTexts},
    {FamilyId::Atmega640, EntryPower::Pc, NamedEntryTexts},
    {FamilyId::Attiny261, EntryPower::Pc, NamedEntryTexts},
    {FamilyId::Attiny2313, EntryPower::Gateway, NamedEntryTexts},
    {FamilyId::Atmega603, EntryPower::Gateway, NamedEntryTexts},
    {FamilyId::Atmega48, EntryPower::Gateway, NamedEntryTexts},
    {FamilyId::Atmega161, EntryPower::Gateway, NamedEntryTexts},
    {FamilyId::Atmega163, EntryPower::Gateway, NamedEntryTexts},
    {FamilyId::Atmega323, EntryPower::Gateway, NamedEntryTexts},
    {FamilyId::At90s1200, EntryPower::Gateway, At90s1200EntryTexts},
    {FamilyId::At90s2313, EntryPower::Gateway, CodeEntryTexts},
    {FamilyId::At90s2333, EntryPower::Gateway, CodeEntryTexts},
    {FamilyId::At90s4414, EntryPower::Gateway, CodeEntryTexts},
    {FamilyId::At90s4434, EntryPower::Gateway, CodeEntryTexts},
    {FamilyId::At90can32, EntryPower::Gateway, CodeEntryTexts},
};

TEST(ParallelEntry, EveryUnitPowersUpInItsFormAndNamesEachFailedWrite)
{
    auto enter = [](const FamilyUnit& u, const ProgContext& c, ChipTarget& t) { return u.EnterProgrammingMode(c, t); };
    for (const EntryCase& c : EntryCases) {
        const ChipEntry& chip = FirstChipOf(c.unit);
        SCOPED_TRACE(std::string(chip.name));
        std::vector<std::string_view> texts{c.texts.releaseBus, c.texts.portCIdle, c.texts.portDLow};
        StepList steps{"0B 00 0D 00", "0F 32 11 00", "13 FC 15 00"};
        if (c.power == EntryPower::Pc) {
            steps.push_back("0F 36");
            texts.push_back(" enable +5V");
            for (int i = 0; i < 6; ++i) {
                steps.push_back("1D 02");
                texts.push_back(" GiveXTALPosPulse");
            }
            steps.push_back("0F 3E 11 08");
            texts.push_back(" enable +12V");
        } else {
            steps.push_back("1D 00");
            texts.push_back(c.texts.powerUp);
        }
        steps.push_back("15 14");
        texts.push_back(c.texts.work);

        OpRun ok(chip, enter);
        EXPECT_TRUE(ok.result);
        EXPECT_EQ(ok.steps, steps);
        EXPECT_EQ(ok.run.sleeps, (std::vector<int>{1, 3, 1, 3}));
        EXPECT_EQ(ok.run.log.Lines(), Lines({"Trying to enter Programming Mode", "       Finished with success."}));
        for (std::size_t k = 0; k < texts.size(); ++k) {
            OpRun failed(chip, enter, int(k));
            EXPECT_FALSE(failed.result);
            EXPECT_EQ(failed.run.log.Lines(),
                      (QStringList{QStringLiteral("Trying to enter Programming Mode"), CommandError(texts[k])}))
                << "send " << k;
            EXPECT_EQ(failed.run.link.closes, 1);
        }
    }
}

// ---------------------------------------------------------------- chip erase

TEST(ParallelErase, LongPulseWithoutPollOnTheOlderPartsWrPulseAndPollElsewhere)
{
    const std::set<FamilyId> longPulse{FamilyId::Atmega603, FamilyId::At90s1200, FamilyId::At90s2313,
                                       FamilyId::At90s4414, FamilyId::At90s4434, FamilyId::At90s2333};
    auto erase = [](const FamilyUnit& u, const ProgContext& c, ChipTarget& t) { return u.ChipErase(c, t); };
    for (const EntryCase& c : EntryCases) {
        const ChipEntry& chip = FirstChipOf(c.unit);
        SCOPED_TRACE(std::string(chip.name));
        const bool isLong = longPulse.count(c.unit) > 0;
        OpRun ok(chip, erase);
        EXPECT_TRUE(ok.result);
        // The long pulse is followed by no ready poll: an answered PINC read checks the link.
        EXPECT_EQ(ok.steps, (isLong ? StepList{"cmd 80", "1D 08", "18"} : StepList{"cmd 80", "1D 03", "18"}));
        EXPECT_EQ(ok.run.sleeps, std::vector<int>{3});
        EXPECT_EQ(ok.run.log.Lines(), Lines({"Trying to erase the chip", "       Finished with success."}));
        OpRun failed(chip, erase, 3);
        EXPECT_EQ(LastLine(failed.run.log), CommandError(isLong ? " GiveWR100NegPulse" : " GiveWRNegPulse"));
    }
}

// ---------------------------------------------------------------- flash

struct AddressCase {
    const char* chip;
    std::uint32_t pos;
    StepList loads;  // before the two reads
};

const AddressCase FlashReadCases[] = {
    {"ATmega8", 0, {"cmd 02", "ah 00", "al 00"}},
    {"ATmega8", 2, {"al 01"}},
    {"ATmega8", 512, {"ah 01", "al 00"}},
    // The address high byte on every call.
    {"ATtiny2313", 2, {"ah 00", "al 01"}},
    {"AT90CAN32", 2, {"ah 00", "al 01"}},
    {"ATmega603", 0x202, {"ah 01", "al 01"}},
    {"ATmega48", 2, {"ah 00", "al 01"}},
    {"AT90S1200", 2, {"ah 00", "al 01"}},
    {"AT90S8535", 2, {"ah 00", "al 01"}},
    // The third address byte of the 256 KiB parts, at the start of each 128 KiB half.
    {"ATmega2560", 0, {"cmd 02", "ae 00", "ah 00", "al 00"}},
    {"ATmega2561", 0x20000, {"ae 01", "ah 00", "al 00"}},
    {"ATmega2560", 0x20200, {"ah 01", "al 00"}},
    {"ATmega1281", 0, {"cmd 02", "ah 00", "al 00"}},
    {"ATmega640", 0, {"cmd 02", "ah 00", "al 00"}},
};

TEST(ParallelFlash, ReadFlashWordLoadsAddressBytesByTheUnitsRule)
{
    for (const AddressCase& c : FlashReadCases) {
        SCOPED_TRACE(std::string(c.chip) + " pos " + std::to_string(c.pos));
        OpRun run(Chip(c.chip), [&](const FamilyUnit& u, const ProgContext& ctx, ChipTarget& t) {
            return u.ReadFlashWord(ctx, t, c.pos, false);
        });
        StepList expected = c.loads;
        expected.insert(expected.end(), {"0B 00 15 10 17", "11 0A 17 15 14"});
        EXPECT_TRUE(run.result);
        EXPECT_EQ(run.steps, expected);
        EXPECT_TRUE(run.run.log.Lines().isEmpty());
        EXPECT_TRUE(run.run.sleeps.empty());
    }
}

TEST(ParallelFlash, ReadStoresOrVerifiesAndStopsAtTheFirstDifference)
{
    SequenceRun run(Chip("ATmega8"));
    run.link.pinB = {0x12, 0x34, 0x12, 0x34, 0x99};
    ChipTarget t = run.Target();
    const FamilyUnit& unit = units::Atmega8();
    ASSERT_TRUE(unit.ReadFlashWord(run.Context(), t, 0, false));
    EXPECT_EQ(run.buffers.flash[0], 0x12);
    EXPECT_EQ(run.buffers.flash[1], 0x34);
    run.TakeSteps();
    EXPECT_TRUE(unit.ReadFlashWord(run.Context(), t, 0, true));
    run.TakeSteps();
    EXPECT_FALSE(unit.ReadFlashWord(run.Context(), t, 0, true));
    EXPECT_EQ(run.TakeSteps(), (StepList{"cmd 02", "ah 00", "al 00", "0B 00 15 10 17"})) << "no high byte read";
    EXPECT_EQ(run.buffers.flash[0], 0x12) << "the image is unchanged";
    EXPECT_TRUE(run.log.Lines().isEmpty());
    EXPECT_TRUE(run.link.IsOpen());
}

struct LatchCase {
    const char* chip;
    StepList steps;
};

const LatchCase LatchCases[] = {
    {"ATmega8", {"cmd 10", "al 00", "dl 5A", "dh A5", "1D 01"}},
    {"ATmega640", {"cmd 10", "al 00", "dl 5A", "dh A5", "1D 01"}},
    {"ATmega161", {"cmd 10", "al 00", "dl 5A", "1D 01", "dh A5", "1D 01"}},
    {"ATmega163", {"cmd 10", "al 00", "dl 5A", "1D 01", "dh A5", "1D 01"}},
    {"ATmega103", {"cmd 10", "al 00", "dl 5A", "1D 01", "dh A5", "1D 01"}},
    {"ATtiny2313", {"cmd 10", "al 00", "dl 5A", "dh A5"}},
    {"ATtiny861", {"cmd 10", "al 00", "dl 5A", "dh A5"}},
};

TEST(ParallelFlash, LoadFlashWordLatchesByTheUnitsForm)
{
    for (const LatchCase& c : LatchCases) {
        SCOPED_TRACE(c.chip);
        auto load = [](const FamilyUnit& u, const ProgContext& ctx, ChipTarget& t) {
            t.flash[0] = 0x5A;
            t.flash[1] = 0xA5;
            return u.LoadFlashWord(ctx, t, 0);
        };
        OpRun run(Chip(c.chip), load);
        EXPECT_TRUE(run.result);
        EXPECT_EQ(run.steps, c.steps);
        EXPECT_EQ(run.run.sleeps, std::vector<int>{3});
        for (std::size_t k = 0; k < c.steps.size(); ++k) {
            if (c.steps[k] == "1D 01") {
                OpRun failed(Chip(c.chip), load, SendIndexOfStep(c.steps, k));
                EXPECT_EQ(LastLine(failed.run.log), CommandError(" GivePagelPosPulse"));
            }
        }
    }
}

struct CommitCase {
    const char* chip;
    std::uint32_t pos;
    StepList steps;
    const char* commitText;
};

const CommitCase CommitCases[] = {
    {"ATmega8", 0x3E, {"ah 00", "11 08 1D 03", "18"}, " GiveWRNegPulse"},
    {"ATmega8", 0x23E, {"ah 01", "11 08 1D 03", "18"}, " GiveWRNegPulse"},
    {"ATmega8", 8190, {"ah 0F", "11 08 1D 03", "18", "cmd 00"}, " GiveWRNegPulse"},
    {"ATmega161", 0x7E, {"ah 00", "11 08 1D 03", "18"}, " GiveWRNegPulse"},
    {"ATtiny261", 0x1E, {"ah 00", "11 08 1D 03", "18"}, " set BS1=0, GiveWRNegPulse"},
    {"ATtiny2313", 0x1E, {"ah 00", "11 08 1D 03", "18"}, " set BS1=0, GiveWRNegPulse"},
    {"AT90CAN32", 0xFE, {"ah 00", "1D 03", "18"}, " GiveWRNegPulse"},
    {"ATmega603", 0xFE, {"ah 00", "1D 03", "18"}, " GiveWRNegPulse"},
    {"ATmega164", 0x7E, {"ah 00", "11 08 15 14 1D 03", "18"}, " GiveWRNegPulse"},
    {"ATmega1280", 0x1FFFE, {"ah FF", "11 08 15 14 1D 03", "18", "cmd 00"}, " GiveWRNegPulse"},
    {"ATmega2560", 0xFE, {"ah 00", "ae 00", "11 08 15 14 1D 03", "18"}, " GiveWRNegPulse"},
    {"ATmega2561", 0x200FE, {"ah 00", "ae 01", "11 08 15 14 1D 03", "18"}, " GiveWRNegPulse"},
    {"ATmega2561", 0x3FFFE, {"ah FF", "ae 01", "11 08 15 14 1D 03", "18", "cmd 00"}, " GiveWRNegPulse"},
};

TEST(ParallelFlash, WriteFlashPageCommitsByTheUnitsForm)
{
    for (const CommitCase& c : CommitCases) {
        SCOPED_TRACE(std::string(c.chip) + " pos " + std::to_string(c.pos));
        auto commit = [&](const FamilyUnit& u, const ProgContext& ctx, ChipTarget& t) {
            return u.WriteFlashPage(ctx, t, c.pos);
        };
        OpRun run(Chip(c.chip), commit);
        EXPECT_TRUE(run.result);
        EXPECT_EQ(run.steps, c.steps);
        EXPECT_EQ(run.run.sleeps, std::vector<int>{3});
        const auto commitStep = std::find_if(c.steps.begin(), c.steps.end(), [](const std::string& s) {
            return s.size() >= 5 && s.substr(s.size() - 5) == "1D 03";
        });
        OpRun failed(Chip(c.chip), commit, SendIndexOfStep(c.steps, std::size_t(commitStep - c.steps.begin())));
        EXPECT_EQ(LastLine(failed.run.log), CommandError(c.commitText));
    }
}

TEST(ParallelFlash, WriteFlashWordProgramsEachByteWithItsOwnPulse)
{
    struct Case {
        const char* chip;
        const char* lowText;
    };
    for (const Case& c : {Case{"AT90S1200", " GiveWRNegPulse"}, Case{"AT90S8515", " GiveWRNegPulse"},
                          Case{"AT90S4433", " 0x1D 0x03"}, Case{"AT90S4434", " 0x1D 0x03"}}) {
        SCOPED_TRACE(c.chip);
        auto write = [](std::uint32_t pos) {
            return [pos](const FamilyUnit& u, const ProgContext& ctx, ChipTarget& t) {
                t.flash[pos] = 0x5A;
                t.flash[pos + 1] = 0xA5;
                return u.WriteFlashWord(ctx, t, pos);
            };
        };
        const StepList first{"cmd 10", "ah 00", "al 00", "dl 5A", "1D 03", "18", "dh A5", "1D 03", "18"};
        OpRun run(Chip(c.chip), write(0));
        EXPECT_TRUE(run.result);
        EXPECT_EQ(run.steps, first);
        EXPECT_EQ(run.run.sleeps, (std::vector<int>{3, 3}));
        EXPECT_EQ(OpRun(Chip(c.chip), write(2)).steps,
                  (StepList{"al 01", "dl 5A", "1D 03", "18", "dh A5", "1D 03", "18"}));
        EXPECT_EQ(FailedLine(Chip(c.chip), write(0), SendIndexOfStep(first, 4)), CommandError(c.lowText));
        EXPECT_EQ(FailedLine(Chip(c.chip), write(0), SendIndexOfStep(first, 7)),
                  CommandError(" GiveWRNegPulse"));
    }
}

// ---------------------------------------------------------------- EEPROM

TEST(ParallelEeprom, ReadLoadsTheAddressHighByteWhereTheChipHasOne)
{
    struct Case {
        const char* chip;
        bool high;
    };
    for (const Case& c : {Case{"ATmega8", true}, Case{"AT90S8515", true}, Case{"AT90S4414", false},
                          Case{"AT90S8535", true}, Case{"AT90S4434", false}, Case{"AT90S1200", false},
                          Case{"AT90S2313", false}, Case{"AT90S4433", false}, Case{"ATmega103", true}}) {
        SCOPED_TRACE(c.chip);
        OpRun run(Chip(c.chip), [](const FamilyUnit& u, const ProgContext& ctx, ChipTarget& t) {
            return u.ReadEepromByte(ctx, t, 1, false);
        });
        EXPECT_EQ(run.steps, (c.high ? StepList{"ah 00", "al 01", "0B 00 15 10 17 15 14"}
                                     : StepList{"al 01", "0B 00 15 10 17 15 14"}));
        EXPECT_EQ(run.run.buffers.eeprom[1], 0xA5);
    }
}

// Each position's steps joined by "|", for pos 0, 1, 3, 4, 7, 8 (byte value = pos).
struct EepromWriteCase {
    const char* chip;
    std::array<const char*, 6> steps;
};
constexpr std::uint32_t EepromPositions[] = {0, 1, 3, 4, 7, 8};

const EepromWriteCase EepromWriteCases[] = {
    // Pages of 4, address high byte on the first byte of each page.
    {"ATmega8",
     {"cmd 11|ah 00|al 00|dl 00|1D 01", "al 01|dl 01|1D 01", "al 03|dl 03|1D 01|1D 03|18", "ah 00|al 04|dl 04|1D 01",
      "al 07|dl 07|1D 01|1D 03|18", "ah 00|al 08|dl 08|1D 01"}},
    {"ATmega168",
     {"cmd 11|ah 00|al 00|dl 00|1D 01", "al 01|dl 01|1D 01", "al 03|dl 03|1D 01|1D 03|18", "ah 00|al 04|dl 04|1D 01",
      "al 07|dl 07|1D 01|1D 03|18", "ah 00|al 08|dl 08|1D 01"}},
    // Pages of 8.
    {"ATmega128",
     {"cmd 11|ah 00|al 00|dl 00|1D 01", "al 01|dl 01|1D 01", "al 03|dl 03|1D 01", "al 04|dl 04|1D 01",
      "al 07|dl 07|1D 01|1D 03|18", "ah 00|al 08|dl 08|1D 01"}},
    {"ATmega2560",
     {"cmd 11|ah 00|al 00|dl 00|1D 01", "al 01|dl 01|1D 01", "al 03|dl 03|1D 01", "al 04|dl 04|1D 01",
      "al 07|dl 07|1D 01|1D 03|18", "ah 00|al 08|dl 08|1D 01"}},
    {"AT90CAN64",
     {"cmd 11|ah 00|al 00|dl 00|1D 01", "al 01|dl 01|1D 01", "al 03|dl 03|1D 01", "al 04|dl 04|1D 01",
      "al 07|dl 07|1D 01|1D 03|18", "ah 00|al 08|dl 08|1D 01"}},
    // Address high byte when the low byte wraps; pages of 4, or 8 on the ATmega644.
    {"ATmega324",
     {"cmd 11|ah 00|al 00|dl 00|1D 01", "al 01|dl 01|1D 01", "al 03|dl 03|1D 01|1D 03|18", "al 04|dl 04|1D 01",
      "al 07|dl 07|1D 01|1D 03|18", "al 08|dl 08|1D 01"}},
    {"ATmega644",
     {"cmd 11|ah 00|al 00|dl 00|1D 01", "al 01|dl 01|1D 01", "al 03|dl 03|1D 01", "al 04|dl 04|1D 01",
      "al 07|dl 07|1D 01|1D 03|18", "al 08|dl 08|1D 01"}},
    // PAGEL on BS1: raised after each byte, lowered before the page's WR pulse.
    {"ATtiny461",
     {"cmd 11|ah 00|al 00|dl 00|11 0A", "al 01|dl 01|11 0A", "al 03|dl 03|11 0A|11 08|1D 03|18",
      "ah 00|al 04|dl 04|11 0A", "al 07|dl 07|11 0A|11 08|1D 03|18", "ah 00|al 08|dl 08|11 0A"}},
    {"ATtiny2313",
     {"cmd 11|ah 00|al 00|dl 00|11 0A", "al 01|dl 01|11 0A", "al 03|dl 03|11 0A|11 08|1D 03|18",
      "ah 00|al 04|dl 04|11 0A", "al 07|dl 07|11 0A|11 08|1D 03|18", "ah 00|al 08|dl 08|11 0A"}},
    // Byte by byte.
    {"ATmega603",
     {"cmd 11|ah 00|al 00|dl 00|1D 03|18", "ah 00|al 01|dl 01|1D 03|18", "ah 00|al 03|dl 03|1D 03|18",
      "ah 00|al 04|dl 04|1D 03|18", "ah 00|al 07|dl 07|1D 03|18", "ah 00|al 08|dl 08|1D 03|18"}},
    {"ATmega161",
     {"cmd 11|ah 00|al 00|dl 00|1D 03|18", "al 01|dl 01|1D 03|18", "al 03|dl 03|1D 03|18", "al 04|dl 04|1D 03|18",
      "al 07|dl 07|1D 03|18", "al 08|dl 08|1D 03|18"}},
    {"ATmega323",
     {"cmd 11|ah 00|al 00|dl 00|1D 03|18", "al 01|dl 01|1D 03|18", "al 03|dl 03|1D 03|18", "al 04|dl 04|1D 03|18",
      "al 07|dl 07|1D 03|18", "al 08|dl 08|1D 03|18"}},
    {"AT90S8515",
     {"cmd 11|ah 00|al 00|dl 00|1D 03|18", "ah 00|al 01|dl 01|1D 03|18", "ah 00|al 03|dl 03|1D 03|18",
      "ah 00|al 04|dl 04|1D 03|18", "ah 00|al 07|dl 07|1D 03|18", "ah 00|al 08|dl 08|1D 03|18"}},
    {"AT90S4414",
     {"cmd 11|al 00|dl 00|1D 03|18", "al 01|dl 01|1D 03|18", "al 03|dl 03|1D 03|18", "al 04|dl 04|1D 03|18",
      "al 07|dl 07|1D 03|18", "al 08|dl 08|1D 03|18"}},
    {"AT90S2333",
     {"cmd 11|al 00|dl 00|1D 03|18", "al 01|dl 01|1D 03|18", "al 03|dl 03|1D 03|18", "al 04|dl 04|1D 03|18",
      "al 07|dl 07|1D 03|18", "al 08|dl 08|1D 03|18"}},
};

std::string Joined(const StepList& steps)
{
    std::string s;
    for (const std::string& step : steps)
        s += (s.empty() ? "" : "|") + step;
    return s;
}

TEST(ParallelEeprom, WriteEepromByteLatchesAndProgramsByTheUnitsPageForm)
{
    for (const EepromWriteCase& c : EepromWriteCases) {
        SequenceRun run(Chip(c.chip));
        for (std::uint32_t pos = 0; pos < 9; ++pos)
            run.buffers.eeprom[pos] = std::uint8_t(pos);
        ChipTarget t = run.Target();
        for (std::size_t i = 0; i < std::size(EepromPositions); ++i) {
            const std::uint32_t pos = EepromPositions[i];
            ASSERT_TRUE(UnitFor(run.buffers.entry).WriteEepromByte(run.Context(), t, pos)) << c.chip << " pos " << pos;
            EXPECT_EQ(Joined(run.TakeSteps()), c.steps[i]) << c.chip << " pos " << pos;
        }
        EXPECT_TRUE(run.log.Lines().isEmpty()) << c.chip;
    }
}

TEST(ParallelEeprom, SharedBs1LatchWaitsAfterRaisingBs1AndNamesItsSteps)
{
    const StepList steps{"al 03", "dl FF", "11 0A", "11 08", "1D 03", "18"};
    const char* texts[] = {" set BS1=1", " set BS1=0", " GiveWRNegPulse"};
    for (const char* chip : {"ATtiny261", "ATtiny2313"}) {
        auto write = [](const FamilyUnit& u, const ProgContext& ctx, ChipTarget& t) { return u.WriteEepromByte(ctx, t, 3); };
        OpRun ok(Chip(chip), write);
        EXPECT_EQ(ok.steps, steps) << chip;
        EXPECT_EQ(ok.run.sleeps, (std::vector<int>{3, 3})) << chip;
        for (std::size_t k = 0; k < 3; ++k)
            EXPECT_EQ(FailedLine(Chip(chip), write, SendIndexOfStep(steps, 2 + k)), CommandError(texts[k]))
                << chip;
    }
}

// ---------------------------------------------------------------- lock and fuses

struct SlotCase {
    const char* chip;
    Op op;
    StepList steps;
    std::vector<std::string_view> texts;  // failure texts of the steps that are not byte loads
    const char* trying;
    std::size_t slot;          // the slot read into (reads)
    std::uint8_t answer;       // the byte the chip gives (reads)
    std::uint8_t stored;       // what the slot holds afterwards (reads)
};

const SlotCase SlotCases[] = {
    {"ATmega8", Op::ReadLockBits, {"cmd 04", "11 0A 0B 00 15 10 17 15 14"}, {" set BS2=0, BS1=1"}, "Trying to read lock-bits", 2, 0x3C, 0x3C},
    {"ATmega48", Op::ReadLockBits, {"cmd 04", "11 0A 0B 00 15 10 17 15 14"}, {" set BS2=0, BS1=1"}, "Trying to read lock-bits", 3, 0x3C, 0x3C},
    {"ATmega161", Op::ReadLockBits, {"cmd 04", "11 0A 0B 00 15 10 17 15 14"}, {" set BS2=0, BS1=1"}, "Trying to read lock-bits", 1, 0x3C, 0x3C},
    {"AT90CAN128", Op::ReadLockBits, {"cmd 04", "11 0A 0B 00 15 10 17 15 14"}, {" read Lock-byte"}, "Trying to read lock-bits", 3, 0x3C, 0x3C},
    {"ATtiny261", Op::ReadLockBits, {"cmd 04", "11 0A 0B 00 15 10 17 15 14"}, {" set BS2(XA1)=0, BS1=1"}, "Trying to read lock-bits", 3, 0x3C, 0x3C},
    {"ATmega603", Op::ReadLockBits, {"cmd 04", "11 0A 0B 00 15 10 17 15 14"}, {" read Lock byte"}, "Trying to read lock-bits", 1, 0x00, 0xF9},
    {"ATmega8", Op::ReadFuseLow, {"cmd 04", "11 08 0B 00 15 10 17 15 14"}, {" read Low Fuse byte"}, "Trying to read fuse low byte", 0, 0x42, 0x42},
    {"ATmega103", Op::ReadFuseLow, {"cmd 04", "11 08 0B 00 15 10 17 15 14"}, {" read Fuse byte"}, "Trying to read fuse low byte", 0, 0x42, 0x42},
    {"ATmega8", Op::ReadFuseHigh, {"cmd 04", "11 0A 0B 00 15 90 17 15 14"}, {" read Fuse High byte"}, "Trying to read fuse high byte", 1, 0x42, 0x42},
    {"ATtiny261", Op::ReadFuseHigh, {"cmd 04", "11 1A 0B 00 15 10 17 15 14"}, {" read Fuse High byte"}, "Trying to read fuse high byte", 1, 0x42, 0x42},
    {"ATmega48", Op::ReadFuseExtended, {"cmd 04", "11 08 0B 00 15 90 17 15 14"}, {" read Fuse Extended byte"}, "Trying to read fuse extended byte", 2, 0x42, 0x42},
    {"ATmega2560", Op::ReadFuseExtended, {"cmd 04", "11 08 0B 00 15 90 17 15 14"}, {" read Fuse Extended byte"}, "Trying to read fuse extended byte", 2, 0x42, 0x42},
    {"ATtiny861", Op::ReadFuseExtended, {"cmd 04", "11 18 0B 00 15 10 17 15 14"}, {" read Fuse Extended byte"}, "Trying to read fuse extended byte", 2, 0x42, 0x42},
    // Writes send slot n as data: slots hold 0x10 + n.
    {"ATmega8", Op::WriteLockBits, {"cmd 20", "dl 12", "1D 03", "18"}, {" GiveWRNegPulse"}, "Trying to write lock-bits", 0, 0, 0},
    {"ATmega64", Op::WriteLockBits, {"cmd 20", "dl 13", "1D 03", "18"}, {" GiveWRNegPulse"}, "Trying to write lock-bits", 0, 0, 0},
    {"AT90S1200", Op::WriteLockBits, {"cmd 20", "dl 11", "1D 03", "18"}, {" GiveWRNegPulse"}, "Trying to write lock-bits", 0, 0, 0},
    {"ATmega8", Op::WriteFuseLow, {"cmd 40", "dl 10", "1D 03", "18"}, {" GiveWRNegPulse"}, "Trying to write fuse low byte", 0, 0, 0},
    {"ATmega603", Op::WriteFuseLow, {"cmd 40", "dl 10", "1D 09", "18"}, {" GiveWR15NegPulse"}, "Trying to write fuse low byte", 0, 0, 0},
    {"ATmega8", Op::WriteFuseHigh, {"cmd 40", "dl 11", "11 0A", "1D 03", "18"}, {" set BS1=1, BS2=0", " GiveWRNegPulse"}, "Trying to write fuse high byte", 0, 0, 0},
    {"ATtiny261", Op::WriteFuseHigh, {"cmd 40", "dl 11", "11 0A", "1D 03", "18"}, {" set BS1=1, BS2(XA1)=0", " GiveWRNegPulse"}, "Trying to write fuse high byte", 0, 0, 0},
    {"ATtiny2313", Op::WriteFuseHigh, {"cmd 40", "dl 11", "11 0A", "1D 03", "18"}, {" set BS1=1, BS2(XA1)=0", " 0x1D 0x03"}, "Trying to write fuse high byte", 0, 0, 0},
    {"ATmega48", Op::WriteFuseExtended, {"cmd 40", "dl 12", "15 94", "1D 03", "18"}, {" set BS2=1, BS1=0", " GiveWRNegPulse"}, "Trying to write fuse extended byte", 0, 0, 0},
    {"ATmega162", Op::WriteFuseExtended, {"cmd 40", "dl 12", "15 94", "1D 03", "18"}, {" set BS2=1", " GiveWRNegPulse"}, "Trying to write fuse extended byte", 0, 0, 0},
    {"ATmega1281", Op::WriteFuseExtended, {"cmd 40", "dl 12", "15 94", "1D 03", "18"}, {" set BS2=1", " GiveWRNegPulse"}, "Trying to write fuse extended byte", 0, 0, 0},
    {"AT90CAN32", Op::WriteFuseExtended, {"cmd 40", "dl 12", "15 94", "1D 03", "18"}, {" set BS1=0, BS2=1", " GiveWRNegPulse"}, "Trying to write fuse extended byte", 0, 0, 0},
    {"ATtiny2313", Op::WriteFuseExtended, {"cmd 40", "dl 12", "11 18", "1D 03", "18"}, {" set BS1=0, BS2(XA1)=1", " GiveWRNegPulse"}, "Trying to write fuse extended byte", 0, 0, 0},
    {"ATtiny261", Op::WriteFuseExtended, {"cmd 40", "dl 12", "11 18", "1D 03", "18"}, {" set BS2(XA1)=1, BS1=0", " GiveWRNegPulse"}, "Trying to write fuse extended byte", 0, 0, 0},
    {"AT90S2313", Op::WriteFuseByte, {"cmd 40", "dl 10", "1D 09", "18"}, {" GiveWR15NegPulse"}, "Trying to write fuse byte", 0, 0, 0},
    // The AT90S2333's fuse write has no start line.
    {"AT90S4433", Op::WriteFuseByte, {"cmd 40", "dl 10", "1D 09", "18"}, {" GiveWR15NegPulse"}, nullptr, 0, 0, 0},
};

TEST(ParallelLockFuse, EachByteIsReadOrWrittenByItsUnitsPacketsTextsAndSlot)
{
    for (const SlotCase& c : SlotCases) {
        const ChipEntry& chip = Chip(c.chip);
        SCOPED_TRACE(std::string(c.chip) + " op " + std::to_string(int(c.op)));
        ASSERT_TRUE(UnitFor(chip).Has(c.op));
        auto op = [&](const FamilyUnit& u, const ProgContext& ctx, ChipTarget& t) {
            for (std::size_t i = 0; i < 8; ++i)
                t.fuses[i] = std::uint8_t(0x10 + i);
            return u.Run(c.op, ctx, t);
        };
        const bool isRead = c.steps.back().find("17") != std::string::npos;
        OpRun run(chip, [&](const FamilyUnit& u, const ProgContext& ctx, ChipTarget& t) {
            static_cast<AnsweringLink&>(ctx.link).defaultPinB = c.answer;
            return op(u, ctx, t);
        });
        EXPECT_TRUE(run.result);
        EXPECT_EQ(run.steps, c.steps);
        QStringList lines;
        if (c.trying)
            lines << QString::fromUtf8(c.trying);
        lines << QStringLiteral("       Finished with success.");
        EXPECT_EQ(run.run.log.Lines(), lines);
        if (isRead) {
            for (std::size_t i = 0; i < 8; ++i)
                EXPECT_EQ(run.run.buffers.fuses[i], i == c.slot ? c.stored : std::uint8_t(0x10 + i)) << "slot " << i;
        } else {
            EXPECT_EQ(run.run.sleeps, std::vector<int>{3});
        }
        std::size_t text = 0;
        for (std::size_t k = 0; k < c.steps.size() && text < c.texts.size(); ++k) {
            if (c.steps[k] == "18" || c.steps[k].rfind("cmd", 0) == 0 || c.steps[k].rfind("dl", 0) == 0)
                continue;
            OpRun failed(chip, op, SendIndexOfStep(c.steps, k));
            EXPECT_FALSE(failed.result);
            EXPECT_EQ(LastLine(failed.run.log), CommandError(c.texts[text++])) << "step " << k;
        }
        EXPECT_EQ(text, c.texts.size());
    }
}

struct FuseLockCase {
    const char* chip;
    std::vector<std::uint8_t> answers;
    StepList steps;
    std::vector<std::string_view> texts;
    const char* trying;
    std::vector<std::uint8_t> fuseBytes;  // slots 0.. afterwards
};

const FuseLockCase FuseLockCases[] = {
    {"AT90S1200", {0xFF}, {"cmd 04", "11 0A 0B 00 15 10 17 15 14"}, {" read Fuse & Lock byte"}, "Trying to read fuse- & lock-bits", {0xFF, 0xFF}},
    {"AT90S1200", {0x00}, {"cmd 04", "11 0A 0B 00 15 10 17 15 14"}, {" read Fuse & Lock byte"}, "Trying to read fuse- & lock-bits", {0xDE, 0xF9}},
    {"AT90S2313", {0x41}, {"cmd 04", "11 0A 0B 00 15 10 17 15 14"}, {" read Fuse & Lock byte"}, "Trying to read fuse- & lock-bits", {0xDF, 0xFD}},
    {"AT90S8515", {0x80}, {"cmd 04", "11 0A 0B 00 15 10 17 15 14"}, {" read Fuse & Lock byte"}, "Trying to read fuse- and lock-bits", {0xDE, 0xFB}},
    {"AT90S4434", {0x20}, {"cmd 04", "11 0A 0B 00 15 10 17 15 14"}, {" read Fuse & Lock byte"}, "Trying to read fuse- and lock-bits", {0xFE, 0xF9}},
    {"AT90S2333", {0x00, 0x00}, {"cmd 04", "0B 00 15 10 17", "11 0A 17 15 14"}, {" read Fuse byte", " read Lock byte"}, "Trying to read fuse- and lock-bits", {0xC0, 0xF9}},
    {"ATtiny2313", {0x01, 0x02, 0x03, 0x04}, {"cmd 04", "0B 00 11 08 15 10 17", "11 1A 17", "11 18 17", "11 0A 17 15 14"},
     {" read Fuse Low bits", " read Fuse High bits", " read Fuse Extended bits", " read Lock bits"}, "Trying to read fuse- & lock-bits", {0x01, 0x02, 0x03, 0x04}},
};

TEST(ParallelLockFuse, ReadFuseAndLockBitsInItsThreeForms)
{
    for (const FuseLockCase& c : FuseLockCases) {
        const ChipEntry& chip = Chip(c.chip);
        SCOPED_TRACE(c.chip);
        auto op = [&](const FamilyUnit& u, const ProgContext& ctx, ChipTarget& t) {
            auto& link = static_cast<AnsweringLink&>(ctx.link);
            link.pinB.assign(c.answers.begin(), c.answers.end());
            return u.ReadFuseAndLockBits(ctx, t);
        };
        OpRun run(chip, op);
        EXPECT_TRUE(run.result);
        EXPECT_EQ(run.steps, c.steps);
        EXPECT_EQ(run.run.log.Lines(), (QStringList{QString::fromUtf8(c.trying), QStringLiteral("       Finished with success.")}));
        for (std::size_t i = 0; i < c.fuseBytes.size(); ++i)
            EXPECT_EQ(run.run.buffers.fuses[i], c.fuseBytes[i]) << "slot " << i;
        for (std::size_t k = 1; k < c.steps.size(); ++k) {
            OpRun failed(chip, op, SendIndexOfStep(c.steps, k));
            EXPECT_EQ(LastLine(failed.run.log), CommandError(c.texts[k - 1]));
        }
        OpRun silent(chip, [&](const FamilyUnit& u, const ProgContext& ctx, ChipTarget& t) {
            static_cast<AnsweringLink&>(ctx.link).silentFromRead = int(c.answers.size()) - 1;
            return op(u, ctx, t);
        });
        EXPECT_EQ(LastLine(silent.run.log), QStringLiteral("Error reading the answer (PINB)"));
        EXPECT_FALSE(silent.run.link.IsOpen());
    }
}

TEST(ParallelLockFuse, OrdersFollowTheOperationSet)
{
    struct Case {
        FamilyId unit;
        std::vector<Op> read;
        std::vector<Op> write;
        std::uint8_t lockSlot;
    };
    const std::vector<Op> plainRead{Op::ReadLockBits, Op::ReadFuseHigh, Op::ReadFuseLow};
    const std::vector<Op> plainWrite{Op::WriteFuseHigh, Op::WriteFuseLow, Op::WriteLockBits};
    const std::vector<Op> extRead{Op::ReadLockBits, Op::ReadFuseExtended, Op::ReadFuseHigh, Op::ReadFuseLow};
    const std::vector<Op> extWrite{Op::WriteFuseExtended, Op::WriteFuseHigh, Op::WriteFuseLow, Op::WriteLockBits};
    const std::vector<Op> oldRead{Op::ReadLockBits, Op::ReadFuseLow};
    const std::vector<Op> oldWrite{Op::WriteFuseLow, Op::WriteLockBits};
    const std::vector<Op> at90sRead{Op::ReadFuseAndLockBits};
    const std::vector<Op> at90sWrite{Op::WriteFuseByte, Op::WriteLockBits};
    const Case cases[] = {
        {FamilyId::Atmega8, plainRead, plainWrite, 2},    {FamilyId::Atmega8515, plainRead, plainWrite, 2},
        {FamilyId::Atmega16, plainRead, plainWrite, 2},   {FamilyId::Atmega163, plainRead, plainWrite, 2},
        {FamilyId::Atmega323, plainRead, plainWrite, 2},  {FamilyId::Atmega48, extRead, extWrite, 3},
        {FamilyId::Atmega162, extRead, extWrite, 3},      {FamilyId::Atmega164, extRead, extWrite, 3},
        {FamilyId::Atmega169, extRead, extWrite, 3},      {FamilyId::Atmega64, extRead, extWrite, 3},
        {FamilyId::Atmega640, extRead, extWrite, 3},      {FamilyId::At90can32, extRead, extWrite, 3},
        {FamilyId::Attiny261, extRead, extWrite, 3},      {FamilyId::Attiny2313, at90sRead, extWrite, 3},
        {FamilyId::Atmega161, oldRead, oldWrite, 1},      {FamilyId::Atmega603, oldRead, oldWrite, 1},
        {FamilyId::At90s1200, at90sRead, at90sWrite, 1},  {FamilyId::At90s2313, at90sRead, at90sWrite, 1},
        {FamilyId::At90s4414, at90sRead, at90sWrite, 1},  {FamilyId::At90s4434, at90sRead, at90sWrite, 1},
        {FamilyId::At90s2333, at90sRead, at90sWrite, 1},
    };
    for (const Case& c : cases) {
        const FamilyUnit& unit = ParallelUnitOf(c.unit);
        SCOPED_TRACE(std::string(unit.Name()));
        EXPECT_EQ(unit.Id(), c.unit);
        EXPECT_EQ(unit.Interface(), ProgrammingInterface::Parallel);
        const auto read = unit.LockFuseReadOrder();
        const auto write = unit.LockFuseWriteOrder();
        EXPECT_EQ(std::vector<Op>(read.begin(), read.end()), c.read);
        EXPECT_EQ(std::vector<Op>(write.begin(), write.end()), c.write);
        // The lock byte sits after the unit's fuse bytes in every chip's row.
        for (const ChipEntry& e : ChipCatalogue())
            if (e.family == c.unit) {
                EXPECT_EQ(e.LockSlot(), c.lockSlot) << e.name;
            }
        for (Op op : c.read)
            EXPECT_TRUE(unit.Has(op));
        for (Op op : c.write)
            EXPECT_TRUE(unit.Has(op));
    }
}

TEST(ParallelOperations, EachUnitOffersItsRowsOperations)
{
    const OperationSet atmega8{Op::EnterProgrammingMode, Op::ChipErase, Op::ReadFlashWord, Op::LoadFlashWord,
                               Op::WriteFlashPage, Op::ReadEepromByte, Op::WriteEepromByte, Op::ReadLockBits,
                               Op::WriteLockBits, Op::WriteFuseLow, Op::WriteFuseHigh, Op::ReadFuseLow,
                               Op::ReadFuseHigh, Op::ReadCalibration};
    const OperationSet extended = atmega8.With({Op::ReadFuseExtended, Op::WriteFuseExtended});
    const OperationSet atmega161{Op::EnterProgrammingMode, Op::ChipErase, Op::ReadFlashWord, Op::LoadFlashWord,
                                 Op::WriteFlashPage, Op::ReadEepromByte, Op::WriteEepromByte, Op::ReadLockBits,
                                 Op::WriteLockBits, Op::ReadFuseLow, Op::WriteFuseLow};
    const OperationSet at90s{Op::EnterProgrammingMode, Op::ChipErase, Op::ReadFlashWord, Op::WriteFlashWord,
                             Op::ReadEepromByte, Op::WriteEepromByte, Op::ReadFuseAndLockBits, Op::WriteFuseByte,
                             Op::WriteLockBits};
    const OperationSet attiny2313{Op::EnterProgrammingMode, Op::ChipErase, Op::ReadFlashWord, Op::LoadFlashWord,
                                  Op::WriteFlashPage, Op::ReadEepromByte, Op::WriteEepromByte,
                                  Op::ReadFuseAndLockBits, Op::WriteLockBits, Op::WriteFuseLow, Op::WriteFuseHigh,
                                  Op::WriteFuseExtended, Op::ReadCalibration};
    const std::pair<FamilyId, OperationSet> rows[] = {
        {FamilyId::Atmega8, atmega8},       {FamilyId::Atmega8515, atmega8},   {FamilyId::Atmega16, atmega8},
        {FamilyId::Atmega163, atmega8},     {FamilyId::Atmega323, atmega8},    {FamilyId::Atmega48, extended},
        {FamilyId::Atmega162, extended.Without({Op::ReadCalibration})},        {FamilyId::Atmega164, extended},
        {FamilyId::Atmega169, extended},    {FamilyId::Atmega64, extended},    {FamilyId::Atmega640, extended},
        {FamilyId::At90can32, extended},    {FamilyId::Attiny261, extended},   {FamilyId::Attiny2313, attiny2313},
        {FamilyId::Atmega161, atmega161},   {FamilyId::Atmega603, atmega161},  {FamilyId::At90s1200, at90s},
        {FamilyId::At90s2313, at90s},       {FamilyId::At90s4414, at90s},      {FamilyId::At90s4434, at90s},
        {FamilyId::At90s2333, at90s},
    };
    for (const auto& [id, ops] : rows) {
        const FamilyUnit& unit = ParallelUnitOf(id);
        EXPECT_TRUE(unit.Operations() == ops) << unit.Name();
        EXPECT_EQ(unit.CalibrationUnit(), id == FamilyId::Atmega162 ? FamilyId::Atmega163 : id) << unit.Name();
    }
}

// ---------------------------------------------------------------- calibration

TEST(ParallelCalibration, ReadCalibrationInItsThreeForms)
{
    const std::string read = "11 0A 0B 00 15 10 17 15 14";
    struct Case {
        const char* chip;
        std::uint8_t count;
        StepList steps;
    };
    const Case cases[] = {
        {"ATmega8", 4, {"cmd 08", "al 00", read, "al 01", read, "al 02", read, "al 03", read}},
        {"ATmega8", 0, {"cmd 08"}},
        // One byte, whatever the count says.
        {"AT90CAN32", 4, {"cmd 08", "al 00", read}},
        {"AT90CAN128", 0, {"cmd 08", "al 00", read}},
        {"ATtiny2313", 2, {"cmd 08", "al 00", "11 0A", "0B 00 15 10 17 15 14", "al 01", "11 0A", "0B 00 15 10 17 15 14"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.chip) + " count " + std::to_string(c.count));
        auto op = [&](const FamilyUnit& u, const ProgContext& ctx, ChipTarget& t) {
            static_cast<AnsweringLink&>(ctx.link).pinB = {0xC1, 0xC2, 0xC3, 0xC4};
            t.calibrationCount = c.count;
            return u.ReadCalibration(ctx, t);
        };
        OpRun run(Chip(c.chip), op);
        EXPECT_TRUE(run.result);
        EXPECT_EQ(run.steps, c.steps);
        EXPECT_EQ(run.run.log.Lines(), Lines({"Trying to read calibration bytes", "       Finished"}));
        const std::size_t reads = std::size_t(std::count_if(c.steps.begin(), c.steps.end(),
                                                            [](const std::string& s) { return s.find("17") != std::string::npos; }));
        for (std::size_t i = 0; i < 8; ++i)
            EXPECT_EQ(run.run.buffers.calibration[i], std::uint8_t(i < reads ? 0xC1 + i : 0x00)) << "byte " << i;
    }
    // The ATtiny2313's own texts.
    const StepList tiny = cases[4].steps;
    auto tinyOp = [](const FamilyUnit& u, const ProgContext& ctx, ChipTarget& t) { return u.ReadCalibration(ctx, t); };
    EXPECT_EQ(FailedLine(Chip("ATtiny2313"), tinyOp, SendIndexOfStep(tiny, 2)),
              CommandError(" set BS1=1, BS2(XA1)=0"));
    EXPECT_EQ(FailedLine(Chip("ATtiny2313"), tinyOp, SendIndexOfStep(tiny, 3)),
              CommandError(" read Calibration Bytes"));
    EXPECT_EQ(FailedLine(Chip("ATmega8"), tinyOp, SendIndexOfStep(cases[0].steps, 2)),
              CommandError(" read Calibration byte"));
}

// ---------------------------------------------------------------- failures

// Every operation of every unit: a failed send or a missing answer at any step writes its
// line and closes the link; a chip busy through the ready poll ends the operation silently
// with the link kept.
TEST(ParallelFailures, EveryStepOfEveryOperationFailsCleanly)
{
    const std::pair<Op, std::uint32_t> ops[] = {
        {Op::EnterProgrammingMode, 0}, {Op::ChipErase, 0},       {Op::ReadFlashWord, 0},   {Op::LoadFlashWord, 0},
        {Op::WriteFlashPage, 0x3E},    {Op::WriteFlashWord, 0},  {Op::ReadEepromByte, 0},  {Op::WriteEepromByte, 7},
        {Op::ReadLockBits, 0},         {Op::WriteLockBits, 0},   {Op::ReadFuseLow, 0},     {Op::WriteFuseLow, 0},
        {Op::ReadFuseHigh, 0},         {Op::WriteFuseHigh, 0},   {Op::ReadFuseExtended, 0}, {Op::WriteFuseExtended, 0},
        {Op::WriteFuseByte, 0},        {Op::ReadFuseAndLockBits, 0}, {Op::ReadCalibration, 0},
    };
    for (const EntryCase& unitCase : EntryCases) {
        const ChipEntry& chip = FirstChipOf(unitCase.unit);
        const FamilyUnit& unit = UnitFor(chip);
        for (const auto& [op, pos] : ops) {
            if (!unit.Has(op))
                continue;
            SCOPED_TRACE(std::string(chip.name) + " op " + std::to_string(int(op)));
            auto call = [op = op, pos = pos](const FamilyUnit& u, const ProgContext& ctx, ChipTarget& t) {
                switch (op) {
                case Op::ReadFlashWord: return u.ReadFlashWord(ctx, t, pos, false);
                case Op::LoadFlashWord: return u.LoadFlashWord(ctx, t, pos);
                case Op::WriteFlashPage: return u.WriteFlashPage(ctx, t, pos);
                case Op::WriteFlashWord: return u.WriteFlashWord(ctx, t, pos);
                case Op::ReadEepromByte: return u.ReadEepromByte(ctx, t, pos, false);
                case Op::WriteEepromByte: return u.WriteEepromByte(ctx, t, pos);
                default: return u.Run(op, ctx, t);
                }
            };
            OpRun ok(chip, call);
            ASSERT_TRUE(ok.result);
            const int sends = int(ok.run.link.sent.size());
            const int reads = int(ok.run.link.readsExpected.size());
            for (int k = 0; k < sends; ++k) {
                OpRun failed(chip, call, k);
                EXPECT_FALSE(failed.result) << "send " << k;
                EXPECT_EQ(failed.run.link.closes, 1) << "send " << k;
                EXPECT_TRUE(LastLine(failed.run.log).startsWith(QStringLiteral("Error executing commands: "))) << "send " << k;
                EXPECT_FALSE(LastLine(failed.run.log).contains(QStringLiteral("Finished")));
            }
            for (int r = 0; r < reads; ++r) {
                OpRun silent(chip, [&](const FamilyUnit& u, const ProgContext& ctx, ChipTarget& t) {
                    static_cast<AnsweringLink&>(ctx.link).silentFromRead = r;
                    return call(u, ctx, t);
                });
                EXPECT_FALSE(silent.result) << "read " << r;
                EXPECT_EQ(silent.run.link.closes, 1) << "read " << r;
                EXPECT_TRUE(LastLine(silent.run.log).startsWith(QStringLiteral("Error reading the answer (PIN")));
            }
            // Ready polls: PINC reads, but not the link check after a long fixed pulse (which
            // a busy chip does not fail).
            const std::vector<Bytes>& sent = ok.run.link.sent;
            bool polls = false;
            for (std::size_t i = 0; i < sent.size(); ++i) {
                const bool afterLongPulse = i > 0 && (sent[i - 1] == Bytes{0x1D, 0x08} || sent[i - 1] == Bytes{0x1D, 0x09});
                polls = polls || (sent[i] == Bytes{0x18} && !afterLongPulse);
            }
            if (polls) {
                OpRun busy(chip, [&](const FamilyUnit& u, const ProgContext& ctx, ChipTarget& t) {
                    static_cast<AnsweringLink&>(ctx.link).busyPolls = WaitReadyPolls;
                    return call(u, ctx, t);
                });
                EXPECT_FALSE(busy.result);
                EXPECT_TRUE(busy.run.link.IsOpen());
                EXPECT_EQ(busy.run.link.closes, 0);
                const QStringList lines = busy.run.log.Lines();
                EXPECT_TRUE(lines.isEmpty() || lines.last().startsWith(QStringLiteral("Trying to")))
                    << "no error and no finished line";
            }
        }
    }
}

}  // namespace
}  // namespace velmora::testing
