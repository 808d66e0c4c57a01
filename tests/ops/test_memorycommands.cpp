// The memory commands over a recording fake unit: call orders, page commits, progress points,
// the closing lines of every exit, and what ends up in the chip copy.

#include "ops/memorycommands.h"

#include "chips/selection.h"
#include "fakeunit.h"
#include "support/recordinglink.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace velmora {
namespace {

using testing::FakeUnit;
using testing::UnitCall;

std::map<FamilyId, const FakeUnit*> Units;

const FamilyUnit& Resolve(FamilyId id)
{
    return *Units.at(id);
}

const QString Trying = QStringLiteral("Trying to");
const QString Start = QStringLiteral("Start time: 1:2:3");
const QString End = QStringLiteral("End time: 1:2:3");
const QString Fail = QStringLiteral("       Finished with fail.");
const testing::Bytes SuppliesOff = {0x11, 0x00, 0x0F, 0x32};
// The answered command that confirms a command's last packet.
const testing::Bytes LinkCheck = {0x18};
const std::vector<testing::Bytes> ConfirmedSuppliesOff = {SuppliesOff, LinkCheck};

// One command on one chip: the link, the log, the chip state and what the unit saw.
struct Bench {
    explicit Bench(const char* chipName, ProgrammingInterface iface = ProgrammingInterface::Parallel,
                   OperationSet ops = testing::ParallelPaged)
    {
        link.Open(QStringLiteral("fake"));
        link.answerLinkChecks = true;
        log.SetClock([] { return QTime(1, 2, 3); });
        if (chipName) {
            OperationLog selection;
            SelectChip(chips, FindChipByName(chipName)->code, selection, {});
        }
        const FamilyId family = chipName ? FindChipByName(chipName)->family : FamilyId::Atmega8;
        unit.emplace(family, iface, ops, calls);
        Units = {{family, &*unit}};
    }

    ProgContext Ctx() { return ProgContext{link, log, 0, [](int) {}}; }
    ProgressFn Progress()
    {
        return [this](int p) { progress.push_back(p); };
    }
    bool Run(MemoryCommand command) { return Run([command](auto& ctx, auto& job, auto& p) { return RunMemoryCommand(command, ctx, job, p); }); }
    bool Run(const ChipCommand& command)
    {
        ChipJob job(chips, Resolve);
        const bool ok = command(Ctx(), job, Progress());
        job.ApplyTo(chips);
        return ok;
    }
    std::vector<UnitCall> CallsOf(ChipOperation op) const
    {
        std::vector<UnitCall> out;
        for (const UnitCall& c : calls)
            if (c.op == op)
                out.push_back(c);
        return out;
    }
    std::vector<ChipOperation> Ops() const
    {
        std::vector<ChipOperation> out;
        for (const UnitCall& c : calls)
            out.push_back(c.op);
        return out;
    }
    QStringList Lines() const { return log.Lines(); }

    testing::RecordingLink link;
    OperationLog log;
    ChipState chips;
    std::vector<UnitCall> calls;
    std::vector<int> progress;
    std::optional<FakeUnit> unit;
};

std::vector<std::uint32_t> Positions(const std::vector<UnitCall>& calls)
{
    std::vector<std::uint32_t> out;
    for (const UnitCall& c : calls)
        out.push_back(c.pos);
    return out;
}

TEST(MemoryCommands, NoChipOrUnknownCodeCallsNoFamily)
{
    Bench b(nullptr);
    EXPECT_FALSE(b.Run(MemoryCommand::ReadProgram));
    EXPECT_EQ(b.Lines(), (QStringList{Trying + QStringLiteral(" read the program"), Start,
                                      QStringLiteral("No chip selected"), End}));
    EXPECT_TRUE(b.calls.empty());
    EXPECT_TRUE(b.link.sent.empty());

    Bench u(nullptr);
    u.chips.CurrentChip.SignatureCode = 0x12345;
    EXPECT_FALSE(u.Run(MemoryCommand::VerifyData));
    EXPECT_EQ(u.Lines(), (QStringList{Trying + QStringLiteral(" verify the EEPROM"), Start,
                                      QStringLiteral("Selected chip is  unknown"), End}));
    EXPECT_TRUE(u.calls.empty());
}

TEST(MemoryCommands, ReadProgramStepsAndProgress)
{
    // AT90S1200: every 16 words from pos 30, the last at 1023 * 100 / 1024.
    Bench b("AT90S1200", ProgrammingInterface::Parallel, testing::ParallelWords);
    ASSERT_TRUE(b.Run(MemoryCommand::ReadProgram));
    ASSERT_EQ(b.progress.size(), 1u + 1024 / 32);
    EXPECT_EQ(b.progress[0], 0);  // the window opens
    EXPECT_EQ(b.progress[1], 31 * 100 / 1024);
    EXPECT_EQ(b.progress.back(), 99);
    EXPECT_EQ(b.CallsOf(ChipOperation::ReadFlashWord).size(), 512u);
    EXPECT_EQ(b.Lines(), (QStringList{Trying + QStringLiteral(" read the program"), Start, QStringLiteral("       Finished"), End}));
    EXPECT_TRUE(std::equal(b.chips.CurrentChip.FlashImage.begin(), b.chips.CurrentChip.FlashImage.begin() + 1024,
                           b.unit->flash.begin()));

    // ATmega323 counts to the second byte of the word and ends at 100.
    Bench m("ATmega323");
    ASSERT_TRUE(m.Run(MemoryCommand::ReadProgram));
    EXPECT_EQ(m.progress.back(), 100);

    // A byte family reads byte by byte.
    Bench t("ATtiny13", ProgrammingInterface::Serial, testing::SerialPaged);
    ASSERT_TRUE(t.Run(MemoryCommand::ReadProgram));
    const auto reads = t.CallsOf(ChipOperation::ReadFlashByte);
    ASSERT_EQ(reads.size(), 1024u);
    for (std::uint32_t i = 0; i < reads.size(); ++i)
        ASSERT_EQ(reads[i], (UnitCall{ChipOperation::ReadFlashByte, i, false}));
    EXPECT_EQ(t.progress.back(), 100);
    EXPECT_EQ(t.link.sent, std::vector<testing::Bytes>{LinkCheck}) << "serial programming is left as it is, the end confirmed";
}

TEST(MemoryCommands, ProgressPointsPerFamily)
{
    struct Case {
        const char* chip;
        MemoryCommand command;
        std::uint32_t firstUpdatePos;  // the pos of the first update after the opening 0
        std::uint32_t offset;
    };
    const Case cases[] = {
        {"ATmega8", MemoryCommand::ReadProgram, 0x3E, 1},
        {"ATmega8", MemoryCommand::VerifyProgram, 0x1E, 1},
        {"ATmega8515", MemoryCommand::VerifyProgram, 0x3E, 1},
        {"AT90CAN128", MemoryCommand::ReadProgram, 0xFE, 1},
        {"ATmega103", MemoryCommand::ReadProgram, 0xFE, 1},
        {"ATmega103", MemoryCommand::VerifyProgram, 0x1E, 1},
        {"ATtiny2313", MemoryCommand::VerifyProgram, 0x1E, 1},
        {"ATtiny2313", MemoryCommand::ReadProgram, 0x1E, 2},
        {"ATmega164", MemoryCommand::VerifyProgram, 0x1E, 2},
        {"ATmega103", MemoryCommand::ReadData, 0x1F, 1},
        {"AT90CAN32", MemoryCommand::VerifyData, 7, 1},
        {"ATmega644", MemoryCommand::WriteData, 7, 1},
        {"ATmega64", MemoryCommand::WriteData, 3, 1},
        {"ATmega8", MemoryCommand::ReadData, 3, 1},
    };
    for (const Case& c : cases) {
        Bench b(c.chip);
        b.unit->flash = std::vector<std::uint8_t>(0x40000, 0xFF);  // verifies match a blank image
        b.unit->eeprom = std::vector<std::uint8_t>(0x10000, 0xFF);
        std::fill(b.chips.CurrentChip.FlashImage.begin(), b.chips.CurrentChip.FlashImage.end(), 0xFF);
        std::fill(b.chips.CurrentChip.EepromImage.begin(), b.chips.CurrentChip.EepromImage.end(), 0xFF);
        ASSERT_TRUE(b.Run(c.command)) << c.chip;
        const bool flash = ImageKindOf(c.command) == FlashKind;
        const std::uint32_t size = flash ? b.chips.CurrentChip.flashSize : b.chips.CurrentChip.eepromSize;
        ASSERT_GE(b.progress.size(), 2u) << c.chip;
        EXPECT_EQ(b.progress[1], int((c.firstUpdatePos + c.offset) * 100 / size)) << c.chip;
        const std::uint32_t points = size / (c.firstUpdatePos + (flash ? 2 : 1));
        EXPECT_EQ(b.progress.size(), 1 + points) << c.chip;
    }
}

TEST(MemoryCommands, AFailedReadKeepsWhatCameBefore)
{
    Bench b("ATmega8");
    b.unit->failure = FakeUnit::Failure{ChipOperation::ReadFlashWord, 0x100};
    const std::vector<std::uint8_t> before = b.chips.CurrentChip.FlashImage;
    EXPECT_FALSE(b.Run(MemoryCommand::ReadProgram));
    const QStringList lines = b.Lines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[lines.size() - 3], QStringLiteral("Error reading the answer (PINB)"));
    EXPECT_EQ(lines[lines.size() - 2], Fail);
    EXPECT_EQ(lines.back(), End);
    const auto& image = b.chips.CurrentChip.FlashImage;
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 0x100, b.unit->flash.begin()));
    EXPECT_TRUE(std::equal(image.begin() + 0x100, image.end(), before.begin() + 0x100));
    // The failing step sent the supplies-off packet once before the link closed.
    ASSERT_FALSE(b.link.sent.empty());
    EXPECT_EQ(b.link.sent.back(), SuppliesOff);
    EXPECT_EQ(b.link.sent.size(), 1u);
    EXPECT_FALSE(b.link.IsOpen());
}

TEST(MemoryCommands, ParallelCommandsEndWithTheSuppliesOff)
{
    Bench b("ATmega8");
    ASSERT_TRUE(b.Run(MemoryCommand::ReadData));
    EXPECT_EQ(b.link.sent, ConfirmedSuppliesOff);
    EXPECT_FALSE(b.link.SafePacketArmed());
    EXPECT_EQ(b.Lines().back(), End);

    // A chip that stays busy fails without a line and keeps the link: the packet goes out anyway.
    Bench busy("ATmega8");
    busy.unit->failure = FakeUnit::Failure{ChipOperation::WriteFlashPage, {}, 3, false};
    EXPECT_FALSE(busy.Run(MemoryCommand::WriteProgram));
    EXPECT_EQ(busy.link.sent, std::vector<testing::Bytes>{SuppliesOff});
    EXPECT_TRUE(busy.link.IsOpen());

    // The last packet itself failing fails the command with its line.
    Bench last("ATmega8");
    last.link.FailSendsFrom(0);
    EXPECT_FALSE(last.Run(MemoryCommand::ReadData));
    EXPECT_EQ(last.Lines().mid(last.Lines().size() - 3),
              (QStringList{QStringLiteral("Error executing commands:  0x11 0x0 0x0F 0x32"), Fail, End}));

    // Disconnect switches off what a command left armed.
    testing::RecordingLink link;
    link.Open({});
    OperationLog log;
    link.ArmSafePacket(Packets::SuppliesOff());
    DisconnectGateway(link, log);
    EXPECT_EQ(link.sent, std::vector<testing::Bytes>{SuppliesOff});
    EXPECT_EQ(log.Lines(), QStringList{QStringLiteral("The COM-port is closed")});
}

TEST(MemoryCommands, WriteProgramPagesAndErase)
{
    Bench b("ATmega8");
    ASSERT_TRUE(b.Run(MemoryCommand::WriteProgram));
    const std::vector<ChipOperation> ops = b.Ops();
    ASSERT_GE(ops.size(), 4u);
    EXPECT_EQ(std::vector<ChipOperation>(ops.begin(), ops.begin() + 4),
              (std::vector<ChipOperation>{ChipOperation::EnterProgrammingMode, ChipOperation::ChipErase,
                                          ChipOperation::EnterProgrammingMode, ChipOperation::LoadFlashWord}));
    EXPECT_EQ(b.CallsOf(ChipOperation::LoadFlashWord).size(), 4096u);
    const auto pages = Positions(b.CallsOf(ChipOperation::WriteFlashPage));
    ASSERT_EQ(pages.size(), 128u);
    for (std::size_t i = 0; i < pages.size(); ++i)
        ASSERT_EQ(pages[i], 0x3E + 0x40 * i);
    EXPECT_EQ(b.progress.size(), 129u);  // at every commit
    EXPECT_EQ(b.progress.back(), 99);    // (0x1FFE + 1) * 100 / 8192
    // A commit follows its page's last load.
    EXPECT_EQ(b.calls[3 + 32].op, ChipOperation::WriteFlashPage);

    // Same family, different pages.
    for (const auto& [chip, mask] : {std::pair{"ATmega168", 0x7Fu}, std::pair{"ATmega88", 0x3Fu}}) {
        Bench m(chip);
        ASSERT_TRUE(m.Run(MemoryCommand::WriteProgram));
        for (std::uint32_t pos : Positions(m.CallsOf(ChipOperation::WriteFlashPage)))
            ASSERT_EQ(pos & mask, mask - 1) << chip;
        EXPECT_EQ(m.CallsOf(ChipOperation::WriteFlashPage).size(), m.chips.CurrentChip.flashSize / (mask + 1)) << chip;
    }

    // Word by word, and serial page buffers every 32 bytes whatever the chip's page.
    Bench w("AT90S2333", ProgrammingInterface::Parallel, testing::ParallelWords);
    ASSERT_TRUE(w.Run(MemoryCommand::WriteProgram));
    EXPECT_EQ(w.CallsOf(ChipOperation::WriteFlashWord).size(), 1024u);
    EXPECT_EQ(w.progress[1], (0x1E + 2) * 100 / 2048);
    Bench s("ATtiny85", ProgrammingInterface::Serial, testing::SerialPaged);
    ASSERT_TRUE(s.Run(MemoryCommand::WriteProgram));
    const auto serialPages = Positions(s.CallsOf(ChipOperation::WriteFlashPage));
    ASSERT_EQ(serialPages.size(), 8192u / 32);
    EXPECT_EQ(serialPages.front(), 0x1Fu);
    EXPECT_EQ(s.CallsOf(ChipOperation::LoadFlashByte).size(), 8192u);
}

TEST(MemoryCommands, WriteProgramWriteOffsetsPerChip)
{
    // Position at the first commit: (pos + offset) * 100 / size.
    struct Case {
        const char* chip;
        std::uint32_t firstPage;
        std::uint32_t offset;
    };
    const Case cases[] = {
        {"ATmega164", 0x7E, 1}, {"ATmega644", 0xFE, 2}, {"ATtiny261", 0x1E, 1}, {"ATtiny861", 0x3E, 2},
        {"ATmega163", 0x7E, 2}, {"AT90CAN32", 0xFE, 1}, {"ATtiny2313", 0x1E, 2},
    };
    for (const Case& c : cases) {
        Bench b(c.chip);
        ASSERT_TRUE(b.Run(MemoryCommand::WriteProgram));
        EXPECT_EQ(Positions(b.CallsOf(ChipOperation::WriteFlashPage)).front(), c.firstPage) << c.chip;
        EXPECT_EQ(b.progress[1], int((c.firstPage + c.offset) * 100 / b.chips.CurrentChip.flashSize)) << c.chip;
    }
}

TEST(MemoryCommands, EraseSequencesAndTheirFailures)
{
    using O = ChipOperation;
    Bench t("ATtiny12", ProgrammingInterface::Serial, testing::SerialZeroWord);
    ASSERT_TRUE(t.Run(MemoryCommand::WriteProgram));
    const auto ops = t.Ops();
    EXPECT_EQ(std::vector<O>(ops.begin(), ops.begin() + 7),
              (std::vector<O>{O::EnterProgrammingMode, O::ChipErase, O::EnterProgrammingMode, O::WriteFlashZeroWord,
                              O::ChipErase, O::EnterProgrammingMode, O::WriteFlashByte}));

    // A failed erase leaves out the End time line; a failed entry after it does not.
    struct Case {
        const char* chip;
        ChipOperation op;
        int occurrence;
        bool endTime;
    };
    const Case cases[] = {
        {"ATmega8", O::ChipErase, 0, false},
        {"ATmega8", O::EnterProgrammingMode, 0, true},
        {"ATmega8", O::EnterProgrammingMode, 1, true},
        {"ATtiny12", O::EnterProgrammingMode, 0, false},
        {"ATtiny12", O::WriteFlashZeroWord, 0, false},
        {"ATtiny12", O::EnterProgrammingMode, 2, true},
    };
    for (const Case& c : cases) {
        const bool tiny12 = std::string_view(c.chip) == "ATtiny12";
        Bench b(c.chip, tiny12 ? ProgrammingInterface::Serial : ProgrammingInterface::Parallel,
                tiny12 ? testing::SerialZeroWord : testing::ParallelPaged);
        b.unit->failure = FakeUnit::Failure{c.op, {}, c.occurrence};
        EXPECT_FALSE(b.Run(MemoryCommand::WriteProgram));
        EXPECT_EQ(b.Lines().back(), c.endTime ? End : Fail) << c.chip << " " << int(c.op) << " " << c.occurrence;
        EXPECT_EQ(b.CallsOf(O::WriteFlashByte).size() + b.CallsOf(O::LoadFlashWord).size(), 0u);
    }

    // Chip Erase: no frame, the ATtiny12 sequence, a failure's line.
    Bench e("ATtiny12", ProgrammingInterface::Serial, testing::SerialZeroWord);
    ASSERT_TRUE(e.Run(RunChipErase));
    EXPECT_EQ(e.Ops(), (std::vector<O>{O::EnterProgrammingMode, O::ChipErase, O::EnterProgrammingMode,
                                       O::WriteFlashZeroWord, O::ChipErase}));
    EXPECT_TRUE(e.Lines().isEmpty());
    Bench f("ATtiny12", ProgrammingInterface::Serial, testing::SerialZeroWord);
    f.unit->failure = FakeUnit::Failure{O::EnterProgrammingMode, {}, 1};
    EXPECT_FALSE(f.Run(RunChipErase));
    EXPECT_EQ(f.Lines(), (QStringList{QStringLiteral("Error reading the answer (PINB)"), Fail}));
    EXPECT_EQ(f.Ops().size(), 3u);

    Bench n(nullptr);
    EXPECT_FALSE(n.Run(RunChipErase));
    EXPECT_EQ(n.Lines(), QStringList{QStringLiteral("No chip selected")});

    // The images are not touched.
    Bench m("ATmega8");
    m.chips.CurrentChip.FlashImage[5] = 0x12;
    ASSERT_TRUE(m.Run(RunChipErase));
    EXPECT_EQ(m.chips.CurrentChip.FlashImage[5], 0x12);
    EXPECT_EQ(m.link.sent, ConfirmedSuppliesOff);
}

TEST(MemoryCommands, WriteDataPagesAndQuestions)
{
    Bench b("ATtiny25", ProgrammingInterface::Serial, testing::SerialPaged);
    ASSERT_TRUE(b.Run(MemoryCommand::WriteData));
    const auto pages = Positions(b.CallsOf(ChipOperation::WriteEepromPage));
    ASSERT_EQ(pages.size(), 32u);
    for (std::size_t i = 0; i < pages.size(); ++i)
        ASSERT_EQ(pages[i], 3 + 4 * i);
    EXPECT_EQ(b.CallsOf(ChipOperation::ChipErase).size(), 0u) << "Write Data never erases";
    EXPECT_EQ(b.progress.back(), 100);

    EXPECT_EQ(QuestionFor(MemoryCommand::WriteProgram),
              QStringLiteral("All previous chip data will be lost (Flash, EEPROM, Lock Bits). Are you sure?"));
    EXPECT_EQ(QuestionFor(MemoryCommand::WriteData), QStringLiteral("All previous chip data will be lost (EEPROM). Are you sure?"));
    EXPECT_FALSE(QuestionFor(MemoryCommand::VerifyProgram));
}

TEST(MemoryCommands, VerifyReportsTheFirstDifference)
{
    struct Case {
        const char* chip;
        ProgrammingInterface iface;
        OperationSet ops;
        std::uint32_t differs;  // the byte that differs
        const char* line;
    };
    const Case cases[] = {
        {"ATmega8", ProgrammingInterface::Parallel, testing::ParallelPaged, 0x0201, "       Finished with fail. Address: 0x0200"},
        {"ATmega2560", ProgrammingInterface::Parallel, testing::ParallelPaged, 0x10200, "       Finished with fail. Address: 0x10200"},
        {"ATtiny13", ProgrammingInterface::Serial, testing::SerialPaged, 0x0011, "       Finished with fail. Address: 0x0011"},
        {"ATmega8", ProgrammingInterface::Parallel, testing::ParallelPaged, 0, "       Finished with fail. Address: 0x0000"},
    };
    for (const Case& c : cases) {
        Bench b(c.chip, c.iface, c.ops);
        std::copy(b.unit->flash.begin(), b.unit->flash.end(), b.chips.CurrentChip.FlashImage.begin());
        b.chips.CurrentChip.FlashImage[c.differs] ^= 0x01;
        const std::vector<std::uint8_t> image = b.chips.CurrentChip.FlashImage;
        EXPECT_FALSE(b.Run(MemoryCommand::VerifyProgram));
        const QStringList lines = b.Lines();
        EXPECT_EQ(lines.mid(lines.size() - 2), (QStringList{QString::fromLatin1(c.line), End})) << c.chip;
        EXPECT_EQ(b.chips.CurrentChip.FlashImage, image) << "a verify changes no image";
        if (c.differs == 0) {
            EXPECT_EQ(b.progress, std::vector<int>{0});
        }
    }

    // A matching chip: ". No differences found." after flash size / 2 word reads.
    Bench same("ATmega8");
    std::copy(same.unit->flash.begin(), same.unit->flash.end(), same.chips.CurrentChip.FlashImage.begin());
    EXPECT_TRUE(same.Run(MemoryCommand::VerifyProgram));
    EXPECT_EQ(same.Lines().mid(same.Lines().size() - 2), (QStringList{QStringLiteral("       Finished. No differences found."), End}));
    EXPECT_EQ(same.CallsOf(ChipOperation::ReadFlashWord).size(), 4096u);

    // A step that failed is no difference.
    Bench link("ATmega8");
    std::copy(link.unit->flash.begin(), link.unit->flash.end(), link.chips.CurrentChip.FlashImage.begin());
    link.unit->failure = FakeUnit::Failure{ChipOperation::ReadFlashWord, 0x26};
    EXPECT_FALSE(link.Run(MemoryCommand::VerifyProgram));
    EXPECT_EQ(link.Lines().mid(link.Lines().size() - 3),
              (QStringList{QStringLiteral("Error reading the answer (PINB)"), Fail, End}));
}

TEST(MemoryCommands, ReadCalibration)
{
    Bench m("ATmega8");
    ASSERT_TRUE(m.Run(RunReadCalibration));
    EXPECT_EQ(m.Lines(), QStringList{QStringLiteral(
                             "calibration 0 = 0xA8calibration 1 = 0xA9calibration 2 = 0xAAcalibration 3 = 0xAB")});
    EXPECT_EQ(m.chips.CurrentChip.CalibrationBytes[3], 0xAB);
    EXPECT_EQ(m.link.sent, ConfirmedSuppliesOff);

    // Families without a calibration read, whatever the catalogue's count.
    for (const char* chip : {"AT90S2313", "ATtiny22"}) {
        Bench b(chip, ProgrammingInterface::Parallel, testing::ParallelWords);
        EXPECT_FALSE(b.Run(RunReadCalibration));
        EXPECT_EQ(b.Lines(), QStringList{QStringLiteral("Command is not available for this chip")}) << chip;
        EXPECT_TRUE(b.calls.empty());
        EXPECT_TRUE(b.link.sent.empty());
    }

    // The ATmega162 reads through the unit it names.
    Bench b("ATmega162", ProgrammingInterface::Parallel, testing::ParallelPaged.Without({ChipOperation::ReadCalibration}));
    std::vector<UnitCall> borrowedCalls;
    FakeUnit lender(FamilyId::Atmega163, ProgrammingInterface::Parallel, testing::ParallelPaged, borrowedCalls);
    b.unit->calibrationUnit = FamilyId::Atmega163;
    Units[FamilyId::Atmega163] = &lender;
    ASSERT_TRUE(b.Run(RunReadCalibration));
    EXPECT_TRUE(b.calls.empty());
    ASSERT_EQ(borrowedCalls.size(), 2u);
    EXPECT_EQ(borrowedCalls[1].op, ChipOperation::ReadCalibration);
    EXPECT_EQ(b.Lines(), QStringList{QStringLiteral("calibration 0 = 0xA8")});

    Bench f("ATmega8");
    f.unit->failure = FakeUnit::Failure{ChipOperation::ReadCalibration, {}};
    EXPECT_FALSE(f.Run(RunReadCalibration));
    EXPECT_EQ(f.Lines().back(), Fail);
}

TEST(MemoryCommands, AWriteVerifiedAfterwardsFindsWhatTheChipDidNotTake)
{
    // The fake chip keeps its own bytes whatever is loaded into it: a chip that refused the
    // write (locked, or not the chip selected). Without the verify the write reports success.
    for (const bool program : {true, false}) {
        SCOPED_TRACE(program ? "program" : "data");
        const MemoryCommand command = program ? MemoryCommand::WriteProgram : MemoryCommand::WriteData;
        Bench plain("ATmega8");
        EXPECT_TRUE(plain.Run(command));

        Bench b("ATmega8");
        const int kind = program ? FlashKind : EepromKind;
        std::vector<std::uint8_t>& chip = program ? b.unit->flash : b.unit->eeprom;
        const std::uint32_t size = b.chips.CurrentChip.ImageSize(kind);
        std::copy_n(chip.begin(), size, b.chips.CurrentChip.Image(kind));
        b.chips.CurrentChip.Image(kind)[0x41] ^= 0x01;
        MemoryCommandOptions options;
        options.verifyAfterWrite = true;
        EXPECT_FALSE(b.Run([&](auto& ctx, auto& job, auto& p) { return RunMemoryCommand(command, ctx, job, p, options); }));
        EXPECT_EQ(b.Lines().mid(b.Lines().size() - 2),
                  (QStringList{QStringLiteral("       Finished with fail. Address: 0x") + (program ? "0040" : "0041"), End}));
        // The verify is a pass of its own after the write, and shares the bar with it.
        const std::vector<UnitCall> reads = b.CallsOf(program ? ChipOperation::ReadFlashWord : ChipOperation::ReadEepromByte);
        ASSERT_FALSE(reads.empty());
        EXPECT_TRUE(reads.front().verify);
        EXPECT_TRUE(std::is_sorted(b.progress.begin(), b.progress.end()));
        EXPECT_NE(std::find(b.progress.begin(), b.progress.end(), 50), b.progress.end()) << "the write's end";

        // When the chip holds it all, the write ends as a verify does.
        Bench ok("ATmega8");
        std::copy_n((program ? ok.unit->flash : ok.unit->eeprom).begin(), size, ok.chips.CurrentChip.Image(kind));
        EXPECT_TRUE(ok.Run([&](auto& ctx, auto& job, auto& p) { return RunMemoryCommand(command, ctx, job, p, options); }));
        EXPECT_EQ(ok.Lines().mid(ok.Lines().size() - 2),
                  (QStringList{QStringLiteral("       Finished. No differences found."), End}));
    }
}

TEST(MemoryCommands, VerifyOfTheBytesAFileDefinedComparesOnlyThose)
{
    // The file gave 0x10..0x1F but 0x12; the chip differs at 0x100 (a bootloader, say) and at
    // 0x12, where the file has no byte.
    Bench b("ATmega8");
    std::copy_n(b.unit->flash.begin(), 8192, b.chips.CurrentChip.FlashImage.begin());
    b.chips.CurrentChip.FlashImage[0x100] ^= 0xFF;
    std::vector<std::uint8_t> defined(8192, 0);
    std::fill(defined.begin() + 0x10, defined.begin() + 0x20, 1);
    defined[0x12] = 0;
    b.chips.CurrentChip.FlashImage[0x12] ^= 0xFF;
    MemoryCommandOptions options;
    options.defined = defined;
    const auto verify = [&](auto& ctx, auto& job, auto& p) {
        return RunMemoryCommand(MemoryCommand::VerifyProgram, ctx, job, p, options);
    };
    EXPECT_TRUE(b.Run(verify));
    EXPECT_EQ(b.Lines().mid(b.Lines().size() - 2), (QStringList{QStringLiteral("       Finished. No differences found."), End}));
    // Read up to the last byte the file gave, from 0 (the units need that), and no further.
    EXPECT_EQ(b.CallsOf(ChipOperation::ReadFlashWord).size(), 0x20u / 2);
    EXPECT_EQ(b.chips.CurrentChip.FlashImage[0x100], std::uint8_t(b.unit->flash[0x100] ^ 0xFF)) << "the image is not read into";

    // A byte the file gave that differs: its word's address, as the whole-memory verify says it.
    b.chips.CurrentChip.FlashImage[0x100] ^= 0xFF;
    b.chips.CurrentChip.FlashImage[0x101] ^= 0xFF;
    defined[0x101] = 1;
    b.calls.clear();
    EXPECT_FALSE(b.Run(verify));
    EXPECT_EQ(b.Lines().at(b.Lines().size() - 2), QStringLiteral("       Finished with fail. Address: 0x0100"));

    // Without a mask the whole memory is compared, and 0x0012 differs first.
    b.chips.CurrentChip.FlashImage[0x101] ^= 0xFF;
    options.defined = {};
    EXPECT_FALSE(b.Run(verify));
    EXPECT_EQ(b.Lines().at(b.Lines().size() - 2), QStringLiteral("       Finished with fail. Address: 0x0012"));

    // A file with no byte for this memory: nothing to compare, nothing sent.
    const std::vector<std::uint8_t> none(8192, 0);
    options.defined = none;
    b.calls.clear();
    EXPECT_TRUE(b.Run(verify));
    EXPECT_TRUE(b.calls.empty());
}

TEST(MemoryCommands, CatalogueGeometryFitsTheLoops)
{
    // Parallel page commits need a page of at least two words that divides the flash; EEPROM
    // pages the same.
    for (const ChipEntry& e : ChipCatalogue()) {
        if (e.flashPageBytes != 0) {
            EXPECT_EQ(e.flashPageBytes & (e.flashPageBytes - 1), 0) << e.name;
            EXPECT_GE(e.flashPageBytes, 4) << e.name;
            EXPECT_EQ(e.flashSize % e.flashPageBytes, 0u) << e.name;
            EXPECT_EQ(e.flashSize % 32, 0u) << e.name;
        }
        if (e.eepromPageBytes != 0) {
            EXPECT_EQ(e.eepromPageBytes & (e.eepromPageBytes - 1), 0) << e.name;
        }
    }
}

}  // namespace
}  // namespace velmora
