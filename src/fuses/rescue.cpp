#include "fuses/rescue.h"

#include "log/operationlog.h"

#include <algorithm>

namespace velmora {

namespace {

bool Programmed(std::uint8_t value, int bit)
{
    return (value >> bit & 1) == 0;
}

// The shown bits of group g whose name begins with prefix, as a mask.
std::uint8_t BitsNamed(const FuseLayout& layout, int g, std::string_view prefix, bool exact = false)
{
    unsigned mask = 0;
    const FuseGroup& group = layout.groups[std::size_t(g)];
    for (int b = 0; b < FuseBitsPerGroup; ++b) {
        const std::string_view name = group.bits[std::size_t(b)].name;
        if (group.bits[std::size_t(b)].Shown() && (exact ? name == prefix : name.starts_with(prefix)))
            mask |= 1u << b;
    }
    return std::uint8_t(mask);
}

QString Hex(std::uint8_t value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

QString Caption(const FuseLayout& layout, int g)
{
    const std::string_view c = layout.groups[std::size_t(g)].caption;
    return QString::fromUtf8(c.data(), qsizetype(c.size()));
}

// "Low Fuses E1, High Fuses D9, Lock bits FF"
QString BytesText(const FuseLayout& layout, ConstFuseSlots values)
{
    QStringList parts;
    for (int g = 0; g < layout.groupCount; ++g)
        parts << Caption(layout, g) + QLatin1Char(' ') + Hex(values[std::size_t(g)]);
    return parts.join(QStringLiteral(", "));
}

// The bits a finding names, with the words for it.
struct Finding {
    std::string_view bit;
    bool whenProgrammed;
    const char* words;
};
constexpr Finding BitFindings[] = {
    {"RSTDISBL", true, "reset pin disabled (RSTDISBL programmed): the pin is an I/O pin, serial programming cannot start"},
    {"SPIEN", false, "serial programming disabled (SPIEN unprogrammed)"},
    {"DWEN", true, "debugWIRE on (DWEN programmed): the reset pin is the debugWIRE line, serial programming cannot start"},
};

}  // namespace

QStringList RescueFindings(const FuseLayout& layout, ConstFuseSlots values)
{
    QStringList findings;
    const int lock = layout.LockSlot();
    for (int g = 0; g < lock; ++g) {
        const std::uint8_t v = values[std::size_t(g)];
        // Every clock select bit programmed is the external clock on the AVR parts that have
        // the bits: the chip stays dead without a clock fed into XTAL1.
        const std::uint8_t cksel = BitsNamed(layout, g, "CKSEL");
        if (cksel != 0 && (v & cksel) == 0)
            findings << QStringLiteral("external clock selected (%1 CKSEL bits programmed): the chip runs only with a "
                                       "clock fed into XTAL1")
                            .arg(Caption(layout, g));
        for (const Finding& f : BitFindings) {
            const std::uint8_t mask = BitsNamed(layout, g, f.bit, true);
            for (int b = 0; b < FuseBitsPerGroup; ++b)
                if ((mask >> b & 1) && Programmed(v, b) == f.whenProgrammed)
                    findings << QString::fromUtf8(f.words);
        }
    }
    const std::uint8_t lockBits = layout.groups[std::size_t(lock)].ShownMask();
    const std::uint8_t programmed = std::uint8_t(~values[std::size_t(lock)] & lockBits);
    if (programmed != 0) {
        QStringList names;
        for (int b = FuseBitsPerGroup - 1; b >= 0; --b)
            if (programmed >> b & 1) {
                const std::string_view n = layout.groups[std::size_t(lock)].bits[std::size_t(b)].name;
                names << QString::fromUtf8(n.data(), qsizetype(n.size()));
            }
        findings << QStringLiteral("locked (%1 programmed)").arg(names.join(QLatin1Char(' ')));
    }
    return findings;
}

bool LockBlocksFuseWrite(const FuseLayout& layout, ConstFuseSlots values)
{
    const int lock = layout.LockSlot();
    return (~values[std::size_t(lock)] & BitsNamed(layout, lock, "LB")) != 0;
}

bool RescueReaches(const ChipEntry& entry)
{
    return UnitOf(entry).Interface() == ProgrammingInterface::Parallel;
}

RescueReport RunRescue(const ProgContext& ctx, ChipJob& job, const Approver& approve, const SocketCheck& socket)
{
    RescueReport report;
    OperationLog& log = ctx.log;
    log.WriteLog(LogTrying, QStringLiteral(" rescue the chip"));
    log.WriteStartTime();
    const auto end = [&](RescueOutcome outcome) {
        report.outcome = outcome;
        log.WriteEndTime();
        return report;
    };
    const FamilyUnit* unit = DispatchUnit(job, log);
    const FuseLayout* layout = LayoutOf(job.Entry());
    if (!unit || !layout) {
        if (unit)
            log.WriteLog(LogChipSelected, QStringLiteral(" unknown"));
        return end(RescueOutcome::Failed);
    }
    if (unit->Interface() != ProgrammingInterface::Parallel) {
        log.WriteLog(LogPlain, QStringLiteral("A rescue needs parallel programming mode; the %1 is programmed over SPI")
                                   .arg(QString::fromStdString(job.Chip().name)));
        return end(RescueOutcome::NotParallel);
    }

    ChipTarget target = job.Target();
    if (!RunLockFuseOrder(*unit, LockFuseDirection::Read, ctx, target, socket))
        return end(ctx.link.IsOpen() && !ctx.Cancelled() ? RescueOutcome::Refused : RescueOutcome::Failed);
    report.found = job.Chip().FuseDefaults;
    log.WriteLog(LogPlain, QStringLiteral("The chip holds: ") + BytesText(*layout, *report.found));
    const QStringList findings = RescueFindings(*layout, *report.found);
    for (const QString& f : findings)
        log.WriteLog(LogPlain, QStringLiteral("Wrong: ") + f);

    const ChipEntry& entry = *job.Entry();
    FuseBytes factory = *report.found;
    std::copy_n(entry.factory.begin(), std::min<std::size_t>(entry.factoryCount, entry.factory.size()), factory.begin());
    if (ShownDifferences(*layout, factory, *report.found).empty()) {
        log.WriteLog(LogPlain, QStringLiteral("Nothing to restore: these are the factory values"));
        report.restored = report.found;
        log.WriteLog(LogFinished, QStringLiteral(" with success."));
        return end(RescueOutcome::Restored);
    }

    if (LockBlocksFuseWrite(*layout, *report.found)) {
        if (!Approves(approve, ApprovalKind::Routine, RescueEraseQuestion)) {
            log.WriteLog(LogPlain, QStringLiteral("Not erased: the lock bits keep the fuses as they are"));
            log.WriteLog(LogFinished, QStringLiteral(" with fail."));
            return end(RescueOutcome::Refused);
        }
        ProgrammingSession session(ctx, *unit);
        if (!unit->EnterProgrammingMode(ctx, target) || !unit->ChipErase(ctx, target) || !session.End()) {
            WriteStopLines(ctx, false);
            return end(RescueOutcome::Failed);
        }
        report.erased = true;
    }

    job.Chip().FuseDefaults = factory;
    const FuseWriteReport written = WriteLockFuses(ctx, job);
    if (written.chipValues) {
        report.restored = written.chipValues;
        job.Chip().FuseDefaults = *written.chipValues;
    }
    if (written.outcome != FuseOutcome::Done)
        return end(RescueOutcome::Failed);
    log.WriteLog(LogPlain, QStringLiteral("Restored the factory values: ") + BytesText(*layout, *report.restored));
    log.WriteLog(LogFinished, QStringLiteral(" with success."));
    return end(RescueOutcome::Restored);
}

}  // namespace velmora
