// The link cut at many byte offsets during each kind of write, erase and fuse write, on serial
// and parallel chips: the command never ends with success, its failure line is written, and
// where the line to the gateway still carries bytes (only the answers are lost) a parallel
// chip's supplies end switched off.

#include "fuses/fusecommands.h"
#include "ops/memorycommands.h"

#include "chips/selection.h"
#include "log/operationlog.h"
#include "sim/simlink.h"

#include <gtest/gtest.h>

#include <functional>

namespace velmora {
namespace {

enum class Cut {
    Silent,  // the gateway stops: nothing runs, nothing answers
    Mute,    // the line back is cut: everything runs, nothing answers
    Unplug,  // the device is gone: writes fail
};

struct Bench {
    Bench(const char* chipName, sim::SimFaults faults)
        : entry(*FindChipByName(chipName)), link(*sim::FindSimChip(chipName), /*virtualTime=*/true)
    {
        link.Gateway().SetFaults(faults);
        link.Open(QStringLiteral("virtual"));
        OperationLog selection;
        SelectChip(chips, entry.code, selection, {});
        // Something to write that differs from the erased chip.
        for (std::size_t i = 0; i < entry.flashSize; ++i)
            chips.CurrentChip.Image(FlashKind)[i] = std::uint8_t(i * 7 + 1);
        for (std::size_t i = 0; i < entry.eepromSize; ++i)
            chips.CurrentChip.Image(EepromKind)[i] = std::uint8_t(i * 5 + 3);
    }
    ProgContext Ctx() { return ProgContext{link, log, 0, link.Sleeper()}; }
    bool SuppliesOff()
    {
        const sim::SimPorts& p = link.Gateway().Ports();
        const bool vcc = (p.ddrC & 0x04) && !(p.portC & 0x04);
        const bool hv = (p.ddrC & 0x08) && (p.portC & 0x08);
        return !vcc && !hv;
    }

    const ChipEntry& entry;
    sim::SimLink link;
    OperationLog log;
    ChipState chips;
};

struct Command {
    const char* name;
    std::function<bool(Bench&)> run;
};

bool Memory(Bench& b, MemoryCommand command)
{
    ChipJob job(b.chips);
    return RunMemoryCommand(command, b.Ctx(), job, {});
}

const Command Commands[] = {
    {"write flash", [](Bench& b) { return Memory(b, MemoryCommand::WriteProgram); }},
    {"write EEPROM", [](Bench& b) { return Memory(b, MemoryCommand::WriteData); }},
    {"erase",
     [](Bench& b) {
         ChipJob job(b.chips);
         return RunChipErase(b.Ctx(), job, {});
     }},
    {"write fuses",
     [](Bench& b) {
         ChipJob job(b.chips);
         return WriteLockFuses(b.Ctx(), job).outcome == FuseOutcome::Done;
     }},
};

sim::SimFaults FaultAt(Cut cut, long offset)
{
    sim::SimFaults f;
    switch (cut) {
    case Cut::Silent: f.silentAfterBytes = offset; break;
    case Cut::Mute: f.muteAfterBytes = offset; break;
    case Cut::Unplug: f.unplugAfterBytes = offset; break;
    }
    return f;
}

class LinkCuts : public ::testing::TestWithParam<const char*> {};

TEST_P(LinkCuts, NeverSuccessAlwaysTheFailureLine)
{
    const char* chip = GetParam();
    for (const Command& command : Commands) {
        long total = 0;
        {
            Bench whole(chip, {});
            ASSERT_TRUE(command.run(whole)) << command.name << "\n" << whole.log.Lines().join('\n').toStdString();
            total = long(whole.link.Gateway().BytesReceived());
        }
        // Offsets spread over the whole command, and its last bytes one by one (the end's
        // supplies-off packet and the answered command that confirms it).
        std::vector<long> offsets;
        constexpr int Spread = 16;
        for (int k = 0; k < Spread; ++k)
            offsets.push_back(total * k / Spread);
        for (long back = 1; back <= 6 && back <= total; ++back)
            offsets.push_back(total - back);
        for (Cut cut : {Cut::Silent, Cut::Mute, Cut::Unplug}) {
            for (long offset : offsets) {
                SCOPED_TRACE(::testing::Message() << command.name << ", cut " << int(cut) << " after " << offset << " of "
                                                  << total << " bytes");
                Bench b(chip, FaultAt(cut, offset));
                EXPECT_FALSE(command.run(b)) << b.log.Lines().join('\n').toStdString();
                const QStringList lines = b.log.Lines();
                EXPECT_TRUE(lines.contains(QStringLiteral("       Finished with fail.")))
                    << lines.join('\n').toStdString();
                const bool failureLine = std::any_of(lines.begin(), lines.end(), [](const QString& l) {
                    return l.startsWith(QStringLiteral("Error reading the answer")) ||
                           l.startsWith(QStringLiteral("Error executing commands"));
                });
                EXPECT_TRUE(failureLine) << lines.join('\n').toStdString();
                EXPECT_FALSE(b.link.IsOpen());
                if (cut == Cut::Mute && UnitOf(b.entry).Interface() == ProgrammingInterface::Parallel) {
                    EXPECT_TRUE(b.SuppliesOff()) << lines.join('\n').toStdString();
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(SerialAndParallel, LinkCuts, ::testing::Values("ATtiny85", "AT90S2323", "ATmega8", "AT90S8515"),
                         [](const ::testing::TestParamInfo<const char*>& p) { return std::string(p.param); });

}  // namespace
}  // namespace velmora
