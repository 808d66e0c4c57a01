#include "batch/serialnumbers.h"

#include "chips/chip.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace velmora {
namespace {

struct SpecCase {
    const char* text;
    bool ok;
    int kind;
    std::uint32_t address, first, step;
};

TEST(SerialSpec, ParsesTheFormsAndRefusesTheRest)
{
    const SpecCase cases[] = {
        {"eeprom:0x10:1000", true, EepromKind, 0x10, 1000, 1},
        {"EEPROM:16:1000:5", true, EepromKind, 16, 1000, 5},
        {"flash:0x1FFC:0xFFFFFFFF", true, FlashKind, 0x1FFC, 0xFFFFFFFFu, 1},
        {"flash:0:0:0x10", true, FlashKind, 0, 0, 16},
        {"ram:0:1", false, 0, 0, 0, 0},
        {"eeprom:0", false, 0, 0, 0, 0},
        {"eeprom:0:1:1:1", false, 0, 0, 0, 0},
        {"eeprom:0:1:0", false, 0, 0, 0, 0},           // a step of 0 gives one number twice
        {"eeprom:0:4294967296", false, 0, 0, 0, 0},    // beyond 32 bits
        {"eeprom:-1:5", false, 0, 0, 0, 0},
        {"eeprom: 1:5", false, 0, 0, 0, 0},
        {"eeprom:+1:5", false, 0, 0, 0, 0},
        {"eeprom:0x:5", false, 0, 0, 0, 0},
        {"eeprom:0xG1:5", false, 0, 0, 0, 0},
    };
    for (const SpecCase& c : cases) {
        SCOPED_TRACE(c.text);
        QString problem;
        const std::optional<SerialSpec> def = ParseSerialSpec(QString::fromLatin1(c.text), &problem);
        ASSERT_EQ(def.has_value(), c.ok) << problem.toStdString();
        if (!c.ok) {
            EXPECT_FALSE(problem.isEmpty());
            continue;
        }
        EXPECT_EQ(def->kind, c.kind);
        EXPECT_EQ(def->address, c.address);
        EXPECT_EQ(def->first, c.first);
        EXPECT_EQ(def->step, c.step);
    }
}

TEST(PutSerial, LittleEndianAndOnlyWhereAllFourBytesFit)
{
    std::vector<std::uint8_t> memory(16, 0xFF);
    ASSERT_TRUE(PutSerial(memory, 12, 0x11223344));
    EXPECT_EQ(memory, (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                 0xFF, 0x44, 0x33, 0x22, 0x11}));
    const std::vector<std::uint8_t> before = memory;
    EXPECT_FALSE(PutSerial(memory, 13, 1));
    EXPECT_FALSE(PutSerial(memory, 0xFFFFFFFE, 1));  // address + 4 wraps around
    std::vector<std::uint8_t> tiny(3);
    EXPECT_FALSE(PutSerial(tiny, 0, 1));
    EXPECT_EQ(memory, before);
}

SerialSpec Numbering(std::uint32_t first, std::uint32_t step = 1)
{
    return SerialSpec{EepromKind, 0, first, step};
}

std::vector<std::uint32_t> TakeAll(SerialAllocator& allocator, int count)
{
    std::vector<std::uint32_t> numbers;
    for (int i = 0; i < count; ++i) {
        QString problem;
        const std::optional<std::uint32_t> n = allocator.Take(&problem);
        EXPECT_TRUE(n) << problem.toStdString();
        if (n)
            numbers.push_back(*n);
    }
    return numbers;
}

QByteArray FileText(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

TEST(SerialAllocator, CountsByStepAndStopsAtThe32BitEnd)
{
    SerialAllocator counting(Numbering(1000, 3));
    EXPECT_EQ(TakeAll(counting, 3), (std::vector<std::uint32_t>{1000, 1003, 1006}));

    SerialAllocator last(Numbering(0xFFFFFFFE));
    EXPECT_EQ(TakeAll(last, 2), (std::vector<std::uint32_t>{0xFFFFFFFE, 0xFFFFFFFF}));
    QString problem;
    EXPECT_FALSE(last.Take(&problem));  // never wraps around to 0
    EXPECT_FALSE(problem.isEmpty());
}

TEST(SerialAllocator, TheStateFileCarriesTheNextNumberAcrossRuns)
{
    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("serial.state"));
    {
        SerialAllocator run(Numbering(1000), state);
        EXPECT_EQ(TakeAll(run, 2), (std::vector<std::uint32_t>{1000, 1001}));
    }
    EXPECT_EQ(FileText(state), QByteArray("1002\n"));
    SerialAllocator again(Numbering(1000), state);
    EXPECT_EQ(TakeAll(again, 1), (std::vector<std::uint32_t>{1002}));

    // A higher FIRST starts a new range; a lower one never gives a number out again.
    SerialAllocator higher(Numbering(5000), state);
    EXPECT_EQ(TakeAll(higher, 1), (std::vector<std::uint32_t>{5000}));
    SerialAllocator lower(Numbering(1), state);
    EXPECT_EQ(TakeAll(lower, 1), (std::vector<std::uint32_t>{5001}));
}

TEST(SerialAllocator, ARefusedStateFileIsLeftAsItIs)
{
    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("serial.state"));
    for (const QByteArray& text : {QByteArray("12x\n"), QByteArray("-4\n"), QByteArray("4294967296\n")}) {
        SCOPED_TRACE(text.toStdString());
        {
            QFile file(state);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(text);
        }
        SerialAllocator run(Numbering(1), state);
        QString problem;
        EXPECT_FALSE(run.Take(&problem));
        EXPECT_FALSE(problem.isEmpty());
        EXPECT_EQ(FileText(state), text);
    }
    SerialAllocator missingFolder(Numbering(1), dir.filePath(QStringLiteral("no/such/folder/state")));
    QString problem;
    EXPECT_FALSE(missingFolder.Take(&problem));
}

// Several allocators on one state file, each on its own thread: the file lock alone keeps them
// apart, as it does separate processes.
TEST(SerialAllocator, SharersOfOneStateFileNeverGetTheSameNumber)
{
    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("serial.state"));
    constexpr int Sharers = 4;
    constexpr int Each = 15;
    std::vector<std::vector<std::uint32_t>> got(Sharers);
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < Sharers; ++t)
            threads.emplace_back([&, t] {
                SerialAllocator own(Numbering(100, 2), state);
                got[std::size_t(t)] = TakeAll(own, Each);
            });
    }
    std::set<std::uint32_t> all;
    for (const auto& numbers : got)
        all.insert(numbers.begin(), numbers.end());
    EXPECT_EQ(all.size(), std::size_t(Sharers * Each));
    EXPECT_EQ(*all.begin(), 100u);
    EXPECT_EQ(*all.rbegin(), 100u + 2 * (Sharers * Each - 1));
    EXPECT_EQ(FileText(state), QByteArray::number(100 + 2 * Sharers * Each) + '\n');
}

}  // namespace
}  // namespace velmora
