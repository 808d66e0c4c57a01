#include "fuses/fusecheck.h"

#include "log/text.h"

#include <QStringList>

namespace velmora {

namespace {

QString Hex(std::uint8_t value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

// Whether value has bit in the state the hazard warns about.
bool InRiskyState(BitRisk risk, std::uint8_t value, int bit)
{
    const bool programmed = (value >> bit & 1) == 0;
    return risk == BitRisk::WhenProgrammed ? programmed : risk == BitRisk::WhenUnprogrammed && !programmed;
}
}  // namespace

std::vector<RiskyBit> RiskyBits(const FuseLayout& layout, ConstFuseSlots toWrite, const std::optional<FuseBytes>& onChip)
{
    std::vector<RiskyBit> risky;
    for (int g = 0; g < layout.groupCount; ++g) {
        for (int b = FuseBitsPerGroup - 1; b >= 0; --b) {
            const BitHazard hazard = HazardOf(layout, g, b);
            if (hazard.risk == BitRisk::None || !InRiskyState(hazard.risk, toWrite[std::size_t(g)], b))
                continue;
            if (onChip && InRiskyState(hazard.risk, (*onChip)[std::size_t(g)], b))
                continue;  // already so on the chip: this write changes nothing there
            risky.push_back({g, b, layout.groups[std::size_t(g)].bits[std::size_t(b)].name, hazard});
        }
    }
    return risky;
}

namespace {
QString RiskyText(const FuseLayout& layout, const std::vector<RiskyBit>& risky)
{
    QString text = QStringLiteral("This write changes bits that are hard to take back:");
    for (const RiskyBit& r : risky)
        text += QStringLiteral("\n  %1 (%2) %3: %4.")
                    .arg(Text(r.name), Text(layout.groups[std::size_t(r.group)].caption),
                         r.hazard.risk == BitRisk::WhenProgrammed ? QStringLiteral("programmed")
                                                                  : QStringLiteral("unprogrammed"),
                         Text(r.hazard.consequence));
    return text;
}

QString ClockText(const std::vector<std::string>& clockRisks)
{
    QString text = QStringLiteral("This write selects a clock source the chip does not have by itself:");
    for (const std::string& line : clockRisks)
        text += QStringLiteral("\n  ") + QString::fromStdString(line) + QLatin1Char('.');
    return text;
}

// The parts that can lock the programmer out of the chip: risky bits, then clock choices.
QStringList LockoutParts(const FuseLayout& layout, ConstFuseSlots toWrite, const std::optional<FuseBytes>& onChip,
                         const std::vector<std::string>& clockRisks)
{
    QStringList parts;
    const std::vector<RiskyBit> risky = RiskyBits(layout, toWrite, onChip);
    if (!risky.empty())
        parts << RiskyText(layout, risky);
    if (!clockRisks.empty())
        parts << ClockText(clockRisks);
    return parts;
}

const QString NotReadNote = QStringLiteral("These values were not read from this chip: after a chip selection they are the "
                                           "catalogue's factory values, not the chip's.");
const QString WriteAnyway = QStringLiteral("\n\nWrite the lock and fuse bytes anyway?");
}  // namespace

QString WriteQuestion(const FuseLayout& layout, ConstFuseSlots toWrite, const std::optional<FuseBytes>& onChip,
                      const std::vector<std::string>& clockRisks)
{
    QStringList parts = LockoutParts(layout, toWrite, onChip, clockRisks);
    if (!onChip)
        parts << NotReadNote;
    if (parts.isEmpty())
        return {};
    return parts.join(QStringLiteral("\n\n")) + WriteAnyway;
}

FuseWriteQuestions WriteQuestions(const FuseLayout& layout, ConstFuseSlots toWrite, const std::optional<FuseBytes>& onChip,
                                  const std::vector<std::string>& clockRisks)
{
    FuseWriteQuestions q;
    const QStringList lockout = LockoutParts(layout, toWrite, onChip, clockRisks);
    if (!lockout.isEmpty())
        q.lockout = lockout.join(QStringLiteral("\n\n")) + WriteAnyway;
    if (!onChip)
        q.routine = NotReadNote + WriteAnyway;
    return q;
}

std::vector<ByteDifference> ShownDifferences(const FuseLayout& layout, ConstFuseSlots written, ConstFuseSlots read)
{
    std::vector<ByteDifference> differences;
    for (int g = 0; g < layout.groupCount; ++g) {
        const FuseGroup& group = layout.groups[std::size_t(g)];
        const std::uint8_t w = written[std::size_t(g)];
        const std::uint8_t r = read[std::size_t(g)];
        if (((w ^ r) & group.ShownMask()) != 0)
            differences.push_back({g, group.caption, w, r});
    }
    return differences;
}

QString DifferenceText(const ByteDifference& d)
{
    return QStringLiteral("%1 written %2, the chip holds %3").arg(Text(d.caption), Hex(d.written), Hex(d.read));
}

QString ProgrammedNames(const FuseGroup& group, std::uint8_t value)
{
    QStringList names;
    for (int b = FuseBitsPerGroup - 1; b >= 0; --b) {
        const FuseBit& bit = group.bits[std::size_t(b)];
        if (bit.Shown() && (value >> b & 1) == 0)
            names << Text(bit.name);
    }
    return names.isEmpty() ? QStringLiteral("none") : names.join(QLatin1Char(' '));
}

}  // namespace velmora
