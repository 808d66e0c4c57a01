#include "log/filebytes.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {

QString SystemReason(int errorNumber)
{
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

// Waits until fd is ready for events; false after FileStallMs of nothing.
bool WaitReady(int fd, short events)
{
    pollfd p{fd, events, 0};
    int ready;
    do
        ready = ::poll(&p, 1, FileStallMs);
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}

// Writes all of data to a pipe or device opened without blocking.
bool WriteDevice(const QString& name, std::string_view data, QString* error)
{
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    // Opening a pipe for writing waits for a reader; without one it fails at once (ENXIO).
    const int fd = ::open(QFile::encodeName(name).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return fail(errno == ENXIO ? QStringLiteral("Nothing reads from it") : SystemReason(errno));
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            if (!WaitReady(fd, POLLOUT)) {
                ::close(fd);
                return fail(QStringLiteral("Nothing takes the data"));
            }
        } else {
            const int why = n < 0 ? errno : EIO;
            ::close(fd);
            return fail(SystemReason(why));
        }
    }
    ::close(fd);
    return true;
}

}  // namespace

FileReader::FileReader(QString name) : name_(std::move(name)) {}

FileReader::~FileReader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool FileReader::Fail(int errorNumber)
{
    error_ = SystemReason(errorNumber);
    return false;
}

bool FileReader::Open()
{
    // Without O_NONBLOCK, opening a pipe waits for a writer, for good if none comes.
    fd_ = ::open(QFile::encodeName(name_).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0)
        return Fail(errno);
    struct stat info {};
    if (::fstat(fd_, &info) != 0)
        return Fail(errno);
    if (S_ISDIR(info.st_mode))
        return Fail(EISDIR);
    size_ = S_ISREG(info.st_mode) ? static_cast<std::int64_t>(info.st_size) : -1;
    return true;
}

std::int64_t FileReader::Read(char* data, std::int64_t max)
{
    if (fd_ < 0 || max <= 0)
        return fd_ < 0 ? -1 : 0;
    for (;;) {
        const ssize_t n = ::read(fd_, data, static_cast<std::size_t>(max));
        if (n > 0) {
            read_ += n;
            return n;
        }
        if (n == 0) {
            // A pipe that ends before its first byte had no writer.
            if (size_ < 0 && read_ == 0) {
                struct stat info {};
                if (::fstat(fd_, &info) == 0 && S_ISFIFO(info.st_mode)) {
                    error_ = QStringLiteral("Nothing writes to it");
                    return -1;
                }
            }
            return 0;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN) {
            Fail(errno);
            return -1;
        }
        if (!WaitReady(fd_, POLLIN)) {
            error_ = QStringLiteral("Nothing came from it for %1 seconds").arg(FileStallMs / 1000);
            return -1;
        }
    }
}

namespace {

// The existing file rewritten in place, when its folder refuses a temporary file. The new size
// is reserved first, so a full disk refuses the write before a byte of the old content is
// touched; the file is cut to the new size only once everything is written.
bool WriteInPlace(const QString& name, std::string_view data, QString* error)
{
    const auto fail = [error](int errorNumber) {
        if (error)
            *error = SystemReason(errorNumber);
        return false;
    };
    const int fd = ::open(QFile::encodeName(name).constData(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return fail(errno);
    struct stat before {};
    if (::fstat(fd, &before) != 0) {
        const int why = errno;
        ::close(fd);
        return fail(why);
    }
    const off_t size = static_cast<off_t>(data.size());
    if (size > 0) {
        const int why = ::posix_fallocate(fd, 0, size);
        if (why != 0) {
            // Whatever the reservation added beyond the old end goes again.
            [[maybe_unused]] const int restored = ::ftruncate(fd, before.st_size);
            ::close(fd);
            return fail(why);
        }
    }
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::pwrite(fd, data.data() + done, data.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int why = n < 0 ? errno : EIO;
            ::close(fd);
            return fail(why);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::ftruncate(fd, size) != 0 || ::fsync(fd) != 0) {
        const int why = errno;
        ::close(fd);
        return fail(why);
    }
    if (::close(fd) != 0)
        return fail(errno);
    return true;
}

}  // namespace

bool ReplaceFileBytes(const QString& name, std::string_view data, QString* error)
{
    // A device or pipe is written to, never replaced: renaming a regular file over it would
    // take the node itself away (as root, even /dev/null).
    const QFileInfo info(name);
    if (info.exists() && !info.isFile() && !info.isDir())
        return WriteDevice(name, data, error);
    const qint64 size = static_cast<qint64>(data.size());
    QSaveFile file(name);
    // Unbuffered: a buffered write reports every byte taken even when the disk refused some,
    // and commit() would then put a truncated file in place of the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        // A folder the user may not write to cannot take the temporary file; a writable file
        // in it is then written in place, as any editor does, rather than not at all.
        const QByteArray folder = QFile::encodeName(info.absolutePath());
        // Checked with the effective ids, the ones the open used.
        if (info.isFile() && ::faccessat(AT_FDCWD, QFile::encodeName(name).constData(), W_OK, AT_EACCESS) == 0 &&
            ::faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) != 0)
            return WriteInPlace(name, data, error);
        if (error)
            *error = file.errorString();
        return false;
    }
    // A short write leaves the temporary file uncommitted; destroying it removes it. The
    // reason in the system's own words ("No space left on device").
    const auto fail = [&file, error](int why) {
        if (error)
            *error = why != 0 ? SystemReason(why) : file.errorString();
        return false;
    };
    errno = 0;
    if (file.write(data.data(), size) != size)
        return fail(errno);
    errno = 0;
    if (!file.commit())
        return fail(errno);
    return true;
}

}  // namespace velmora
