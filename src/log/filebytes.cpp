#include "log/filebytes.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace velmora {

bool ReadFileBytes(const QString& name, QByteArray* data, std::int64_t maxBytes)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    data->clear();
    // Read in chunks: sequential files (pipes, devices) have no size to trust.
    constexpr std::int64_t Chunk = 1 << 20;
    while (data->size() < maxBytes) {
        const std::int64_t want = std::min<std::int64_t>(Chunk, maxBytes - data->size());
        const qsizetype before = data->size();
        data->resize(before + want);
        const std::int64_t got = file.read(data->data() + before, want);
        if (got < 0)
            return false;
        data->resize(before + got);
        if (got == 0)
            break;
    }
    return true;
}

bool ReplaceFileBytes(const QString& name, std::string_view data, QString* error)
{
    const auto fail = [error](const QFileDevice& file) {
        if (error)
            *error = file.errorString();
        return false;
    };
    const qint64 size = static_cast<qint64>(data.size());
    // A device or pipe is written to, never replaced: renaming a regular file over it would
    // take the node itself away (as root, even /dev/null).
    const QFileInfo info(name);
    if (info.exists() && !info.isFile() && !info.isDir()) {
        QFile device(name);
        if (!device.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || device.write(data.data(), size) != size)
            return fail(device);
        return true;
    }
    QSaveFile file(name);
    // Unbuffered: a buffered write reports every byte taken even when the disk refused some,
    // and commit() would then put a truncated file in place of the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file);
    // A short write leaves the temporary file uncommitted; destroying it removes it.
    if (file.write(data.data(), size) != size || !file.commit())
        return fail(file);
    return true;
}

}  // namespace velmora
