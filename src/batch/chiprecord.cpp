#include "batch/chiprecord.h"

#include "fuses/fuselayout.h"
#include "log/operationlog.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace velmora {

namespace {

QString HexBytes(std::span<const std::uint8_t> bytes)
{
    QString text;
    for (std::uint8_t b : bytes)
        text += QStringLiteral("%1%2").arg(text.isEmpty() ? QString() : QStringLiteral(" ")).arg(b, 2, 16, QLatin1Char('0'));
    return text.toUpper();
}

QString SystemReason(int errorNumber)
{
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

}  // namespace

void NoteChip(ChipRecord& record, const chip& c)
{
    record.chip = QString::fromStdString(c.name);
    record.signature = c.SignatureCode;
}

void NoteImageWritten(ChipRecord& record, const chip& c, int kind)
{
    const QString hash = Sha256Hex({c.Image(kind), c.ImageSize(kind)});
    (kind == FlashKind ? record.flashSha256 : record.eepromSha256) = hash;
}

void NoteCalibration(ChipRecord& record, const chip& c)
{
    record.calibration = std::vector<std::uint8_t>(c.CalibrationBytes.begin(), c.CalibrationBytes.begin() + c.CalibrationCount);
}

void NoteFuses(ChipRecord& record, const chip& c)
{
    record.fuses.clear();
    const FuseLayout* layout = LayoutOf(c.entry);
    for (int g = 0; layout && g < layout->groupCount; ++g) {
        const std::string_view caption = layout->groups[std::size_t(g)].caption;
        record.fuses.append({QString::fromUtf8(caption.data(), qsizetype(caption.size())), c.FuseDefaults[std::size_t(g)]});
    }
}

QString FailingLine(const QStringList& lines)
{
    for (const QString& line : lines) {
        if (line.startsWith(LogPrefix(LogPortUnavailable)) || line.startsWith(LogPrefix(LogGetParamsError)) ||
            line.startsWith(LogPrefix(LogSetParamsError)) || line.startsWith(LogPrefix(LogCommandError)) ||
            line.startsWith(LogPrefix(LogAnswerError)) || line == LogPrefix(LogWrongFile) ||
            line.startsWith(LogPrefix(LogNoChip)) || line == LogPrefix(LogNotAvailable) ||
            line.startsWith(LogPrefix(LogFinished) + QStringLiteral(" with fail")))
            return line;
    }
    return lines.isEmpty() ? QString() : lines.last();
}

QString Sha256Hex(std::span<const std::uint8_t> bytes)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(QByteArrayView(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())),
                                 QCryptographicHash::Sha256)
            .toHex());
}

QString RecordTime(const QDateTime& time)
{
    // An explicit offset: a local time without one names no moment.
    QDateTime withOffset = time.toOffsetFromUtc(time.offsetFromUtc());
    QString text = withOffset.toString(Qt::ISODateWithMs);
    if (text.endsWith(QLatin1Char('Z')))
        text = text.chopped(1) + QStringLiteral("+00:00");
    return text;
}

QByteArray RecordLine(const ChipRecord& record)
{
    QJsonObject o;
    o.insert(QStringLiteral("time"), RecordTime(record.time));
    o.insert(QStringLiteral("host"), record.host);
    o.insert(QStringLiteral("port"), record.port);
    if (!record.chip.isEmpty())
        o.insert(QStringLiteral("chip"), record.chip);
    if (record.signature) {
        const auto code = std::uint32_t(*record.signature);
        const std::uint8_t bytes[3] = {std::uint8_t(code), std::uint8_t(code >> 8), std::uint8_t(code >> 16)};
        o.insert(QStringLiteral("signature"), HexBytes(bytes));
    }
    if (record.calibration)
        o.insert(QStringLiteral("calibration"), HexBytes(*record.calibration));
    if (!record.flashSha256.isEmpty())
        o.insert(QStringLiteral("flash_sha256"), record.flashSha256);
    if (!record.eepromSha256.isEmpty())
        o.insert(QStringLiteral("eeprom_sha256"), record.eepromSha256);
    if (!record.fuses.isEmpty()) {
        QJsonObject fuses;
        for (const auto& [name, value] : record.fuses)
            fuses.insert(name, QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper());
        o.insert(QStringLiteral("fuses"), fuses);
    }
    if (record.serial)
        o.insert(QStringLiteral("serial"), qint64(*record.serial));
    o.insert(QStringLiteral("commands"), QJsonArray::fromStringList(record.commands));
    o.insert(QStringLiteral("result"), record.ok ? QStringLiteral("ok") : QStringLiteral("fail"));
    if (!record.ok && !record.failLine.isEmpty())
        o.insert(QStringLiteral("fail_line"), record.failLine);
    // Compact JSON escapes every line break inside strings, so the record is one line.
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

bool AppendRecordLine(const QString& file, const QByteArray& line, QString* error)
{
    const auto fail = [error](int errorNumber) {
        if (error)
            *error = SystemReason(errorNumber);
        return false;
    };
    const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return fail(errno);
    // O_APPEND puts each write at the end; the lock keeps a writer on a file system that splits
    // large writes from interleaving with another.
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            const int e = errno;
            ::close(fd);
            return fail(e);
        }
    }
    ssize_t written = 0;
    do
        written = ::write(fd, line.constData(), std::size_t(line.size()));
    while (written < 0 && errno == EINTR);
    const int e = errno;
    const bool whole = written == line.size();
    if (!whole && written > 0) {
        // Half a record would spoil the file for every reader: take it back out.
        const off_t end = ::lseek(fd, 0, SEEK_END);
        if (end >= written)
            (void)::ftruncate(fd, end - written);
    }
    const bool closed = ::close(fd) == 0;
    if (!whole)
        return fail(written < 0 ? e : ENOSPC);
    return closed || fail(errno);
}

}  // namespace velmora
