#pragma once
// Saving the log as a rich-text document: one paragraph per line, in the log view's font.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace velmora {

// A complete RTF document. Characters outside 7-bit ASCII are written as \uN escapes, with the
// Windows-1251 byte as the fallback for readers without \u, so Cyrillic chip names show either way.
QByteArray LogToRtf(const QStringList& lines, const QString& fontFamily, int fontPointSize);

// Writes the document to path through a temporary file that replaces the target only once
// it is complete, so a failed save never leaves an existing file truncated.
// On failure returns false and sets *error to the system's reason.
bool SaveLogRtf(const QString& path, const QStringList& lines, const QString& fontFamily,
                int fontPointSize, QString* error);

}  // namespace velmora
