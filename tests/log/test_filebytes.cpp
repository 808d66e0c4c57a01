// Replacing a file all or nothing, also where its folder refuses a temporary file.
#include "log/filebytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora {
namespace {

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A file with content in a folder that takes no new file (so no temporary file beside it).
struct LockedFolderFile {
    explicit LockedFolderFile(const QByteArray& content)
    {
        folder = dir.filePath(QStringLiteral("locked"));
        name = folder + QStringLiteral("/image.hex");
        QFile file(name);
        ok = dir.isValid() && QDir().mkdir(folder) && file.open(QIODevice::WriteOnly) &&
             file.write(content) == content.size();
        file.close();
        ok = ok && ::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0 &&
             ::chmod(QFile::encodeName(name).constData(), 0666) == 0 &&
             ::chmod(QFile::encodeName(folder).constData(), 0555) == 0;
    }
    ~LockedFolderFile() { ::chmod(QFile::encodeName(folder).constData(), 0755); }

    QTemporaryDir dir;
    QString folder;
    QString name;
    bool ok = false;
};

// Runs body in a child process that is not root (a folder's permissions do not stop root);
// its exit status, 3 when it could not give up root.
template <typename Body>
int AsOtherUser(Body body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// The disk takes only 4 KiB more of the file (a file size limit stands in for a full disk).
TEST(ReplaceFileBytes, AFailedInPlaceWriteLeavesTheOldFile)
{
    const QByteArray old(3000, 'o');
    LockedFolderFile f(old);
    ASSERT_TRUE(f.ok);
    const int status = AsOtherUser([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        QString error;
        const bool written = ReplaceFileBytes(f.name, std::string(20000, 'n'), &error);
        return written ? 1 : error.isEmpty() || error == QStringLiteral("Unknown error") ? 2 : 0;
    });
    EXPECT_EQ(status, 0) << "1: reported written, 2: no reason given, 3: could not give up root";
    EXPECT_EQ(Contents(f.name), old) << "the old content survives";
}

TEST(ReplaceFileBytes, InPlaceWriteReplacesTheContent)
{
    LockedFolderFile f(QByteArray(5000, 'o'));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(AsOtherUser([&] { return ReplaceFileBytes(f.name, "shorter", nullptr) ? 0 : 1; }), 0);
    EXPECT_EQ(Contents(f.name), QByteArray("shorter")) << "cut to the new size";
}

TEST(ReplaceFileBytes, AFullDeviceSaysSo)
{
    QString error;
    EXPECT_FALSE(ReplaceFileBytes(QStringLiteral("/dev/full"), "data", &error));
    EXPECT_EQ(error, QStringLiteral("No space left on device"));
}

}  // namespace
}  // namespace velmora
