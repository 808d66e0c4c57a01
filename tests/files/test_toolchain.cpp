// Real files, not only our own: Intel HEX made by avr-gcc/avr-objcopy loads at the addresses the
// toolchain's own binary output has them, and so do srec_cat's and avr-objcopy's S-records and
// avr-gcc's ELF files; every file our writers make is accepted by srec_cat and avr-objcopy and
// converts back to the same bytes.

#include "chips/filecommands.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <random>
#include <vector>

namespace velmora {
namespace {

QByteArray Fixture(const char* name)
{
    QFile file(QStringLiteral(VELMORA_FIXTURES "/") + QString::fromLatin1(name));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "fixture missing: " << name;
        return {};
    }
    return file.readAll();
}

struct ToolchainCase {
    const char* hex;
    const char* reference;  // avr-objcopy's binary of the same section, from address 0
    int kind;
    std::uint32_t memorySize;
    std::uint32_t start = 0;  // the address of the reference's first byte
};

class ToolchainFiles : public testing::TestWithParam<ToolchainCase> {};

TEST_P(ToolchainFiles, LoadAtTheToolchainsAddresses)
{
    const ToolchainCase& c = GetParam();
    const QByteArray reference = Fixture(c.reference);
    ASSERT_FALSE(reference.isEmpty());
    ASSERT_LE(reference.size() + c.start, c.memorySize);

    std::vector<std::uint8_t> image(c.kind == FlashKind ? FlashImageSize : EepromImageSize, 0xFF);
    OperationLog log;
    QStringList errors;
    FileCommandContext context{log, [&](const QString& text) { errors.append(text); }, {}, {}};
    const QString path = QStringLiteral(VELMORA_FIXTURES "/") + QString::fromLatin1(c.hex);
    LoadImageFile(path, 0x07931E, {c.kind, image, c.memorySize, {}, {}}, context);

    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(log.Lines().last(), QStringLiteral("Operation complete"));
    const auto at = image.begin() + c.start;
    EXPECT_TRUE(std::all_of(image.begin(), at, [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_TRUE(std::equal(reference.begin(), reference.end(), at,
                           [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }));
    EXPECT_TRUE(std::all_of(at + reference.size(), image.end(), [](std::uint8_t b) { return b == 0xFF; }));
}

INSTANTIATE_TEST_SUITE_P(AvrGcc, ToolchainFiles,
                         testing::Values(ToolchainCase{"small.hex", "small.bin", FlashKind, 8192},
                                         ToolchainCase{"small.eep", "small.eep.bin", EepromKind, 512},
                                         ToolchainCase{"big.hex", "big.bin", FlashKind, 262144},
                                         // A bootloader: its start address record is no reason to stop.
                                         ToolchainCase{"boot.hex", "boot.bin", FlashKind, 8192, 0x1800},
                                         // EEPROM data left at the toolchain's 0x810000.
                                         ToolchainCase{"linked.eep", "small.eep.bin", EepromKind, 512},
                                         // srec_cat's S-records, S1 and (above 64 KiB) S2.
                                         ToolchainCase{"small.srec", "small.bin", FlashKind, 8192},
                                         ToolchainCase{"big.srec", "big.bin", FlashKind, 262144},
                                         // One file with every memory: each load takes its own,
                                         // .data behind .text in flash, not at its RAM address.
                                         ToolchainCase{"fused.elf", "fused.bin", FlashKind, 16384},
                                         ToolchainCase{"fused.elf", "fused.eep.bin", EepromKind, 512},
                                         ToolchainCase{"fused.full.hex", "fused.bin", FlashKind, 16384},
                                         ToolchainCase{"fused.full.hex", "fused.eep.bin", EepromKind, 512},
                                         ToolchainCase{"fused.srec", "fused.bin", FlashKind, 16384},
                                         ToolchainCase{"fused.srec", "fused.eep.bin", EepromKind, 512},
                                         ToolchainCase{"fused.objcopy.srec", "fused.bin", FlashKind, 16384},
                                         ToolchainCase{"fused.objcopy.srec", "fused.eep.bin", EepromKind, 512}));

// What a program load of the fixture notes beside the flash bytes.
ImageFileFacts FactsOf(const char* name)
{
    std::vector<std::uint8_t> image(FlashImageSize, 0xFF);
    OperationLog log;
    ImageFileFacts facts;
    FileCommandContext context{log, [](const QString&) { ADD_FAILURE(); }, {}, {}};
    ImageFileTarget target{FlashKind, image, 16384, {}, {}};
    target.facts = &facts;
    EXPECT_TRUE(ReadImageFile(QStringLiteral(VELMORA_FIXTURES "/") + QString::fromLatin1(name), std::nullopt, target,
                              context));
    return facts;
}

TEST(ToolchainFiles, FuseAndLockBytesOfEveryFormAreOffered)
{
    // fused.c: FUSES = {.low = 0xE2, .high = 0xDF, .extended = 0xF9}; LOCKBITS = 0xFC.
    FileFuseBytes expected;
    expected.fuse = {0xE2, 0xDF, 0xF9};
    expected.lock = 0xFC;
    for (const char* name : {"fused.elf", "fused.full.hex", "fused.srec", "fused.objcopy.srec"}) {
        SCOPED_TRACE(name);
        const ImageFileFacts facts = FactsOf(name);
        EXPECT_EQ(facts.fuses, expected);
        EXPECT_TRUE(facts.eepromSection);
    }
    // A program without them offers none.
    EXPECT_FALSE(FactsOf("small.hex").fuses.Any());
    EXPECT_FALSE(FactsOf("small.hex").eepromSection);
}

TEST(ToolchainFixtures, TheyHoldTheRecordsTheCasesAreAbout)
{
    // Otherwise the cases above would not exercise the bases, the start record or the origin.
    const QByteArray hex = Fixture("big.hex");
    EXPECT_GT(Fixture("big.bin").size(), 65536);
    EXPECT_TRUE(hex.contains(":02000002") || hex.contains(":02000004"));
    EXPECT_TRUE(Fixture("boot.hex").contains(":04000003"));
    EXPECT_TRUE(Fixture("linked.eep").contains(":020000040081"));
    EXPECT_TRUE(Fixture("big.srec").contains("\nS2"));
    EXPECT_TRUE(Fixture("fused.full.hex").contains(":020000040082"));
    EXPECT_TRUE(Fixture("fused.srec").contains("\nS2"));
    EXPECT_TRUE(Fixture("fused.elf").startsWith("\x7f" "ELF"));
}

// Runs a converter; its output file must hold exactly the memory, and it must complain about nothing.
void ExpectConvertsBack(const QString& program, const QStringList& arguments, const QString& output,
                        const std::vector<std::uint8_t>& memory)
{
    QProcess process;
    process.start(program, arguments);
    ASSERT_TRUE(process.waitForFinished(60000)) << program.toStdString();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_EQ(process.readAllStandardError(), QByteArray()) << program.toStdString();
    QFile file(output);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << output.toStdString();
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(static_cast<std::size_t>(bytes.size()), memory.size()) << program.toStdString();
    EXPECT_TRUE(std::equal(memory.begin(), memory.end(), bytes.begin(),
                           [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }))
        << program.toStdString();
}

TEST(OurFiles, AcceptedBySrecCatAndAvrObjcopy)
{
    const struct {
        int kind;
        std::uint32_t size;
    } memories[] = {{FlashKind, 1024},  {FlashKind, 8192}, {FlashKind, 131072},
                    {FlashKind, 262144}, {EepromKind, 64}, {EepromKind, 4096}};
    QTemporaryDir dir;
    OperationLog log;
    QStringList errors;
    FileCommandContext context{log, [&](const QString& text) { errors.append(text); }, {}, {}};
    std::mt19937 random(7);
    for (const auto& m : memories) {
        SCOPED_TRACE(testing::Message() << "kind " << m.kind << " size " << m.size);
        std::vector<std::uint8_t> image(m.kind == FlashKind ? FlashImageSize : EepromImageSize);
        for (auto& b : image)
            b = static_cast<std::uint8_t>(random());
        const QString hex = dir.filePath(QStringLiteral("ours.hex"));
        WriteHexFile(hex, {m.kind, image, m.size, {}, {}}, context);
        ASSERT_TRUE(errors.isEmpty());
        const std::vector<std::uint8_t> memory(image.begin(), image.begin() + m.size);

        const QString bySrec = dir.filePath(QStringLiteral("srec.bin"));
        ExpectConvertsBack(QStringLiteral(VELMORA_SREC_CAT), {hex, "-Intel", "-o", bySrec, "-Binary"}, bySrec, memory);
        const QString byObjcopy = dir.filePath(QStringLiteral("objcopy.bin"));
        ExpectConvertsBack(QStringLiteral(VELMORA_AVR_OBJCOPY), {"-I", "ihex", "-O", "binary", hex, byObjcopy},
                           byObjcopy, memory);

        const QString srec = dir.filePath(QStringLiteral("ours.srec"));
        WriteImageFile(srec, ImageFileFormat::Srec, {m.kind, image, m.size, {}, {}}, context);
        ASSERT_TRUE(errors.isEmpty());
        ExpectConvertsBack(QStringLiteral(VELMORA_SREC_CAT), {srec, "-Motorola", "-o", bySrec, "-Binary"}, bySrec, memory);
        ExpectConvertsBack(QStringLiteral(VELMORA_AVR_OBJCOPY), {"-I", "srec", "-O", "binary", srec, byObjcopy},
                           byObjcopy, memory);
    }
}

}  // namespace
}  // namespace velmora
