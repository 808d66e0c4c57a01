// The memory commands over the real family units against the simulated chip, one chip of each
// family: what Write Program and Write Data leave in the chip's memories is what the view held,
// Verify and Read see it again, Chip Erase blanks the chip, Read Calibration reads the chip's
// bytes, and a parallel chip is left without supplies.

#include "ops/memorycommands.h"

#include "ops/familychips.h"

#include "chips/selection.h"
#include "log/operationlog.h"
#include "sim/simlink.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace velmora {
namespace {

struct SimBench {
    // The chip in the socket, and the chip selected when it is another.
    explicit SimBench(const char* chipName, const char* selected = nullptr)
        : entry(*FindChipByName(selected ? selected : chipName)), link(*sim::FindSimChip(chipName), /*virtualTime=*/true)
    {
        link.Open(QStringLiteral("virtual"));
        OperationLog selection;
        SelectChip(chips, entry.code, selection, {});
    }
    ProgContext Ctx() { return ProgContext{link, log, 0, link.Sleeper(), &cancel}; }
    bool Run(const ChipCommand& command)
    {
        ChipJob job(chips);
        const bool ok = command(Ctx(), job, {});
        job.ApplyTo(chips);
        return ok;
    }
    bool Run(MemoryCommand command, const MemoryCommandOptions& options = {}, const ProgressFn& progress = {})
    {
        ChipJob job(chips);
        const bool ok = RunMemoryCommand(command, Ctx(), job, progress, options);
        job.ApplyTo(chips);
        return ok;
    }
    sim::SimChip& Chip() { return link.Gateway().Chip(); }
    std::span<std::uint8_t> Image(int kind) { return {chips.CurrentChip.Image(kind), chips.CurrentChip.ImageSize(kind)}; }
    QString LastLine(int back = 0) const
    {
        const QStringList lines = log.Lines();
        return lines.value(lines.size() - 1 - back);
    }

    const ChipEntry& entry;
    sim::SimLink link;
    OperationLog log;
    ChipState chips;
    CancelToken cancel;
};

// No stretch of it repeats at a power of two up to the largest flash (256 KiB), so a byte that
// lands at an address with a bit above 16 lost or added does not pass for the right one.
std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = std::uint8_t((i * 131 + seed) ^ (i >> 8) ^ ((i >> 16) * 29));
    return bytes;
}

class OpsOnSimulator : public ::testing::TestWithParam<const char*> {};

TEST_P(OpsOnSimulator, WriteVerifyReadEraseCalibrate)
{
    SimBench b(GetParam());
    const bool parallel = UnitOf(b.entry).Interface() == ProgrammingInterface::Parallel;

    const std::vector<std::uint8_t> flash = Pattern(b.entry.flashSize, 7);
    std::copy(flash.begin(), flash.end(), b.Image(FlashKind).begin());
    ASSERT_TRUE(b.Run(MemoryCommand::WriteProgram)) << b.log.Lines().join(QLatin1Char('\n')).toStdString();
    ASSERT_TRUE(std::equal(flash.begin(), flash.end(), b.Chip().Flash().begin())) << "the chip holds what was written";
    if (parallel) {
        EXPECT_FALSE(b.Chip().InParallelMode()) << "supplies off after the command";
    }
    EXPECT_TRUE(b.Run(MemoryCommand::VerifyProgram));
    EXPECT_EQ(b.LastLine(1), QStringLiteral("       Finished. No differences found."));

    // The last byte differs: found at its (word) address, every digit shown.
    const std::uint32_t last = b.entry.flashSize - 1;
    b.Image(FlashKind)[last] ^= 0x40;
    EXPECT_FALSE(b.Run(MemoryCommand::VerifyProgram));
    const std::uint32_t reported = parallel ? last - 1 : last;
    EXPECT_EQ(b.LastLine(1), QStringLiteral("       Finished with fail. Address: 0x") + DifferenceAddressText(reported));

    std::fill(b.Image(FlashKind).begin(), b.Image(FlashKind).end(), 0x00);
    ASSERT_TRUE(b.Run(MemoryCommand::ReadProgram));
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), b.Image(FlashKind).begin()));

    const std::vector<std::uint8_t> eeprom = Pattern(b.entry.eepromSize, 3);
    std::copy(eeprom.begin(), eeprom.end(), b.Image(EepromKind).begin());
    ASSERT_TRUE(b.Run(MemoryCommand::WriteData)) << b.log.Lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(std::equal(eeprom.begin(), eeprom.end(), b.Chip().Eeprom().begin()));
    EXPECT_TRUE(b.Run(MemoryCommand::VerifyData));
    std::fill(b.Image(EepromKind).begin(), b.Image(EepromKind).end(), 0x00);
    ASSERT_TRUE(b.Run(MemoryCommand::ReadData));
    EXPECT_TRUE(std::equal(eeprom.begin(), eeprom.end(), b.Image(EepromKind).begin()));

    ASSERT_TRUE(b.Run(RunChipErase));
    EXPECT_TRUE(std::all_of(b.Chip().Flash().begin(), b.Chip().Flash().end(), [](std::uint8_t v) { return v == 0xFF; }));
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), b.Image(FlashKind).begin())) << "erase keeps the image";

    const bool calibration = UnitOf(UnitOf(b.entry).CalibrationUnit()).Has(ChipOperation::ReadCalibration);
    EXPECT_EQ(b.Run(RunReadCalibration), calibration);
    if (calibration) {
        QString expected;
        for (std::size_t i = 0; i < b.entry.calibrationCount; ++i)
            expected += QStringLiteral("calibration %1 = 0x%2").arg(i).arg(QString::number(b.Chip().Calibration().at(i), 16).toUpper().rightJustified(2, QLatin1Char('0')));
        EXPECT_EQ(b.LastLine(), expected);
    } else {
        EXPECT_EQ(b.LastLine(), QStringLiteral("Command is not available for this chip"));
    }
    if (parallel) {
        EXPECT_FALSE(b.Chip().InParallelMode());
    }
}

// A serial number after the whole memories were written: four bytes near the end of the flash
// (where firmware keeps them, blank in its image) and into the EEPROM, written with no erase and
// compared; flash that is not blank there shows as a difference, never as success.
TEST_P(OpsOnSimulator, PatchWriteAfterTheImage)
{
    SimBench b(GetParam());
    const auto patch = [&](int kind, std::uint32_t address, std::uint32_t value) {
        for (std::uint32_t i = 0; i < 4; ++i)
            b.Image(kind)[address + i] = std::uint8_t(value >> (8 * i));
        return b.Run([&](const ProgContext& ctx, ChipJob& job, const ProgressFn& p) {
            return RunPatchWrite(kind, address + 3, QStringLiteral(" write the serial number"), ctx, job, p);
        });
    };
    const std::uint32_t flashAt = b.entry.flashSize - 8;
    std::vector<std::uint8_t> flash = Pattern(b.entry.flashSize, 5);
    std::fill_n(flash.begin() + flashAt, 4, std::uint8_t(0xFF));
    std::copy(flash.begin(), flash.end(), b.Image(FlashKind).begin());
    ASSERT_TRUE(b.Run(MemoryCommand::WriteProgram));
    const std::vector<std::uint8_t> eeprom = Pattern(b.entry.eepromSize, 9);
    std::copy(eeprom.begin(), eeprom.end(), b.Image(EepromKind).begin());
    ASSERT_TRUE(b.Run(MemoryCommand::WriteData));

    ASSERT_TRUE(patch(FlashKind, flashAt, 0x12345678)) << b.log.Lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(b.LastLine(1), QStringLiteral("       Finished. No differences found."));
    EXPECT_TRUE(std::equal(b.Image(FlashKind).begin(), b.Image(FlashKind).end(), b.Chip().Flash().begin()));
    EXPECT_EQ(b.Chip().Flash()[flashAt], 0x78);
    EXPECT_EQ(b.Chip().Flash()[flashAt + 3], 0x12);

    const std::uint32_t eepromAt = b.entry.eepromSize - 4;
    ASSERT_TRUE(patch(EepromKind, eepromAt, 1001)) << b.log.Lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(std::equal(b.Image(EepromKind).begin(), b.Image(EepromKind).end(), b.Chip().Eeprom().begin()));
    EXPECT_EQ(b.Chip().Eeprom()[eepromAt], 1001 & 0xFF);

    EXPECT_FALSE(patch(FlashKind, 0, 0xF0F0F0F0));
    EXPECT_TRUE(b.LastLine(1).startsWith(QStringLiteral("       Finished with fail. Address: 0x")));
    EXPECT_FALSE(patch(EepromKind, b.entry.eepromSize - 3, 1)) << "beyond the memory";
}

INSTANTIATE_TEST_SUITE_P(EveryFamily, OpsOnSimulator, ::testing::ValuesIn(testing::OneChipPerFamily));


// Writing with the socket checked first and the result verified, on every family: the check
// reads the signature through the unit's own entry, and the verify reads back what was written.
TEST_P(OpsOnSimulator, CheckedAndVerifiedWrites)
{
    SimBench b(GetParam());
    MemoryCommandOptions options;
    options.socket.enabled = true;
    options.verifyAfterWrite = true;
    const std::vector<std::uint8_t> flash = Pattern(b.entry.flashSize, 11);
    std::copy(flash.begin(), flash.end(), b.Image(FlashKind).begin());
    ASSERT_TRUE(b.Run(MemoryCommand::WriteProgram, options)) << b.log.Lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(b.LastLine(1), QStringLiteral("       Finished. No differences found."));
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), b.Chip().Flash().begin()));
    const std::vector<std::uint8_t> eeprom = Pattern(b.entry.eepromSize, 5);
    std::copy(eeprom.begin(), eeprom.end(), b.Image(EepromKind).begin());
    ASSERT_TRUE(b.Run(MemoryCommand::WriteData, options)) << b.log.Lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(std::equal(eeprom.begin(), eeprom.end(), b.Chip().Eeprom().begin()));
    EXPECT_TRUE(b.Run([&](const ProgContext& ctx, ChipJob& job, const ProgressFn& p) {
        return RunCheckedChipErase(ctx, job, p, options.socket);
    }));
}

// An ATmega8 in the socket with the ATmega16 selected: nothing that erases or writes touches it.
TEST(SocketCheck, AnotherChipIsNeitherErasedNorWritten)
{
    const QString other = QStringLiteral("The chip in the socket is the ATmega8 (signature 1E 93 07), not the selected "
                                         "ATmega16 (1E 94 03)");
    enum class Command { WriteProgram, WriteData, Erase };
    for (const Command command : {Command::WriteProgram, Command::WriteData, Command::Erase}) {
        for (const bool withApprover : {false, true}) {
            SCOPED_TRACE(int(command) * 2 + withApprover);
            SimBench b("ATmega8", "ATmega16");
            std::fill(b.Chip().Flash().begin(), b.Chip().Flash().end(), 0x5A);
            std::fill(b.Chip().Eeprom().begin(), b.Chip().Eeprom().end(), 0xA5);
            std::fill(b.Image(FlashKind).begin(), b.Image(FlashKind).end(), 0x00);
            std::fill(b.Image(EepromKind).begin(), b.Image(EepromKind).end(), 0x00);
            std::vector<std::pair<std::string_view, SignatureCode>> asked;
            SocketCheck check{true, {}};
            if (withApprover)
                check.approve = [&](const ChipEntry& selected, SignatureCode found) {
                    asked.emplace_back(selected.name, found);
                    return false;
                };
            MemoryCommandOptions options;
            options.socket = check;
            bool ok = true;
            switch (command) {
            case Command::WriteProgram: ok = b.Run(MemoryCommand::WriteProgram, options); break;
            case Command::WriteData: ok = b.Run(MemoryCommand::WriteData, options); break;
            case Command::Erase:
                ok = b.Run([&](const ProgContext& ctx, ChipJob& job, const ProgressFn& p) { return RunCheckedChipErase(ctx, job, p, check); });
                break;
            }
            EXPECT_FALSE(ok);
            EXPECT_TRUE(b.log.Lines().contains(other)) << b.log.Lines().join(QLatin1Char('\n')).toStdString();
            EXPECT_TRUE(b.log.Lines().contains(QStringLiteral("       Finished with fail.")));
            EXPECT_TRUE(std::all_of(b.Chip().Flash().begin(), b.Chip().Flash().end(), [](std::uint8_t v) { return v == 0x5A; }));
            EXPECT_TRUE(std::all_of(b.Chip().Eeprom().begin(), b.Chip().Eeprom().end(), [](std::uint8_t v) { return v == 0xA5; }));
            EXPECT_FALSE(b.Chip().InParallelMode());
            EXPECT_TRUE(b.link.IsOpen());
            if (withApprover) {
                EXPECT_EQ(asked, (std::vector<std::pair<std::string_view, SignatureCode>>{{"ATmega16", 0x07931E}}));
            }
        }
    }

    // Approved: the command goes on (with the selected chip's algorithm).
    SimBench b("ATmega8", "ATmega16");
    MemoryCommandOptions options;
    options.socket = {true, [](const ChipEntry&, SignatureCode) { return true; }};
    std::fill(b.Image(EepromKind).begin(), b.Image(EepromKind).end(), 0x00);
    b.Run(MemoryCommand::WriteData, options);
    EXPECT_TRUE(b.log.Lines().contains(other));
    EXPECT_EQ(b.Chip().Eeprom()[0], 0x00) << "written";
}

TEST(SocketCheck, OtherChipTexts)
{
    const ChipEntry& mega16 = *FindChipByName("ATmega16");
    EXPECT_EQ(OtherChipText(mega16, 0), QStringLiteral("No chip answers in the socket (signature 00 00 00), not the selected ATmega16 (1E 94 03)"));
    EXPECT_EQ(OtherChipText(mega16, 0xFFFFFF), QStringLiteral("No chip answers in the socket (signature FF FF FF), not the selected ATmega16 (1E 94 03)"));
    EXPECT_EQ(OtherChipText(mega16, 0x01021E), QStringLiteral("The chip in the socket is an unknown chip (signature 1E 02 01), not the selected ATmega16 (1E 94 03)"));
}

// Cancel: the command stops at the next packet, switches the supplies off and says so.
TEST(Cancel, AWriteStopsAtTheNextPacketWithTheSuppliesOff)
{
    SimBench b("ATmega8");
    const std::vector<std::uint8_t> flash = Pattern(b.entry.flashSize, 3);
    std::copy(flash.begin(), flash.end(), b.Image(FlashKind).begin());
    std::uint64_t packetsAtRequest = 0;
    const ProgressFn progress = [&](int percent) {
        if (percent >= 30 && !b.cancel.Requested()) {
            b.cancel.Request();
            packetsAtRequest = b.link.Counters().packets;
        }
    };
    EXPECT_FALSE(b.Run(MemoryCommand::WriteProgram, {}, progress));
    const QStringList lines = b.log.Lines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.at(lines.size() - 3), QStringLiteral("Cancelled"));
    EXPECT_EQ(lines.at(lines.size() - 2), PartlyWrittenText);
    EXPECT_TRUE(lines.back().startsWith(QStringLiteral("End time")));
    EXPECT_FALSE(lines.contains(QStringLiteral("       Finished with fail.")));
    EXPECT_EQ(b.link.Counters().packets, packetsAtRequest + 1) << "one packet after the request: the supplies off";
    EXPECT_FALSE(b.Chip().InParallelMode());
    EXPECT_TRUE(b.link.IsOpen());
    // Written up to the page at the request, blank after it.
    EXPECT_TRUE(std::equal(flash.begin(), flash.begin() + 64, b.Chip().Flash().begin()));
    EXPECT_EQ(b.Chip().Flash().back(), 0xFF);

    // The next command runs as usual once the request is taken back.
    b.cancel.Reset();
    EXPECT_TRUE(b.Run(MemoryCommand::WriteProgram));
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), b.Chip().Flash().begin()));

    // A read stops the same way, without the warning.
    b.cancel.Reset();
    const ProgressFn soon = [&](int) { b.cancel.Request(); };
    EXPECT_FALSE(b.Run(MemoryCommand::ReadProgram, {}, soon));
    EXPECT_EQ(b.LastLine(1), QStringLiteral("Cancelled"));
    EXPECT_FALSE(b.Chip().InParallelMode());
}

TEST(Cancel, ASerialChipStopsToo)
{
    SimBench b("ATtiny13");
    b.cancel.Request();
    EXPECT_FALSE(b.Run(MemoryCommand::VerifyProgram));
    EXPECT_EQ(b.LastLine(1), QStringLiteral("Cancelled"));
    EXPECT_FALSE(b.Chip().InSerialMode());
}

}  // namespace
}  // namespace velmora
