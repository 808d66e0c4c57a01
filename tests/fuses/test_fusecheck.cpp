// The checks around a write: the risky bits, the question, the read-back comparison.
#include "fuses/fusecheck.h"
#include "fusetestdata.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace velmora {
namespace {

const FuseLayout& LayoutFor(const char* name)
{
    const ChipEntry* e = FindChipByName(name);
    EXPECT_NE(e, nullptr) << name;
    return *LayoutOf(e);
}

QStringList Names(const std::vector<RiskyBit>& bits)
{
    QStringList names;
    for (const RiskyBit& r : bits)
        names << QString::fromUtf8(r.name.data(), qsizetype(r.name.size()));
    return names;
}

TEST(RiskyBits, LockBitsSpienResetAndDebugWire)
{
    struct Case {
        const char* chip;
        FuseBytes toWrite;
        std::optional<FuseBytes> onChip;
        QStringList risky;
    };
    const Case cases[] = {
        {"ATmega8", Slots({0xE1, 0xD9, 0xFF}), std::nullopt, {}},  // the factory values
        {"ATmega8", Slots({0xE1, 0xD9, 0xFC}), std::nullopt, {"LB2", "LB1"}},
        {"ATmega8", Slots({0xE1, 0xD9, 0xEF}), std::nullopt, {"BLB11"}},
        {"ATmega8", Slots({0x00, 0xF9, 0xFF}), std::nullopt, {"SPIEN"}},  // low fuse bits are harmless
        {"ATmega8", Slots({0xE1, 0x59, 0xFF}), std::nullopt, {"RSTDISBL"}},
        {"ATmega48", Slots({0x62, 0x9F, 0xFF, 0xFF}), std::nullopt, {"DWEN"}},
        {"ATtiny13", Slots({0xEA, 0xFF, 0xFF}), std::nullopt, {"SPIEN"}},  // SPIEN in the low byte
        {"ATtiny26", Slots({0xE1, 0xFF, 0xFF}), std::nullopt, {"SPIEN"}},  // in bit 3 of the high byte
        {"AT90S2313", Slots({0xDF, 0xF9}), std::nullopt, {"LB2", "LB1"}},  // the AT90S lock bits
        {"ATmega48PA", Slots({0x62, 0xDF, 0xFF, 0xFB}), std::nullopt, {"BLB01"}},
        // The reserved bit of the ATmega169 is never the user's doing.
        {"ATmega169", Slots({0x62, 0x99, 0xFE, 0xFF}), std::nullopt, {}},
        // What the chip already holds is no change: only LB2 is new.
        {"ATmega8", Slots({0xE1, 0xD9, 0xFC}), Slots({0xE1, 0xD9, 0xFE}), {"LB2"}},
        {"ATmega8", Slots({0xE1, 0x59, 0xFF}), Slots({0xE1, 0x59, 0xFF}), {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Names(RiskyBits(LayoutFor(c.chip), c.toWrite, c.onChip)), c.risky) << c.chip;
}

TEST(WriteQuestion, NamesTheBitsAndWhatFollowsOrAsksNothing)
{
    const FuseLayout& mega8 = LayoutFor("ATmega8");
    const FuseBytes read = Slots({0xE1, 0xD9, 0xFF});
    EXPECT_TRUE(WriteQuestion(mega8, Slots({0xE4, 0xD9, 0xFF}), read).isEmpty());

    const QString lock = WriteQuestion(mega8, Slots({0xE1, 0xD9, 0xFE}), read);
    EXPECT_EQ(lock, QStringLiteral("This write changes bits that are hard to take back:\n"
                                   "  LB1 (Lock bits) programmed: the flash and EEPROM cannot be programmed any more "
                                   "until a chip erase.\n\n"
                                   "Write the lock and fuse bytes anyway?"));

    const QString spien = WriteQuestion(mega8, Slots({0xE1, 0xF9, 0xFF}), read);
    EXPECT_TRUE(spien.contains(QStringLiteral("SPIEN (High Fuses) unprogrammed: no more serial programming in the circuit")))
        << spien.toStdString();

    // Never read: asked even when no bit is risky, and both reasons go into one question.
    const QString factory = WriteQuestion(mega8, Slots({0xE1, 0xD9, 0xFF}), std::nullopt);
    EXPECT_TRUE(factory.startsWith(QStringLiteral("These values were not read from this chip"))) << factory.toStdString();
    const QString both = WriteQuestion(mega8, Slots({0xE1, 0x59, 0xFF}), std::nullopt);
    EXPECT_TRUE(both.contains(QStringLiteral("RSTDISBL (High Fuses) programmed")));
    EXPECT_TRUE(both.contains(QStringLiteral("not read from this chip")));
}

TEST(WriteQuestions, LockOutBitsAreAskedApartFromTheRoutineNote)
{
    // The command line answers the routine part with --yes; the lock-out part needs its own
    // approval, so the two must never come as one text.
    const FuseLayout& mega8 = LayoutFor("ATmega8");
    const FuseBytes read = Slots({0xE1, 0xD9, 0xFF});
    const FuseWriteQuestions none = WriteQuestions(mega8, Slots({0xE4, 0xD9, 0xFF}), read);
    EXPECT_TRUE(none.routine.isEmpty());
    EXPECT_TRUE(none.lockout.isEmpty());

    const FuseWriteQuestions reset = WriteQuestions(mega8, Slots({0xE1, 0x59, 0xFF}), read);
    EXPECT_TRUE(reset.routine.isEmpty());
    EXPECT_TRUE(reset.lockout.contains(QStringLiteral("RSTDISBL (High Fuses) programmed"))) << reset.lockout.toStdString();

    const FuseWriteQuestions factory = WriteQuestions(mega8, Slots({0xE1, 0xD9, 0xFF}), std::nullopt);
    EXPECT_TRUE(factory.routine.startsWith(QStringLiteral("These values were not read from this chip")));
    EXPECT_TRUE(factory.lockout.isEmpty());

    const FuseWriteQuestions both = WriteQuestions(mega8, Slots({0xE1, 0xD9, 0xFC}), std::nullopt);
    EXPECT_FALSE(both.routine.contains(QStringLiteral("LB1")));
    EXPECT_TRUE(both.lockout.contains(QStringLiteral("LB1 (Lock bits) programmed")));
    EXPECT_FALSE(both.lockout.contains(QStringLiteral("not read from this chip")));
}

TEST(ReadBack, OnlyShownBitsCountAndEachByteIsNamed)
{
    const FuseLayout& tiny15 = LayoutFor("ATtiny15");
    // Bits 3 and 2 of the ATtiny15 fuse byte have no box: they may read back as anything.
    EXPECT_TRUE(ShownDifferences(tiny15, Slots({0x50, 0xFF}), Slots({0x5C, 0xFF})).empty());
    const auto d = ShownDifferences(tiny15, Slots({0x52, 0xFF}), Slots({0x5C, 0xFB}));
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(DifferenceText(d[0]), QStringLiteral("Fuse Bits written 52, the chip holds 5C"));
    EXPECT_EQ(DifferenceText(d[1]), QStringLiteral("Lock bits written FF, the chip holds FB"));
}

TEST(ProgrammedNames, FromBitSevenDown)
{
    const FuseLayout& mega8 = LayoutFor("ATmega8");
    EXPECT_EQ(ProgrammedNames(mega8.groups[2], 0xFC), QStringLiteral("LB2 LB1"));
    EXPECT_EQ(ProgrammedNames(mega8.groups[2], 0x3F), QStringLiteral("none"));  // bits without a box
    EXPECT_EQ(ProgrammedNames(mega8.groups[1], 0xD9), QStringLiteral("SPIEN BOOTSZ1 BOOTSZ0"));
}

}  // namespace
}  // namespace velmora
