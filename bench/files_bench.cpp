// Loading and saving a 256 KiB program image as Intel HEX and as raw binary, through the same
// functions the File menu uses, without a view and with one. Targets without the view: HEX
// under 50 ms each way, binary under 5 ms.

#include "chips/filecommands.h"
#include "views/workspace.h"

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
    FileCommandContext context{log, [](const QString&) { std::abort(); }, {}, {}};

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

// The same through a view, as the File menu does it: the load redraws the flash view of
// "Page1", the save first takes it back into the image.
struct ViewSetup : Setup {
    Workspace work;
    ViewSetup()
    {
        work.SelectChip(MakeSignatureCode(0x1E, 0x98, 0x01), log);  // ATmega2560, 256 KiB
        std::copy(image.begin(), image.end(), work.CurrentChip().FlashImage.begin());
        work.RenderView(1, FlashKind);
    }
    ImageFileTarget ProgramView()
    {
        return {FlashKind, work.CurrentChip().FlashImage, work.CurrentChip().ImageSize(FlashKind),
                [this] { work.RenderView(1, FlashKind); }, [this] { work.ParseView(1, FlashKind); }};
    }
};

void SaveProgramHexFromView(benchmark::State& state)
{
    ViewSetup s;
    for (auto _ : state)
        WriteHexFile(s.Path("p.hex"), s.ProgramView(), s.context);
}
BENCHMARK(SaveProgramHexFromView)->Unit(benchmark::kMillisecond);

void LoadProgramHexIntoView(benchmark::State& state)
{
    ViewSetup s;
    WriteHexFile(s.Path("p.hex"), s.ProgramView(), s.context);
    for (auto _ : state)
        ReadHexFile(s.Path("p.hex"), s.ProgramView(), s.context);
}
BENCHMARK(LoadProgramHexIntoView)->Unit(benchmark::kMillisecond);

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
