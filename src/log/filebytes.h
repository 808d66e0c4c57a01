#pragma once
// Whole-file reads and all-or-nothing file replacement, for the image files and the saved log.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <limits>
#include <string_view>

namespace velmora {

// Reads up to maxBytes from the start of the file into *data. False when the file cannot be
// opened (missing, a directory, no permission) or a read fails.
bool ReadFileBytes(const QString& name, QByteArray* data,
                   std::int64_t maxBytes = std::numeric_limits<std::int64_t>::max());

// Replaces the file by data, or leaves whatever was there untouched: the bytes go to a
// temporary file beside it that is renamed over it only once completely written. A device or
// pipe is written to directly. False when the file cannot be created or written completely;
// then *error, when given, gets the system's reason.
bool ReplaceFileBytes(const QString& name, std::string_view data, QString* error = nullptr);

}  // namespace velmora
