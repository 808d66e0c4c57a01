#include "chips/filecommands.h"

#include "chips/elffile.h"
#include "chips/srecfile.h"
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
    if (format == ImageFileFormat::Elf) {
        // An ELF file is the linker's work, with code, symbols and sections; it is read, never made.
        context.reportError(WithReason(QStringLiteral("Cannot create file %1"), name,
                                       QStringLiteral("ELF files are read only; save as Intel HEX, S-record or binary")));
        return false;
    }
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
        } else if (format == ImageFileFormat::Srec) {
            hexText = FormatSrecText(memory, progress);
            bytes = hexText;
        } else {
            StepThroughBlocks(progress, memory.size());
            bytes = std::string_view(reinterpret_cast<const char*>(memory.data()), memory.size());
        }
        written = context.writeBytes ? context.writeBytes(bytes, &reason) : ReplaceFileBytes(name, bytes, &reason);
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
    return name.right(ending.size()).toUpper() == ending;
}

}  // namespace

std::optional<ImageFileFormat> LoadFormatFor(const QString& name)
{
    return FormatByName(name.toStdString());
}

QString UnknownFormatText()
{
    return QStringLiteral(" (unknown format: neither Intel HEX, Motorola S-record nor ELF; a binary image needs a name "
                          "ending in .bin or .raw)");
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
        {QLatin1StringView("SREC"), QLatin1StringView(".srec"), ImageFileFormat::Srec},
    };
    // An extension the user typed names the format: "x.bin" under "*.hex" is a binary x.bin.
    for (const FilterType& typed : Types)
        if (name.endsWith(typed.extension, Qt::CaseInsensitive) && name.size() > typed.extension.size())
            return {name, typed.format};
    const FilterType& type = filterIndex >= 1 && filterIndex <= 4 && filterIndex != 3 ? Types[filterIndex - 1] : Types[2];
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
    case HexStop::EndOfText:
    case HexStop::EndRecord:
        break;
    }
    return {};
}

QString NoEndRecordText(std::size_t lines)
{
    return QStringLiteral("Warning: the file has no end record; it may be cut short after line %1").arg(lines);
}

QString DroppedBytesText(std::uint64_t count, std::uint64_t firstAddress)
{
    const QString address = QStringLiteral("0x") + QString::number(firstAddress, 16).toUpper().rightJustified(8, QLatin1Char('0'));
    if (count == 0)
        return QStringLiteral("Bytes beyond the memory were not loaded, from address %1").arg(address);
    return QStringLiteral("%1 bytes beyond the memory were not loaded, from address %2").arg(count).arg(address);
}

namespace {

// What one load found, for the lines written after it.
struct LoadOutcome {
    bool opened = false;
    QString reason;                      // why the file could not be opened or read
    std::optional<ImageFileFormat> format;  // empty: none the file or its name shows
    HexReadResult result;                // the record readers' and the ELF reader's placement
    QString refusal;                     // the ELF reader's reason, or none
    std::int64_t beyond = 0;             // binary: bytes past the memory; -1 some, how many not known
};

QString TooLargeText(std::int64_t limit, const char* what)
{
    return QStringLiteral("It holds more than %1 MB, far more than %2 of any chip's memory")
        .arg(limit >> 20)
        .arg(QLatin1String(what));
}

// Reads up to max bytes from file into out, as many as it gives before its end; false on a failure.
bool ReadUpTo(FileReader& file, std::vector<char>& out, std::size_t max, QString& reason)
{
    while (out.size() < max) {
        const std::size_t at = out.size();
        out.resize(max);
        const std::int64_t n = file.Read(out.data() + at, static_cast<std::int64_t>(max - at));
        out.resize(at + static_cast<std::size_t>(std::max<std::int64_t>(n, 0)));
        if (n < 0) {
            reason = file.Error();
            return false;
        }
        if (n == 0)
            break;
    }
    return true;
}

// A record text (Intel HEX, S-record) through its reader, piece by piece: memory stays bounded
// whatever the file.
template <class Reader>
bool ReadRecords(FileReader& file, std::string_view head, Reader& reader, const ProgressFn& progress,
                 LoadOutcome& outcome)
{
    std::int64_t total = static_cast<std::int64_t>(head.size());
    if (reader.Feed(head)) {
        std::vector<char> piece(std::size_t(1) << 16);
        for (;;) {
            const std::int64_t n = file.Read(piece.data(), static_cast<std::int64_t>(piece.size()));
            if (n < 0) {
                outcome.reason = file.Error();
                return false;
            }
            if (n == 0)
                break;
            total += n;
            if (total > HexFileLimit) {
                outcome.reason = TooLargeText(HexFileLimit, "a record file");
                return false;
            }
            if (progress && file.Size() > 0)
                progress(static_cast<int>(std::min<std::int64_t>(100, total * 100 / file.Size())));
            if (!reader.Feed(std::string_view(piece.data(), static_cast<std::size_t>(n))))
                break;
        }
    }
    outcome.result = reader.Finish();
    return true;
}

// The binary file: the first bytes, as many as the memory holds; the image takes only what was
// read completely.
bool ReadBinary(FileReader& file, std::vector<char> head, std::span<std::uint8_t> memory,
                std::span<std::uint8_t> defined, const ProgressFn& progress, LoadOutcome& outcome)
{
    std::vector<char> bytes = std::move(head);
    const std::size_t headSize = bytes.size();
    if (bytes.size() > memory.size())
        bytes.resize(memory.size());
    if (!ReadUpTo(file, bytes, memory.size(), outcome.reason))
        return false;
    if (file.Size() >= 0) {
        outcome.beyond = std::max<std::int64_t>(0, file.Size() - static_cast<std::int64_t>(memory.size()));
    } else if (headSize > memory.size()) {
        outcome.beyond = -1;
    } else if (bytes.size() == memory.size()) {
        char next = 0;
        outcome.beyond = file.Read(&next, 1) > 0 ? -1 : 0;
    }
    StepThroughBlocks(progress, memory.size());
    std::copy(bytes.begin(), bytes.end(), reinterpret_cast<char*>(memory.data()));
    std::fill_n(defined.begin(), std::min(bytes.size(), defined.size()), std::uint8_t{1});
    return true;
}

bool ReadElf(FileReader& file, std::vector<char> head, const ImageFileTarget& target, std::span<std::uint8_t> defined,
             LoadOutcome& outcome)
{
    std::vector<char> bytes = std::move(head);
    if (!ReadUpTo(file, bytes, ElfFileLimit + 1, outcome.reason))
        return false;
    if (static_cast<std::int64_t>(bytes.size()) > ElfFileLimit) {
        outcome.reason = TooLargeText(ElfFileLimit, "an ELF file");
        return false;
    }
    ImagePlacer placer(target.image, target.size, target.kind == EepromKind ? PlaceInto::Eeprom : PlaceInto::Flash,
                       defined);
    outcome.refusal = QString::fromStdString(PlaceElfImage(std::as_bytes(std::span(bytes)), placer));
    outcome.result.stop = outcome.refusal.isEmpty() ? HexStop::EndRecord : HexStop::BadRecord;
    TakePlacement(placer, outcome.result);
    return true;
}

}  // namespace

bool ReadImageFile(const QString& name, std::optional<ImageFileFormat> format, const ImageFileTarget& target,
                   const FileCommandContext& context)
{
    // The binary reader has always opened the file before it logs anything; the others log first.
    const std::optional<ImageFileFormat> byName = LoadFormatFor(name);
    const bool binaryByName = format ? *format == ImageFileFormat::Binary : byName == ImageFileFormat::Binary;
    if (!binaryByName)
        context.log.WriteLog(LoadLineKind(target.kind), name);
    Parse(target);
    LoadOutcome outcome;
    // The file goes into a copy first; the image takes it only when the whole file is accepted.
    const std::span<std::uint8_t> memory = Memory(target);
    std::vector<std::uint8_t> staged(memory.begin(), memory.end());
    std::vector<std::uint8_t> defined(memory.size(), 0);
    ImageFileTarget staging = target;
    staging.image = staged;
    staging.size = static_cast<std::uint32_t>(staged.size());
    std::uint64_t fileSize = 0;
    Run(context, [&](const ProgressFn& progress) {
        FileReader file(name);
        if (!file.Open()) {
            outcome.reason = file.Error();
            return;
        }
        std::vector<char> head;
        if (!ReadUpTo(file, head, HeadSize, outcome.reason))
            return;
        fileSize = head.size();
        const std::string_view headText(head.data(), head.size());
        outcome.format = format ? format : FormatByContent(headText);
        if (!outcome.format)
            outcome.format = byName;
        if (binaryByName)
            context.log.WriteLog(LoadLineKind(target.kind), name);
        const PlaceInto into = target.kind == EepromKind ? PlaceInto::Eeprom : PlaceInto::Flash;
        if (!outcome.format) {
            outcome.opened = true;
        } else if (*outcome.format == ImageFileFormat::IntelHex) {
            HexReader reader(staged, staged.size(), into, defined);
            outcome.opened = ReadRecords(file, headText, reader, progress, outcome);
        } else if (*outcome.format == ImageFileFormat::Srec) {
            SrecReader reader(staged, staged.size(), into, defined);
            outcome.opened = ReadRecords(file, headText, reader, progress, outcome);
        } else if (*outcome.format == ImageFileFormat::Elf) {
            outcome.opened = ReadElf(file, std::move(head), staging, defined, outcome);
        } else {
            outcome.opened = ReadBinary(file, std::move(head), staged, defined, progress, outcome);
        }
    });
    if (!outcome.opened) {
        ReportOpenError(context, name, outcome.reason);
        return false;
    }
    if (target.facts && outcome.format)
        *target.facts = {*outcome.format, outcome.result.fuses, outcome.result.eepromSection};
    if (!outcome.format) {
        context.log.WriteLog(LogWrongFile, UnknownFormatText());
        return false;
    }
    const bool binary = *outcome.format == ImageFileFormat::Binary;
    if (binary) {
        outcome.result.droppedBytes = outcome.beyond < 0 ? 0 : static_cast<std::uint64_t>(outcome.beyond);
        outcome.result.firstDropped = memory.size();
    } else if (!outcome.refusal.isEmpty()) {
        context.log.WriteLog(LogWrongFile, QStringLiteral(" (") + outcome.refusal + QLatin1Char(')'));
        return false;
    } else if (outcome.result.stop != HexStop::EndRecord && outcome.result.stop != HexStop::EndOfText) {
        context.log.WriteLog(LogWrongFile, WrongFileText(outcome.result));
        return false;
    }
    const bool dropped = outcome.result.droppedBytes != 0 || outcome.beyond < 0;
    if (dropped)
        context.log.WriteLog(LogPlain, DroppedBytesText(outcome.result.droppedBytes, outcome.result.firstDropped));
    // A file with no byte for this memory is no image of it: an empty file, an end record alone,
    // a program for another memory or a larger chip.
    if (std::find(defined.begin(), defined.end(), std::uint8_t{1}) == defined.end()) {
        // Unless only its lock and fuse bytes are wanted: the memory stays as it was.
        if (target.fusesAlone && outcome.result.fuses.Any()) {
            context.log.WriteLog(LogComplete);
            return true;
        }
        context.log.WriteLog(LogWrongFile, fileSize == 0 ? QStringLiteral(" (empty file, no data record)")
                                           : dropped     ? QStringLiteral(" (no data for this memory)")
                                                         : QStringLiteral(" (no data record)"));
        return false;
    }
    std::copy(staged.begin(), staged.end(), memory.begin());
    if (target.defined)
        *target.defined = std::move(defined);
    Render(target);
    if (binary || outcome.result.stop == HexStop::EndRecord)
        context.log.WriteLog(LogComplete);
    else
        context.log.WriteLog(LogPlain, NoEndRecordText(outcome.result.lines));
    return true;
}

bool ReadHexFile(const QString& name, const ImageFileTarget& target, const FileCommandContext& context)
{
    return ReadImageFile(name, ImageFileFormat::IntelHex, target, context);
}

bool WriteHexFile(const QString& name, const ImageFileTarget& target, const FileCommandContext& context)
{
    return WriteImage(name, target, context, ImageFileFormat::IntelHex);
}

bool ReadBinFile(const QString& name, const ImageFileTarget& target, const FileCommandContext& context)
{
    return ReadImageFile(name, ImageFileFormat::Binary, target, context);
}

bool WriteBinFile(const QString& name, const ImageFileTarget& target, const FileCommandContext& context)
{
    return WriteImage(name, target, context, ImageFileFormat::Binary);
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
    ReadImageFile(name, std::nullopt, target, context);
}

void SaveImageFile(const QString& name, int filterIndex, const ImageFileTarget& target,
                   const FileCommandContext& context)
{
    const SaveTarget save = SaveTargetFor(name, filterIndex);
    WriteImage(save.name, target, context, save.format);
}

}  // namespace velmora
