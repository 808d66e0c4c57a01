#pragma once
// The memory commands of the main window and the command line, headless: Read, Write and
// Verify of the program (flash) and data (EEPROM) memories, Chip Erase and Read Calibration.
// Each drives the family unit of the job's chip over a whole memory, writes the command's
// own log lines and reports progress; the unit writes the lines of its steps.
//
// The caller asks the command's question first (Question()) and, for the writes and
// verifies, parses the active page's view into the job's image; after a successful read it
// renders the image into that view.

#include "ops/chipjob.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace velmora {

enum class MemoryCommand { ReadProgram, ReadData, WriteProgram, WriteData, VerifyProgram, VerifyData };

// The image a command reads from or writes to: FlashKind or EepromKind.
int ImageKindOf(MemoryCommand command);
// The commands that take the image from the active page's view before they run.
bool ParsesViewFirst(MemoryCommand command);
// The commands that put the image into the active page's view after success.
bool RendersViewAfter(MemoryCommand command);

// The Yes/No questions asked before the commands that change the chip: caption "Warning",
// No as the default.
inline const QString QuestionCaption = QStringLiteral("Warning");
inline const QString ChipDataQuestion = QStringLiteral("All previous chip data will be lost (Flash, EEPROM, Lock Bits). Are you sure?");
inline const QString EepromDataQuestion = QStringLiteral("All previous chip data will be lost (EEPROM). Are you sure?");
std::optional<QString> QuestionFor(MemoryCommand command);

// Asked when the chip in the socket is not the selected one: found is the code it answered
// with (0: nothing answered). True: go on with the selected chip's algorithm anyway.
using OtherChipApproval = std::function<bool(const ChipEntry& selected, SignatureCode found)>;

// The check before a command erases or writes: in programming mode through the selected chip's
// unit, the signature is read and compared with the selected chip. With no approval (empty)
// another chip, or none, stops the command.
struct SocketCheck {
    bool enabled = false;
    OtherChipApproval approve;
};

// "The chip in the socket is the ATmega8 (signature 1E 93 07), not the selected ATmega16
// (1E 94 03)", or that no chip answered: the log line, and the text of the window's question.
QString OtherChipText(const ChipEntry& selected, SignatureCode found);

// The check on its own (entry, signature read, comparison, approval), inside a command's
// programming session. False: the command must stop; a failed step has written its line, a
// chip not approved the OtherChipText line.
bool CheckChipInSocket(const ProgContext& ctx, const FamilyUnit& unit, ChipTarget& target, const SocketCheck& check);

struct MemoryCommandOptions {
    SocketCheck socket;             // Write Program and Write Data: checked before anything is erased
    bool verifyAfterWrite = false;  // Write Program and Write Data: the memory is read back and compared
    // Verify: only the bytes marked nonzero here (one per image byte, as a file load leaves
    // them) are compared, and reading ends after the last; empty: the whole memory.
    std::span<const std::uint8_t> defined;
};

// The memory operation frame: the "Trying to" and Start time lines, the family dispatch, the
// command's family steps and its closing lines. True on success (a verify: no differences).
// A write verified afterwards ends like a verify: ". No differences found." or the difference
// line with its address. A cancelled command ends with "Cancelled" (and for a write a warning
// that the chip is only partly written) and the End time line.
bool RunMemoryCommand(MemoryCommand command, const ProgContext& ctx, ChipJob& job, const ProgressFn& progress,
                      const MemoryCommandOptions& options = {});

// A patch after the memory was written whole, such as a serial number: the job's image of kind
// (FlashKind or EepromKind) written from address 0 through the page (or word) that holds byte
// last, with no erase before it, and compared over the same bytes, in the memory frame with
// tryingText as its "Trying to" text. The bytes below the patch are written as the image holds
// them, so the image must hold what the chip holds; flash cells can only be programmed from the
// erased state, so the patched flash bytes must be blank in the chip. False also when last lies
// beyond the memory.
bool RunPatchWrite(int kind, std::uint32_t last, const QString& tryingText, const ProgContext& ctx, ChipJob& job,
                   const ProgressFn& progress);

// Chip Erase, once its question (ChipDataQuestion) was answered Yes: no frame of its own.
bool RunChipErase(const ProgContext& ctx, ChipJob& job, const ProgressFn& progress);
// The same with socket enabled: nothing is erased before the chip in the socket proved to be
// the selected one.
bool RunCheckedChipErase(const ProgContext& ctx, ChipJob& job, const ProgressFn& progress, const SocketCheck& socket);

// The closing line of a command whose steps stopped: "Cancelled" (with wroteChip the warning
// that the chip is only partly written) when a cancel request stopped them, else
// "Finished with fail.".
void WriteStopLines(const ProgContext& ctx, bool wroteChip);
inline const QString CancelledText = QStringLiteral("Cancelled");
inline const QString PartlyWrittenText =
    QStringLiteral("Warning: the chip is only partly written; write it again before using it");

// Read Calibration: the calibration bytes into the job and one log line with them.
bool RunReadCalibration(const ProgContext& ctx, ChipJob& job, const ProgressFn& progress);

// "calibration 0 = 0xA8calibration 1 = 0xA9...": the entries joined with nothing between.
QString CalibrationText(const chip& c);

// The text of the difference line after " with fail. Address: 0x": the address in upper-case
// hex, at least four digits.
QString DifferenceAddressText(std::uint32_t pos);

}  // namespace velmora
