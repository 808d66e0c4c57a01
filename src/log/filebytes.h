#pragma once
// Reading files piece by piece without ever waiting for a pipe or device that has nobody at its
// other end, and all-or-nothing file replacement, for the image files and the saved log.

#include <QString>

#include <cstdint>
#include <string_view>

namespace velmora {

// How long a pipe or device may stay silent, on either side, before it counts as unusable.
inline constexpr int FileStallMs = 2000;

// One file read from its start. A pipe or device is opened without waiting for a writer: a
// pipe that nobody writes to reads as a failure ("nothing writes to it"), not as a wait.
class FileReader {
public:
    explicit FileReader(QString name);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // False when the file cannot be opened (missing, a directory, no permission).
    bool Open();
    // The size of a regular file; -1 for pipes and devices.
    std::int64_t Size() const { return size_; }
    // Up to max bytes into data: the count, 0 at the end, -1 on failure (also when a pipe or
    // device sends nothing for FileStallMs).
    std::int64_t Read(char* data, std::int64_t max);
    // The system's reason for the last failure.
    QString Error() const { return error_; }

private:
    bool Fail(int errorNumber);

    QString name_;
    int fd_ = -1;
    std::int64_t size_ = -1;
    std::int64_t read_ = 0;
    QString error_;
};

// Replaces the file by data, or leaves whatever was there untouched: the bytes go to a
// temporary file beside it that is renamed over it only once completely written. Only when the
// folder refuses the temporary file is an existing writable file written in place, and then
// only after its new size has been reserved on the disk, so a full disk leaves the old content
// as it was ("No space left on device"). A device or
// pipe is written to directly, without waiting for a reader that is not there. False when the
// file cannot be created or written completely; then *error, when given, gets the reason.
bool ReplaceFileBytes(const QString& name, std::string_view data, QString* error = nullptr);

}  // namespace velmora
