#include "chips/filecommands.h"

#include "log/filebytes.h"

#include <QByteArray>

#include <algorithm>
#include <string_view>

namespace velmora {

namespace {

unsigned LoadLineKind(int kind)
{
    return kind == FlashKind ? LogLoadProgram : LogLoadData;
}

unsigned SaveLineKind(int kind)
{
    return kind == FlashKind ? LogSaveProgram : LogSaveData;
}

// The part of the buffer the current chip has; never more than the buffer.
std::span<std::uint8_t> Memory(const ImageFileTarget& target)
{
    return target.image.first(std::min<std::size_t>(target.size, target.image.size()));
}

// The binary loops move the bar every 1024 bytes; the bytes themselves move in one block.
void StepThroughBlocks(const FileCommandContext& context, std::size_t size)
{
    if (!context.progress)
        return;
    for (std::size_t a = 0; a < size; a += 1024)
        context.progress(ProgressPercent(a, size));
}

void Render(const ImageFileTarget& target)
{
    if (target.renderView)
        target.renderView();
}

// Both writers: the save line, the view back into the image, the file replaced in one go.
bool WriteImage(const QString& name, const ImageFileTarget& target, const FileCommandContext& context,
                ImageFileFormat format)
{
    context.log.WriteLog(SaveLineKind(target.kind), name);
    if (target.parseView)
        target.parseView();
    const std::span<const std::uint8_t> memory = Memory(target);
    std::string hexText;
    std::string_view bytes;
    if (format == ImageFileFormat::IntelHex) {
        // Only the program memory can pass 64 KiB, so only it carries address records.
        hexText = FormatHexText(memory, target.kind == FlashKind, context.progress);
        bytes = hexText;
    } else {
        StepThroughBlocks(context, memory.size());
        bytes = std::string_view(reinterpret_cast<const char*>(memory.data()), memory.size());
    }
    if (!ReplaceFileBytes(name, bytes)) {
        context.reportError(QStringLiteral("Cannot create file %1").arg(name));
        return false;
    }
    context.log.WriteLog(LogComplete);
    return true;
}

bool EndsWith(const QString& name, QLatin1StringView ending)
{
    return name.right(3).toUpper() == ending;
}

}  // namespace

ImageFileFormat LoadFormatFor(const QString& name)
{
    return EndsWith(name, QLatin1StringView("BIN")) ? ImageFileFormat::Binary : ImageFileFormat::IntelHex;
}

SaveTarget SaveTargetFor(const QString& name, int filterIndex)
{
    struct FilterType {
        QLatin1StringView ending;
        QLatin1StringView extension;
        ImageFileFormat format;
    };
    static const FilterType Types[] = {
        {QLatin1StringView("HEX"), QLatin1StringView(".hex"), ImageFileFormat::IntelHex},
        {QLatin1StringView("EEP"), QLatin1StringView(".eep"), ImageFileFormat::IntelHex},
        {QLatin1StringView("BIN"), QLatin1StringView(".bin"), ImageFileFormat::Binary},
    };
    const FilterType& type = filterIndex == 1 ? Types[0] : filterIndex == 2 ? Types[1] : Types[2];
    return {EndsWith(name, type.ending) ? name : name + type.extension, type.format};
}

QString WrongFileText(const HexReadResult& result)
{
    switch (result.stop) {
    case HexStop::SegmentStart:
        return QStringLiteral(" (from 8086/80186)");
    case HexStop::LinearStart:
        return QStringLiteral(" (from 80386)");
    case HexStop::UnknownType:
        return QStringLiteral(" (unknown format)");
    case HexStop::BadRecord:
        return QStringLiteral(" (bad record in line %1)").arg(result.line + 1);
    case HexStop::EndOfText:
    case HexStop::EndRecord:
        break;
    }
    return {};
}

bool ReadHexFile(const QString& name, const ImageFileTarget& target, const FileCommandContext& context)
{
    context.log.WriteLog(LoadLineKind(target.kind), name);
    QByteArray text;
    if (!ReadFileBytes(name, &text)) {
        context.reportError(QStringLiteral("Cannot open file %1").arg(name));
        return false;
    }
    const HexReadResult result = ParseHexText(std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                                              target.image, target.size, context.progress);
    if (result.stop == HexStop::EndRecord)
        context.log.WriteLog(LogComplete);
    else if (result.stop != HexStop::EndOfText)
        context.log.WriteLog(LogWrongFile, WrongFileText(result));
    Render(target);
    return result.stop == HexStop::EndRecord || result.stop == HexStop::EndOfText;
}

bool WriteHexFile(const QString& name, const ImageFileTarget& target, const FileCommandContext& context)
{
    return WriteImage(name, target, context, ImageFileFormat::IntelHex);
}

bool ReadBinFile(const QString& name, const ImageFileTarget& target, const FileCommandContext& context)
{
    const std::span<std::uint8_t> memory = Memory(target);
    // Bytes of the file beyond the memory are not read.
    QByteArray bytes;
    if (!ReadFileBytes(name, &bytes, static_cast<std::int64_t>(memory.size()))) {
        context.reportError(QStringLiteral("Cannot open file %1").arg(name));
        return false;
    }
    context.log.WriteLog(LoadLineKind(target.kind), name);
    StepThroughBlocks(context, memory.size());
    // A shorter file leaves the rest of the image as it was.
    std::copy_n(bytes.constData(), std::min(memory.size(), static_cast<std::size_t>(bytes.size())), memory.begin());
    Render(target);
    context.log.WriteLog(LogComplete);
    return true;
}

bool WriteBinFile(const QString& name, const ImageFileTarget& target, const FileCommandContext& context)
{
    return WriteImage(name, target, context, ImageFileFormat::Binary);
}

bool ReadImageFile(const QString& name, ImageFileFormat format, const ImageFileTarget& target,
                   const FileCommandContext& context)
{
    return format == ImageFileFormat::Binary ? ReadBinFile(name, target, context) : ReadHexFile(name, target, context);
}

bool WriteImageFile(const QString& name, ImageFileFormat format, const ImageFileTarget& target,
                    const FileCommandContext& context)
{
    return WriteImage(name, target, context, format);
}

void LoadImageFile(const QString& name, std::int32_t signatureCode, const ImageFileTarget& target,
                   const FileCommandContext& context)
{
    if (signatureCode == 0) {
        context.log.WriteLog(LogNoChip);
        return;
    }
    ReadImageFile(name, LoadFormatFor(name), target, context);
}

void SaveImageFile(const QString& name, int filterIndex, const ImageFileTarget& target,
                   const FileCommandContext& context)
{
    const SaveTarget save = SaveTargetFor(name, filterIndex);
    WriteImage(save.name, target, context, save.format);
}

}  // namespace velmora
