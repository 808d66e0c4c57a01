#include "batch/serialnumbers.h"

#include "chips/chip.h"
#include "log/filebytes.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cctype>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace velmora {

namespace {

// Decimal, or hex after 0x; nothing beyond 32 bits.
std::optional<std::uint32_t> ParseNumber(const QString& text)
{
    bool ok = false;
    const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const qulonglong value = hex ? text.mid(2).toULongLong(&ok, 16) : text.toULongLong(&ok, 10);
    // toULongLong takes a leading '+' or blanks; a number here is digits only.
    const QString digits = hex ? text.mid(2) : text;
    if (!ok || digits.isEmpty() || value > 0xFFFFFFFFull ||
        std::any_of(digits.begin(), digits.end(), [hex](QChar c) { return hex ? !std::isxdigit(c.toLatin1()) : !c.isDigit(); }))
        return std::nullopt;
    return std::uint32_t(value);
}

QString SystemReason(int errorNumber)
{
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

// An exclusive lock on a file of its own: the state file itself is replaced by a rename, which
// would leave a lock on it behind on the old file.
class FileLock {
public:
    explicit FileLock(const QString& name)
    {
        fd_ = ::open(QFile::encodeName(name).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd_ < 0) {
            error_ = SystemReason(errno);
            return;
        }
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                error_ = SystemReason(errno);
                ::close(fd_);
                fd_ = -1;
                return;
            }
        }
    }
    ~FileLock()
    {
        if (fd_ >= 0)
            ::close(fd_);  // releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool Held() const { return fd_ >= 0; }
    QString Error() const { return error_; }

private:
    int fd_ = -1;
    QString error_;
};

}  // namespace

std::optional<SerialSpec> ParseSerialSpec(const QString& text, QString* problem)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    auto fail = [&](const QString& why) {
        if (problem)
            *problem = why;
        return std::nullopt;
    };
    if (parts.size() < 3 || parts.size() > 4)
        return fail(QStringLiteral("--serial takes MEMORY:ADDRESS:FIRST[:STEP], not ") + text);
    SerialSpec def;
    const QString memory = parts[0].toLower();
    if (memory == QLatin1String("eeprom"))
        def.kind = EepromKind;
    else if (memory == QLatin1String("flash"))
        def.kind = FlashKind;
    else
        return fail(QStringLiteral("--serial: the memory is eeprom or flash, not ") + parts[0]);
    const std::optional<std::uint32_t> address = ParseNumber(parts[1]);
    const std::optional<std::uint32_t> first = ParseNumber(parts[2]);
    const std::optional<std::uint32_t> step = parts.size() == 4 ? ParseNumber(parts[3]) : std::optional<std::uint32_t>(1);
    if (!address)
        return fail(QStringLiteral("--serial: not an address: ") + parts[1]);
    if (!first)
        return fail(QStringLiteral("--serial: not a 32-bit number: ") + parts[2]);
    if (!step || *step == 0)
        return fail(QStringLiteral("--serial: the step is a number from 1, not ") + parts[3]);
    def.address = *address;
    def.first = *first;
    def.step = *step;
    return def;
}

bool PutSerial(std::span<std::uint8_t> memory, std::uint32_t address, std::uint32_t value)
{
    if (memory.size() < SerialBytes || address > memory.size() - SerialBytes)
        return false;
    for (std::uint32_t i = 0; i < SerialBytes; ++i)
        memory[address + i] = std::uint8_t(value >> (8 * i));
    return true;
}

SerialAllocator::SerialAllocator(const SerialSpec& def, QString stateFile)
    : spec_(def), stateFile_(std::move(stateFile)), next_(def.first)
{
}

std::optional<std::uint64_t> SerialAllocator::ReadNext(QString* problem) const
{
    QFile file(stateFile_);
    if (!file.exists())
        return spec_.first;
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("cannot read the serial number state %1: %2").arg(stateFile_, file.errorString());
        return std::nullopt;
    }
    const QString text = QString::fromLatin1(file.read(64)).trimmed();
    // A file just created empty holds no number yet; anything else must be one.
    if (text.isEmpty())
        return spec_.first;
    bool ok = false;
    const qulonglong kept = text.toULongLong(&ok, 10);
    if (!ok || !std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); })) {
        *problem = QStringLiteral("the serial number state %1 holds no number; nothing was changed").arg(stateFile_);
        return std::nullopt;
    }
    return std::max<std::uint64_t>(kept, spec_.first);
}

std::optional<std::uint32_t> SerialAllocator::Take(QString* problem)
{
    QString why;
    const std::lock_guard guard(mutex_);
    if (stateFile_.isEmpty()) {
        if (next_ > 0xFFFFFFFFull) {
            *problem = QStringLiteral("no serial numbers left below 2^32");
            return std::nullopt;
        }
        const auto value = std::uint32_t(next_);
        next_ += spec_.step;
        return value;
    }
    const FileLock lock(stateFile_ + QStringLiteral(".lock"));
    if (!lock.Held()) {
        *problem = QStringLiteral("cannot lock %1.lock: %2").arg(stateFile_, lock.Error());
        return std::nullopt;
    }
    const std::optional<std::uint64_t> next = ReadNext(problem);
    if (!next)
        return std::nullopt;
    if (*next > 0xFFFFFFFFull) {
        *problem = QStringLiteral("no serial numbers left below 2^32 in %1").arg(stateFile_);
        return std::nullopt;
    }
    // The number counts as given once the file says so: a chip never gets one the file still
    // offers.
    const std::string after = std::to_string(*next + spec_.step) + "\n";
    if (!ReplaceFileBytes(stateFile_, after, &why)) {
        *problem = QStringLiteral("cannot write the serial number state %1: %2").arg(stateFile_, why);
        return std::nullopt;
    }
    return std::uint32_t(*next);
}

}  // namespace velmora
