// Loading and saving a 256 KiB program image as Intel HEX and as raw binary, through the same
// functions the File menu uses, without a view. Targets: HEX under 50 ms each way, binary under 5 ms.

#include "chips/filecommands.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <cstdlib>
#include <vector>

namespace velmora {
namespace {

constexpr std::uint32_t ProgramSize = 262144;

struct Setup {
    QTemporaryDir dir;
    OperationLog log;
    std::vector<std::uint8_t> image = std::vector<std::uint8_t>(ProgramSize);
    FileCommandContext context{log, [](const QString&) { std::abort(); }, {}};

    Setup()
    {
        for (std::size_t a = 0; a < image.size(); ++a)
            image[a] = static_cast<std::uint8_t>(a * 31 + (a >> 9));
    }
    ImageFileTarget Program() { return {FlashKind, image, ProgramSize, {}, {}}; }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

void SaveProgramHex(benchmark::State& state)
{
    Setup s;
    for (auto _ : state)
        WriteHexFile(s.Path("p.hex"), s.Program(), s.context);
}
BENCHMARK(SaveProgramHex)->Unit(benchmark::kMillisecond);

void LoadProgramHex(benchmark::State& state)
{
    Setup s;
    WriteHexFile(s.Path("p.hex"), s.Program(), s.context);
    for (auto _ : state)
        ReadHexFile(s.Path("p.hex"), s.Program(), s.context);
}
BENCHMARK(LoadProgramHex)->Unit(benchmark::kMillisecond);

void SaveProgramBin(benchmark::State& state)
{
    Setup s;
    for (auto _ : state)
        WriteBinFile(s.Path("p.bin"), s.Program(), s.context);
}
BENCHMARK(SaveProgramBin)->Unit(benchmark::kMillisecond);

void LoadProgramBin(benchmark::State& state)
{
    Setup s;
    WriteBinFile(s.Path("p.bin"), s.Program(), s.context);
    for (auto _ : state)
        ReadBinFile(s.Path("p.bin"), s.Program(), s.context);
}
BENCHMARK(LoadProgramBin)->Unit(benchmark::kMillisecond);

// The codec alone, to tell its share from the file system's.
void FormatProgramHexText(benchmark::State& state)
{
    Setup s;
    for (auto _ : state)
        benchmark::DoNotOptimize(FormatHexText(s.image, true));
}
BENCHMARK(FormatProgramHexText)->Unit(benchmark::kMillisecond);

void ParseProgramHexText(benchmark::State& state)
{
    Setup s;
    const std::string text = FormatHexText(s.image, true);
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseHexText(text, s.image, ProgramSize));
}
BENCHMARK(ParseProgramHexText)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora

BENCHMARK_MAIN();
