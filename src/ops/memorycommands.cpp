#include "ops/memorycommands.h"

#include "link/stopsignals.h"
#include "log/operationlog.h"
#include "ops/progressrules.h"
#include "prog/parallelprimitives.h"
#include "prog/serialprimitives.h"
#include "prog/readpipeline.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <vector>

namespace velmora {

namespace {

using Op = ChipOperation;

QString TryingText(MemoryCommand command)
{
    switch (command) {
    case MemoryCommand::ReadProgram: return QStringLiteral(" read the program");
    case MemoryCommand::ReadData: return QStringLiteral(" read the EEPROM");
    case MemoryCommand::WriteProgram: return QStringLiteral(" write the program");
    case MemoryCommand::WriteData: return QStringLiteral(" write the EEPROM");
    case MemoryCommand::VerifyProgram: return QStringLiteral(" verify the program");
    case MemoryCommand::VerifyData: return QStringLiteral(" verify the EEPROM");
    }
    return {};
}

bool IsVerify(MemoryCommand command)
{
    return command == MemoryCommand::VerifyProgram || command == MemoryCommand::VerifyData;
}

bool IsWrite(MemoryCommand command)
{
    return command == MemoryCommand::WriteProgram || command == MemoryCommand::WriteData;
}

// How the family steps ended.
struct StepsEnd {
    enum Kind { Success, Failed, FailedWithoutEndTime, Differs } kind = Success;
    std::uint32_t pos = 0;  // Differs: the address compared last
    bool touched = false;   // the chip was erased or written to before the end
};

// Calls the unit's operations through one pass of a command.
class Pass {
public:
    // end: the passes stop below it (a patch of the memory's first bytes); the whole memory
    // by default.
    Pass(const ProgContext& ctx, const FamilyUnit& unit, ChipTarget& target, const ProgressFn& progress,
         std::uint32_t end = UINT32_MAX)
        : ctx_(ctx), unit_(unit), target_(target), progress_(progress), rules_(ProgressRulesOf(target.entry.family)),
          end_(end)
    {
    }

    // A verify of only the bytes marked nonzero in defined (one per image byte).
    Pass& OnlyDefined(std::span<const std::uint8_t> defined)
    {
        defined_ = defined;
        return *this;
    }

    // Whether the pass has begun to erase or program the chip.
    bool Touched() const { return touched_; }

    // A patch: the bytes below end_ written over what the chip holds, no erase first, then
    // compared.
    StepsEnd Patch(int kind)
    {
        const StepsEnd written = kind == FlashKind ? WriteFlash(false) : WriteEeprom();
        if (written.kind != StepsEnd::Success)
            return written;
        return kind == FlashKind ? ReadFlash(true) : ReadEeprom(true);
    }

    // The first byte past a patch of byte last: the end of the stretch the unit commits at
    // once (a flash page, an EEPROM page, a word), so the patch is programmed.
    static std::uint32_t PatchEnd(const FamilyUnit& unit, const ChipEntry& entry, int kind, std::uint32_t last)
    {
        const std::uint32_t commit = kind == FlashKind
                                         ? std::max(unit.FlashCommitBytes(entry),
                                                    std::uint32_t(unit.Has(Op::LoadFlashWord) || unit.Has(Op::WriteFlashWord) ? 2 : 1))
                                         : std::max<std::uint32_t>(entry.eepromPageBytes, 1);
        return (last | (commit - 1)) + 1;
    }

    StepsEnd Run(MemoryCommand command)
    {
        switch (command) {
        case MemoryCommand::ReadProgram: return ReadFlash(false);
        case MemoryCommand::VerifyProgram: return ReadFlash(true);
        case MemoryCommand::ReadData: return ReadEeprom(false);
        case MemoryCommand::VerifyData: return ReadEeprom(true);
        case MemoryCommand::WriteProgram: return WriteFlash();
        case MemoryCommand::WriteData: return WriteEeprom();
        }
        return {StepsEnd::Failed};
    }

private:
    bool Enter() const { return unit_.EnterProgrammingMode(ctx_, target_); }

    void Report(std::uint32_t pos, std::uint32_t offset, std::uint32_t size) const
    {
        if (progress_)
            progress_(ProgressPosition(pos, offset, size));
    }

    // A read step that returns false by itself has found a difference (verify) or failed.
    StepsEnd ReadFailed(bool verify, std::uint32_t pos) const
    {
        return verify ? StepsEnd{StepsEnd::Differs, pos} : StepsEnd{StepsEnd::Failed};
    }

    // One read or verify pass over a memory: read(ctx, into, pos, compare) for pos = 0, step,
    // 2 step, ... The answers are collected behind the packets that follow them (ReadPipeline),
    // so progress moves as they come in, and a verify ends at the first difference among them.
    // A verify of only the bytes a file defined reads into a scratch copy up to the last defined
    // byte (the units need ascending addresses from 0) and compares the defined bytes after it.
    template <typename ReadStep>
    StepsEnd ReadPass(bool verify, std::uint32_t size, std::uint32_t step, ProgressPoint point,
                      std::span<std::uint8_t> ChipTarget::*image, ReadStep read)
    {
        const bool masked = verify && !defined_.empty();
        std::uint32_t end = End(size);
        std::vector<std::uint8_t> scratch;
        if (masked) {
            std::uint32_t last = 0;
            for (std::size_t a = std::min<std::size_t>(size, defined_.size()); a > 0; --a)
                if (defined_[a - 1] != 0) {
                    last = std::uint32_t(a);
                    break;
                }
            if (last == 0)
                return {};  // the file gave no byte of this memory
            end = std::min(end, last);
            scratch.assign(size, 0);
        }
        if (!Enter())
            return {StepsEnd::Failed};
        ChipTarget into = target_;
        if (masked)
            into.*image = std::span<std::uint8_t>(scratch);
        const bool compare = verify && !masked;
        const std::uint32_t reportSize = masked ? end : size;
        // Steps complete in address order: when their last answer is taken, or at once when
        // the unit took its answers itself.
        std::optional<std::uint32_t> done;
        auto completed = [&](std::uint32_t pos) {
            if (done && pos <= *done)
                return;
            done = pos;
            if (AtUpdate(pos, point.mask, step))
                Report(pos, point.offset, reportSize);
        };
        ReadPipeline pipeline(ctx_, completed);
        ProgContext piped = ctx_;
        piped.pipeline = &pipeline;
        std::uint32_t pos = 0;
        bool ok = true;
        for (; pos < end; pos += step) {
            ok = read(piped, into, pos, compare);
            if (!ok)
                break;
            if (pipeline.Idle())
                completed(pos);
        }
        // A difference drains and drops the answers of the reads sent after it.
        if (!pipeline.Collect())
            return {StepsEnd::Failed};
        if (pipeline.Difference())
            return {StepsEnd::Differs, *pipeline.Difference()};
        if (!ok)
            return masked ? StepsEnd{StepsEnd::Failed} : ReadFailed(verify, pos);
        if (masked) {
            const std::span<const std::uint8_t> wanted = target_.*image;
            for (std::uint32_t a = 0; a < end && a < scratch.size(); ++a)
                if (defined_[a] != 0 && scratch[a] != wanted[a])
                    return {StepsEnd::Differs, a - a % step};  // named as the read step's address
        }
        return {};
    }

    StepsEnd ReadFlash(bool verify)
    {
        const bool words = unit_.Has(Op::ReadFlashWord);
        return ReadPass(verify, target_.FlashSize(), words ? 2 : 1, verify ? rules_.verifyFlash : rules_.readFlash,
                        &ChipTarget::flash,
                        [&](const ProgContext& ctx, ChipTarget& into, std::uint32_t pos, bool compare) {
                            return words ? unit_.ReadFlashWord(ctx, into, pos, compare)
                                         : unit_.ReadFlashByte(ctx, into, pos, compare);
                        });
    }

    StepsEnd ReadEeprom(bool verify)
    {
        return ReadPass(verify, target_.EepromSize(), 1, {.mask = rules_.eepromMask, .offset = 1},
                        &ChipTarget::eeprom,
                        [&](const ProgContext& ctx, ChipTarget& into, std::uint32_t pos, bool compare) {
                            return unit_.ReadEepromByte(ctx, into, pos, compare);
                        });
    }

    // Erase, then a fresh entry: the chip goes through a full power cycle before programming.
    // A unit that clears word 0 between two erases (WriteFlashZeroWord) does so here too.
    StepsEnd Erase()
    {
        static constexpr std::array<Op, 3> Plain = {Op::EnterProgrammingMode, Op::ChipErase, Op::EnterProgrammingMode};
        static constexpr std::array<Op, 6> WithZeroWord = {Op::EnterProgrammingMode, Op::ChipErase,
                                                            Op::EnterProgrammingMode, Op::WriteFlashZeroWord,
                                                            Op::ChipErase, Op::EnterProgrammingMode};
        const bool zeroWord = unit_.Has(Op::WriteFlashZeroWord);
        const std::span<const Op> sequence = zeroWord ? std::span<const Op>(WithZeroWord) : std::span<const Op>(Plain);
        for (std::size_t i = 0; i < sequence.size(); ++i) {
            if (sequence[i] == Op::ChipErase)
                touched_ = true;
            if (unit_.Run(sequence[i], ctx_, target_))
                continue;
            // A failed erase, or with the zero word anything before the last entry, ends
            // without the End time line.
            const bool endTime = sequence[i] != Op::ChipErase && (!zeroWord || i + 1 == sequence.size());
            return {endTime ? StepsEnd::Failed : StepsEnd::FailedWithoutEndTime};
        }
        return {};
    }

    // Without the erase only bits the chip holds erased can change: a patch over blank cells.
    StepsEnd WriteFlash(bool erase = true)
    {
        if (!erase && !Enter())
            return {StepsEnd::Failed};
        if (StepsEnd erased = erase ? Erase() : StepsEnd{}; erased.kind != StepsEnd::Success)
            return erased;
        const std::uint32_t size = target_.FlashSize();
        const std::uint32_t offset =
            target_.entry.flashPageBytes == rules_.otherPageBytes ? rules_.otherOffset : rules_.writeOffset;

        // Which loop: by what the unit can do, never by which unit it is.
        enum class Loop { WordPages, Words, BytePages, Bytes };
        const Loop loop = unit_.Has(Op::LoadFlashWord)    ? Loop::WordPages
                          : unit_.Has(Op::WriteFlashWord) ? Loop::Words
                          : unit_.Has(Op::LoadFlashByte)  ? Loop::BytePages
                                                          : Loop::Bytes;
        const bool paged = loop == Loop::WordPages || loop == Loop::BytePages;
        const std::uint32_t step = loop == Loop::WordPages || loop == Loop::Words ? 2 : 1;
        // The commit address: the last word (parallel) or last byte (serial) of each stretch the
        // unit commits at once, the chip's page or less.
        const std::uint32_t pageMask = unit_.FlashCommitBytes(target_.entry) - 1;

        touched_ = true;
        for (std::uint32_t pos = 0; pos < End(size); pos += step) {
            bool ok = false;
            switch (loop) {
            case Loop::WordPages: ok = unit_.LoadFlashWord(ctx_, target_, pos); break;
            case Loop::Words: ok = unit_.WriteFlashWord(ctx_, target_, pos); break;
            case Loop::BytePages: ok = unit_.LoadFlashByte(ctx_, target_, pos); break;
            case Loop::Bytes: ok = unit_.WriteFlashByte(ctx_, target_, pos); break;
            }
            if (!ok)
                return {StepsEnd::Failed};
            if (paged) {
                if (AtUpdate(pos, pageMask, step)) {
                    if (!unit_.WriteFlashPage(ctx_, target_, pos))
                        return {StepsEnd::Failed};
                    Report(pos, offset, size);
                }
            } else if (AtUpdate(pos, 0x1F, step)) {
                Report(pos, offset, size);
            }
        }
        return {};
    }

    StepsEnd WriteEeprom()
    {
        if (!Enter())
            return {StepsEnd::Failed};
        touched_ = true;
        const std::uint32_t size = target_.EepromSize();
        const bool pages = unit_.Has(Op::WriteEepromPage);
        const std::uint32_t pageMask = std::max<std::uint32_t>(target_.entry.eepromPageBytes, 1) - 1;
        const std::uint32_t mask = rules_.eepromWriteMask != 0 ? rules_.eepromWriteMask : pageMask;
        for (std::uint32_t pos = 0; pos < End(size); ++pos) {
            if (!unit_.WriteEepromByte(ctx_, target_, pos))
                return {StepsEnd::Failed};
            if (pages && AtUpdate(pos, pageMask, 1) && !unit_.WriteEepromPage(ctx_, target_, pos))
                return {StepsEnd::Failed};
            if (AtUpdate(pos, mask, 1))
                Report(pos, 1, size);
        }
        return {};
    }

    std::uint32_t End(std::uint32_t size) const { return std::min(size, end_); }

    const ProgContext& ctx_;
    const FamilyUnit& unit_;
    ChipTarget& target_;
    const ProgressFn& progress_;
    const ProgressRules& rules_;
    std::uint32_t end_;
    std::span<const std::uint8_t> defined_;
    bool touched_ = false;
};

void OpenProgress(const ProgressFn& progress)
{
    if (progress)
        progress(0);
}

void WriteFailLine(OperationLog& log)
{
    log.WriteLog(LogFinished, QStringLiteral(" with fail."));
}

QString SignatureBytes(SignatureCode code)
{
    return QStringLiteral("%1 %2 %3")
        .arg(code & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((code >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((code >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
        .toUpper();
}

QString NameOf(const ChipEntry& entry)
{
    return QString::fromUtf8(entry.name.data(), qsizetype(entry.name.size()));
}

// The verify that checks what a write command wrote.
MemoryCommand VerifyOf(MemoryCommand write)
{
    return write == MemoryCommand::WriteProgram ? MemoryCommand::VerifyProgram : MemoryCommand::VerifyData;
}

}  // namespace

void WriteStopLines(const ProgContext& ctx, bool wroteChip)
{
    if (ctx.Cancelled())
        ctx.log.WriteLog(LogPlain, CancelledText);
    else
        WriteFailLine(ctx.log);
    // Stopped from outside, by Cancel or a stop signal: the write did not run into a fault the
    // user would look for, so say what it left behind.
    if (wroteChip && (ctx.Cancelled() || StopRequested()))
        ctx.log.WriteLog(LogPlain, PartlyWrittenText);
}

QString OtherChipText(const ChipEntry& selected, SignatureCode found)
{
    const QString wanted = QStringLiteral("the selected %1 (%2)").arg(NameOf(selected), SignatureBytes(selected.code));
    // An empty socket, or a chip that does not come up, reads the bus as all ones or all zeros.
    if (found == 0 || found == 0xFFFFFF)
        return QStringLiteral("No chip answers in the socket (signature %1), not %2").arg(SignatureBytes(found), wanted);
    const ChipEntry* other = FindChipEntry(found, selected.niiet);
    const QString name = other ? QStringLiteral("the ") + NameOf(*other) : QStringLiteral("an unknown chip");
    return QStringLiteral("The chip in the socket is %1 (signature %2), not %3").arg(name, SignatureBytes(found), wanted);
}

bool CheckChipInSocket(const ProgContext& ctx, const FamilyUnit& unit, ChipTarget& target, const SocketCheck& check)
{
    if (!check.enabled)
        return true;
    if (!unit.EnterProgrammingMode(ctx, target)) {
        // A serial chip that does not echo Programming Enable is no chip of this kind; a failed
        // step has closed the link and written its line.
        if (!ctx.link.IsOpen() || ctx.Cancelled())
            return false;
        ctx.log.WriteLog(LogPlain, OtherChipText(target.entry, 0));
        return check.approve && check.approve(target.entry, 0);
    }
    const SignatureCode found =
        unit.Interface() == ProgrammingInterface::Parallel ? ReadSignature(ctx) : ReadSerialSignature(ctx);
    if (!ctx.link.IsOpen() || ctx.Cancelled())
        return false;
    if (found == target.entry.code)
        return true;
    ctx.log.WriteLog(LogPlain, OtherChipText(target.entry, found));
    return check.approve && check.approve(target.entry, found);
}

int ImageKindOf(MemoryCommand command)
{
    switch (command) {
    case MemoryCommand::ReadProgram:
    case MemoryCommand::WriteProgram:
    case MemoryCommand::VerifyProgram: return FlashKind;
    case MemoryCommand::ReadData:
    case MemoryCommand::WriteData:
    case MemoryCommand::VerifyData: return EepromKind;
    }
    return NoImage;
}

bool ParsesViewFirst(MemoryCommand command)
{
    return command != MemoryCommand::ReadProgram && command != MemoryCommand::ReadData;
}

bool RendersViewAfter(MemoryCommand command)
{
    return !ParsesViewFirst(command);
}

std::optional<QString> QuestionFor(MemoryCommand command)
{
    switch (command) {
    case MemoryCommand::WriteProgram: return ChipDataQuestion;
    case MemoryCommand::WriteData: return EepromDataQuestion;
    default: return std::nullopt;
    }
}

QString DifferenceAddressText(std::uint32_t pos)
{
    // Four digits up to 64 KiB; the larger chips need every digit to name the byte.
    return QString::number(pos, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

namespace {

// The memory operation frame around steps run in one programming session: the "Trying to" and
// Start time lines, the family dispatch, the closing lines.
bool RunFramed(const QString& tryingText, bool verifies, const ProgContext& ctx, ChipJob& job,
               const ProgressFn& progress, const std::function<StepsEnd(const FamilyUnit&, ChipTarget&)>& steps)
{
    OperationLog& log = ctx.log;
    OpenProgress(progress);
    log.WriteLog(LogTrying, tryingText);
    log.WriteStartTime();
    const FamilyUnit* unit = DispatchUnit(job, log);
    if (!unit) {
        log.WriteEndTime();
        return false;
    }

    ChipTarget target = job.Target();
    StepsEnd end;
    {
        ProgrammingSession session(ctx, *unit);
        end = steps(*unit, target);
        if (end.kind == StepsEnd::Success && !session.End())
            end = {StepsEnd::Failed};
    }

    if (ctx.Cancelled() && end.kind != StepsEnd::Success) {
        WriteStopLines(ctx, end.touched);
        log.WriteEndTime();
        return false;
    }
    switch (end.kind) {
    case StepsEnd::Success:
        log.WriteLog(LogFinished, verifies ? QStringLiteral(". No differences found.") : QString());
        log.WriteEndTime();
        return true;
    case StepsEnd::Differs:
        // A read whose step failed has closed the link: that is no difference, and its
        // address was never compared.
        if (ctx.link.IsOpen())
            log.WriteLog(LogFinished, QStringLiteral(" with fail. Address: 0x") + DifferenceAddressText(end.pos));
        else
            WriteStopLines(ctx, end.touched);
        log.WriteEndTime();
        return false;
    case StepsEnd::Failed:
        WriteStopLines(ctx, end.touched);
        log.WriteEndTime();
        return false;
    case StepsEnd::FailedWithoutEndTime:
        WriteStopLines(ctx, end.touched);
        return false;
    }
    return false;
}

}  // namespace

bool RunMemoryCommand(MemoryCommand command, const ProgContext& ctx, ChipJob& job, const ProgressFn& progress,
                      const MemoryCommandOptions& options)
{
    const bool verifyAfter = IsWrite(command) && options.verifyAfterWrite;
    // A write verified afterwards shares the bar: the write its first half, the verify the second.
    const ProgressFn writeHalf = verifyAfter && progress ? ProgressFn([&progress](int p) { progress(p / 2); }) : progress;
    const ProgressFn verifyHalf = verifyAfter && progress ? ProgressFn([&progress](int p) { progress(50 + p / 2); }) : progress;
    return RunFramed(TryingText(command), IsVerify(command) || verifyAfter, ctx, job, progress,
                     [&](const FamilyUnit& unit, ChipTarget& target) {
                         if (IsWrite(command) && !CheckChipInSocket(ctx, unit, target, options.socket))
                             return StepsEnd{StepsEnd::Failed};
                         Pass pass(ctx, unit, target, writeHalf);
                         if (IsVerify(command))
                             pass.OnlyDefined(options.defined);
                         StepsEnd end = pass.Run(command);
                         if (end.kind == StepsEnd::Success && verifyAfter)
                             end = Pass(ctx, unit, target, verifyHalf).Run(VerifyOf(command));
                         end.touched = pass.Touched();
                         return end;
                     });
}

bool RunPatchWrite(int kind, std::uint32_t last, const QString& tryingText, const ProgContext& ctx, ChipJob& job,
                   const ProgressFn& progress)
{
    return RunFramed(tryingText, true, ctx, job, progress, [&](const FamilyUnit& unit, ChipTarget& target) {
        const std::uint32_t size = kind == FlashKind ? target.FlashSize() : target.EepromSize();
        if (last >= size)
            return StepsEnd{StepsEnd::Failed};
        const std::uint32_t end = std::min(Pass::PatchEnd(unit, target.entry, kind, last), size);
        Pass pass(ctx, unit, target, progress, end);
        StepsEnd patched = pass.Patch(kind);
        patched.touched = pass.Touched();
        return patched;
    });
}

bool RunChipErase(const ProgContext& ctx, ChipJob& job, const ProgressFn& progress)
{
    return RunCheckedChipErase(ctx, job, progress, SocketCheck{});
}

bool RunCheckedChipErase(const ProgContext& ctx, ChipJob& job, const ProgressFn& progress, const SocketCheck& socket)
{
    OpenProgress(progress);
    const FamilyUnit* unit = DispatchUnit(job, ctx.log);
    if (!unit)
        return false;
    static constexpr std::array<Op, 2> Plain = {Op::EnterProgrammingMode, Op::ChipErase};
    static constexpr std::array<Op, 5> WithZeroWord = {Op::EnterProgrammingMode, Op::ChipErase,
                                                        Op::EnterProgrammingMode, Op::WriteFlashZeroWord,
                                                        Op::ChipErase};
    const std::span<const Op> sequence = unit->Has(Op::WriteFlashZeroWord) ? std::span<const Op>(WithZeroWord)
                                                                           : std::span<const Op>(Plain);
    ChipTarget target = job.Target();
    ProgrammingSession session(ctx, *unit);
    if (!CheckChipInSocket(ctx, *unit, target, socket)) {
        WriteStopLines(ctx, false);
        return false;
    }
    for (Op op : sequence) {
        if (!unit->Run(op, ctx, target)) {
            WriteStopLines(ctx, false);
            return false;
        }
    }
    if (!session.End()) {
        WriteStopLines(ctx, false);
        return false;
    }
    return true;
}

QString CalibrationText(const chip& c)
{
    QString text;
    for (unsigned i = 0; i < c.CalibrationCount && i < c.CalibrationBytes.size(); ++i)
        text += QStringLiteral("calibration %1 = 0x%2").arg(i).arg(QString::number(c.CalibrationBytes[i], 16).toUpper().rightJustified(2, QLatin1Char('0')));
    return text;
}

bool RunReadCalibration(const ProgContext& ctx, ChipJob& job, const ProgressFn& progress)
{
    OpenProgress(progress);
    const FamilyUnit* unit = DispatchUnit(job, ctx.log);
    if (!unit)
        return false;
    // A family may read its calibration bytes through another unit's entry and read.
    const FamilyUnit& reader = job.Unit(unit->CalibrationUnit());
    if (!reader.Has(Op::ReadCalibration)) {
        ctx.log.WriteLog(LogNotAvailable);
        return false;
    }
    ChipTarget target = job.Target();
    {
        ProgrammingSession session(ctx, reader);
        if (!reader.EnterProgrammingMode(ctx, target) || !reader.ReadCalibration(ctx, target) || !session.End()) {
            WriteStopLines(ctx, false);
            return false;
        }
    }
    ctx.log.WriteLog(LogPlain, CalibrationText(job.Chip()));
    return true;
}

}  // namespace velmora
