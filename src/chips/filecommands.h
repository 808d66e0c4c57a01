#pragma once
// The File menu commands that load and save the memory images, and the Intel HEX and binary
// file readers and writers behind them. Nothing here uses widgets: the window passes in the
// image, the current chip's size for it, the active page's view operations and the message box.

#include "chips/chip.h"
#include "chips/hexfile.h"
#include "chips/imageformat.h"
#include "log/operationlog.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace velmora {

// The format a file's name shows (FormatByName): "BIN" as the last three characters, in any
// case, is binary (also in "imagebin"). A load goes by the file's content first
// (FormatByContent), then by this; a file neither shows is refused, naming the formats known.
std::optional<ImageFileFormat> LoadFormatFor(const QString& name);

// A save of a name typed with the extension .hex, .eep, .bin or .srec (any case) takes that
// format and name: "fw.bin" is binary under any filter. Any other name takes the save dialog's
// filter (index from 1: hex, eep, bin, srec; any other index is bin), whose extension is
// appended unless the name's last three characters, in upper case, are already it: "fw" -> "fw.hex".
struct SaveTarget {
    QString name;
    ImageFileFormat format;
};
SaveTarget SaveTargetFor(const QString& name, int filterIndex);

// One memory as the file commands see it.
struct ImageFileTarget {
    int kind = FlashKind;              // FlashKind (FlashImage) or EepromKind (EepromImage)
    std::span<std::uint8_t> image;     // the whole buffer
    std::uint32_t size = 0;            // the bytes of it the current chip has (0 with no chip)
    std::function<void()> renderView;  // RenderView on the active page's view for kind; may be empty
    std::function<void()> parseView;   // ParseView likewise; may be empty
    struct ImageFileFacts* facts = nullptr;  // filled by a load that opened the file; may be null
    // Filled by a load that is accepted: one byte per byte of the memory, 1 where the file gave
    // the byte (a verify of the file compares only those). May be null.
    std::vector<std::uint8_t>* defined = nullptr;
    // A file with lock and fuse bytes but no byte of the memory is accepted too (it is read for
    // those bytes alone); otherwise it is refused as no image of the memory.
    bool fusesAlone = false;
};

// What a load found in the file beside the bytes of the memory it loaded.
struct ImageFileFacts {
    ImageFileFormat format = ImageFileFormat::IntelHex;
    FileFuseBytes fuses;         // the lock and fuse bytes of its .fuse and .lock sections
    bool eepromSection = false;  // it holds EEPROM data at the toolchain's 0x810000 too
};

// The reading or writing of one file command, given the progress bar to move.
using FileWork = std::function<void(const ProgressFn& progress)>;

struct FileCommandContext {
    OperationLog& log;
    std::function<void(const QString& text)> reportError;  // the application's error message box
    ProgressFn progress;                                     // the progress bar; may be empty
    // Runs the file work away from the window (a worker thread with the progress window) and
    // returns when it is done; empty: the work runs at once with progress. The views and the
    // message box are used only outside it.
    std::function<void(const FileWork& work)> run;
    // Takes a writer's bytes instead of the named file (velmora-cli's standard output); false
    // with *reason when they could not all be written. Empty: the file is replaced.
    std::function<bool(std::string_view bytes, QString* reason)> writeBytes = {};
};

// Intel HEX of the largest memory (256 KiB) takes under 4 MB even as one-byte records; a longer
// file or stream is no image for any chip and is refused rather than read on.
inline constexpr std::int64_t HexFileLimit = 16 << 20;
// An avr-gcc ELF file with all its debugging sections stays far below this.
inline constexpr std::int64_t ElfFileLimit = 64 << 20;
// The first bytes of a file, by which a load tells its format.
inline constexpr std::size_t HeadSize = 4096;

// Log texts of the reader's stops, for kind 13 ("Wrong file"); empty for the two ordinary ends.
QString WrongFileText(const HexReadResult& result);
// The warning for a record text that ended without its end record after lines lines.
QString NoEndRecordText(std::size_t lines);
// The kind 13 text for a file whose content and name show no format the program reads.
QString UnknownFormatText();
// The line about bytes a load did not store: "16 bytes beyond the memory were not loaded, from
// address 0x00002000" (count 0: a number not known, "Bytes beyond ...").
QString DroppedBytesText(std::uint64_t count, std::uint64_t firstAddress);

// The readers and writers. A reader logs the load line (kind 10 or 11), takes the view into the
// image first (so the result is what the page showed with the file's bytes on top), puts the
// file into the image, then redraws the view; a line before the closing one tells of data bytes
// beyond the memory that were not loaded. A file that is refused (a damaged record, a wrong or
// missing checksum, an unknown record type, no byte for the memory at all) leaves the image and
// the view as they were: a corrupt or empty file must never reach the chip. A record text
// without its end record loads with a warning instead of "Operation complete". The data image reader takes the AVR toolchain's EEPROM
// addresses (from 0x810000) as EEPROM addresses. A writer logs the save line (16 or 17), takes
// the view back into the image and writes the file. "Cannot open file <name>" / "Cannot create
// file <name>" go to reportError with the reason on a second line; a load that fails so redraws
// nothing. A save that cannot be completed leaves any earlier file of that name as it was. The
// binary reader opens the file before it logs anything. Each returns true when the whole file
// was read (a HEX text may end without its end record) or written.
bool ReadHexFile(const QString& name, const ImageFileTarget& target, const FileCommandContext& context);
bool WriteHexFile(const QString& name, const ImageFileTarget& target, const FileCommandContext& context);
bool ReadBinFile(const QString& name, const ImageFileTarget& target, const FileCommandContext& context);
bool WriteBinFile(const QString& name, const ImageFileTarget& target, const FileCommandContext& context);
// The reader of format, or with none the one the file's content or else its name shows; a
// file that shows none is refused with the kind 13 line UnknownFormatText (after the load line).
// An ELF file loads the sections of the memory by their load addresses; one that is no AVR
// program is refused with the reason. A load notes the file's lock and fuse bytes in facts.
bool ReadImageFile(const QString& name, std::optional<ImageFileFormat> format, const ImageFileTarget& target,
                   const FileCommandContext& context);
// The writer of format; an ELF file is not written ("Cannot create file", with the reason).
bool WriteImageFile(const QString& name, ImageFileFormat format, const ImageFileTarget& target,
                    const FileCommandContext& context);

// "Load Program from File..." and "Load Data from File..." once the open dialog returned a
// name: with no chip selected (signatureCode 0) only the "No chip selected" line; the format
// as the file shows it.
void LoadImageFile(const QString& name, std::int32_t signatureCode, const ImageFileTarget& target,
                   const FileCommandContext& context);

// "Save Program to File..." and "Save Data to File..." once the save dialog returned a name and
// its filter index. There is no chip check: with no chip the size is 0.
void SaveImageFile(const QString& name, int filterIndex, const ImageFileTarget& target,
                   const FileCommandContext& context);

}  // namespace velmora
