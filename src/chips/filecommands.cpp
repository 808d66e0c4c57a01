#include "chips/filecommands.h"

#include "log/filebytes.h"


#include <algorithm>
#include <optional>
#include <vector>
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
void StepThroughBlocks(const ProgressFn& progress, std::size_t size)
{
    if (!progress)
        return;
    for (std::size_t a = 0; a < size; a += 1024)
        progress(ProgressPercent(a, size));
}

void Render(const ImageFileTarget& target)
{
    if (target.renderView)
        target.renderView();
}

void Parse(const ImageFileTarget& target)
{
    if (target.parseView)
        target.parseView();
}

void Run(const FileCommandContext& context, const FileWork& work)
{
    if (context.run)
        context.run(work);
    else
        work(context.progress);
}

QString WithReason(const QString& first, const QString& name, const QString& reason)
{
    return reason.isEmpty() ? first.arg(name) : first.arg(name) + QLatin1Char('\n') + reason;
}

void ReportOpenError(const FileCommandContext& context, const QString& name, const QString& reason)
{
    context.reportError(WithReason(QStringLiteral("Cannot open file %1"), name, reason));
}

// Both writers: the save line, the view back into the image, the file replaced in one go.
bool WriteImage(const QString& name, const ImageFileTarget& target, const FileCommandContext& context,
                ImageFileFormat format)
{
    context.log.WriteLog(SaveLineKind(target.kind), name);
    Parse(target);
    bool written = false;
    QString reason;
    Run(context, [&](const ProgressFn& progress) {
        const std::span<const std::uint8_t> memory = Memory(target);
        std::string hexText;
        std::string_view bytes;
        if (format == ImageFileFormat::IntelHex) {
            // Only the program memory can pass 64 KiB, so only it carries address records.
            hexText = FormatHexText(memory, target.kind == FlashKind, progress);
            bytes = hexText;
        } else {
            StepThroughBlocks(progress, memory.size());
            bytes = std::string_view(reinterpret_cast<const char*>(memory.data()), memory.size());
        }
        written = ReplaceFileBytes(name, bytes, &reason);
    });
    if (!written) {
        context.reportError(WithReason(QStringLiteral("Cannot create file %1"), name, reason));
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
    case HexStop::UnknownType:
        return QStringLiteral(" (unknown format)");
    case HexStop::BadRecord:
        return QStringLiteral(" (bad record in line %1)").arg(result.line + 1);
    case HexStop::BadChecksum:
        return (result.checksumMissing ? QStringLiteral(" (checksum missing in line %1)")
                                       : QStringLiteral(" (checksum wrong in line %1)"))
            .arg(result.line + 1);
    case HexStop::NoData:
        if (result.line < result.lines)
            return QStringLiteral(" (no data record before the end record in line %1)").arg(result.line + 1);
        return result.lines == 0 ? QStringLiteral(" (empty file, no data record)")
                                 : QStringLiteral(" (no data record in its %1 lines)").arg(result.lines);
    case HexStop::EndOfText:
    case HexStop::EndRecord:
        break;
    }
    return {};
}

QString NoEndRecordText(const HexReadResult& result)
{
    return QStringLiteral("Warning: the file has no end record; it may be cut short after line %1").arg(result.lines);
}

QString DroppedBytesText(std::uint64_t count, std::uint64_t firstAddress)
{
    const QString address = QStringLiteral("0x") + QString::number(firstAddress, 16).toUpper().rightJustified(8, QLatin1Char('0'));
    if (count == 0)
        return QStringLiteral("Bytes beyond the memory were not loaded, from address %1").arg(address);
    return QStringLiteral("%1 bytes beyond the memory were not loaded, from address %2").arg(count).arg(address);
}

bool ReadHexFile(const QString& name, const ImageFileTarget& target, const FileCommandContext& context)
{
    context.log.WriteLog(LoadLineKind(target.kind), name);
    Parse(target);
    std::optional<HexReadResult> result;
    QString reason;
    // The file goes into a copy first; the image takes it only when the whole file is accepted.
    const std::span<std::uint8_t> memory = Memory(target);
    std::vector<std::uint8_t> staged(memory.begin(), memory.end());
    std::vector<std::uint8_t> defined(memory.size(), 0);
    Run(context, [&](const ProgressFn& progress) {
        FileReader file(name);
        if (!file.Open()) {
            reason = file.Error();
            return;
        }
        const QString tooLarge = QStringLiteral("It holds more than %1 MB, far more than an Intel HEX file of any chip's memory")
                                     .arg(HexFileLimit >> 20);
        if (file.Size() > HexFileLimit) {
            reason = tooLarge;
            return;
        }
        // The text goes through the reader piece by piece: memory stays bounded whatever the file.
        HexReader reader(staged, staged.size(), target.kind == EepromKind ? EepromSectionAddress : 0, defined);
        std::vector<char> piece(std::size_t(1) << 16);
        std::int64_t total = 0;
        for (;;) {
            const std::int64_t n = file.Read(piece.data(), static_cast<std::int64_t>(piece.size()));
            if (n < 0) {
                reason = file.Error();
                return;
            }
            if (n == 0)
                break;
            total += n;
            if (total > HexFileLimit) {
                reason = tooLarge;
                return;
            }
            if (progress && file.Size() > 0)
                progress(static_cast<int>(std::min<std::int64_t>(100, total * 100 / file.Size())));
            if (!reader.Feed(std::string_view(piece.data(), static_cast<std::size_t>(n))))
                break;
        }
        result = reader.Finish();
    });
    if (!result) {
        ReportOpenError(context, name, reason);
        return false;
    }
    if (result->stop != HexStop::EndRecord && result->stop != HexStop::EndOfText) {
        context.log.WriteLog(LogWrongFile, WrongFileText(*result));
        return false;
    }
    std::copy(staged.begin(), staged.end(), memory.begin());
    if (target.defined)
        *target.defined = std::move(defined);
    if (result->droppedBytes != 0)
        context.log.WriteLog(LogPlain, DroppedBytesText(result->droppedBytes, result->firstDropped));
    if (result->stop == HexStop::EndRecord)
        context.log.WriteLog(LogComplete);
    else
        context.log.WriteLog(LogPlain, NoEndRecordText(*result));
    Render(target);
    return true;
}

bool WriteHexFile(const QString& name, const ImageFileTarget& target, const FileCommandContext& context)
{
    return WriteImage(name, target, context, ImageFileFormat::IntelHex);
}

bool ReadBinFile(const QString& name, const ImageFileTarget& target, const FileCommandContext& context)
{
    const std::span<std::uint8_t> memory = Memory(target);
    Parse(target);
    bool loaded = false;
    std::int64_t beyond = 0;  // bytes of the file past the memory; -1: some, how many not known
    QString reason;
    Run(context, [&](const ProgressFn& progress) {
        FileReader file(name);
        if (!file.Open()) {
            reason = file.Error();
            return;
        }
        context.log.WriteLog(LoadLineKind(target.kind), name);
        // Bytes of the file beyond the memory are not read; a shorter file leaves the rest of
        // the image as it was. The image takes only what was read completely.
        std::vector<std::uint8_t> bytes(memory.size());
        std::size_t got = 0;
        while (got < bytes.size()) {
            const std::int64_t n =
                file.Read(reinterpret_cast<char*>(bytes.data() + got), static_cast<std::int64_t>(bytes.size() - got));
            if (n < 0) {
                reason = file.Error();
                return;
            }
            if (n == 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        if (file.Size() >= 0) {
            beyond = std::max<std::int64_t>(0, file.Size() - static_cast<std::int64_t>(memory.size()));
        } else if (got == memory.size()) {
            char next = 0;
            beyond = file.Read(&next, 1) > 0 ? -1 : 0;
        }
        StepThroughBlocks(progress, memory.size());
        std::copy_n(bytes.begin(), got, memory.begin());
        if (target.defined) {
            target.defined->assign(memory.size(), 0);
            std::fill_n(target.defined->begin(), got, std::uint8_t{1});
        }
        loaded = true;
    });
    if (!loaded) {
        ReportOpenError(context, name, reason);
        return false;
    }
    Render(target);
    if (beyond != 0)
        context.log.WriteLog(LogPlain, DroppedBytesText(beyond < 0 ? 0 : static_cast<std::uint64_t>(beyond), memory.size()));
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
