#include "log/rtfwriter.h"

#include <QSaveFile>

namespace velmora {

namespace {
void AppendEscaped(QByteArray& out, const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char32_t code = text.at(i).isHighSurrogate() && i + 1 < text.size()
                                  ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
                                  : text.at(i).unicode();
        if (code > 0xFFFF)
            ++i;
        if (code == '\\' || code == '{' || code == '}') {
            out += '\\';
            out += char(code);
        } else if (code == '\t') {
            out += "\\tab ";
        } else if (code >= 0x20 && code < 0x80) {
            out += char(code);
        } else if (code < 0x20) {
            continue;  // control characters never reach the log; drop any that would break the markup
        } else {
            // RTF's \u takes a signed 16-bit value; characters beyond the BMP go as a surrogate pair.
            auto unicodeEscape = [&out](char16_t unit) {
                out += "\\u" + QByteArray::number(qint16(unit)) + '?';
            };
            if (code > 0xFFFF) {
                unicodeEscape(QChar::highSurrogate(code));
                unicodeEscape(QChar::lowSurrogate(code));
            } else {
                unicodeEscape(char16_t(code));
            }
        }
    }
}
}  // namespace

QByteArray LogToRtf(const QStringList& lines, const QString& fontFamily, int fontPointSize)
{
    QByteArray out;
    out.reserve(128 + lines.size() * 48);
    out += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fmodern\\fcharset0 ";
    AppendEscaped(out, fontFamily);
    out += ";}}\n\\viewkind4\\pard\\f0\\fs" + QByteArray::number(fontPointSize * 2) + ' ';
    for (const QString& line : lines) {
        AppendEscaped(out, line);
        out += "\\par\n";
    }
    out += "}\n";
    return out;
}

bool SaveLogRtf(const QString& path, const QStringList& lines, const QString& fontFamily,
                int fontPointSize, QString* error)
{
    QSaveFile file(path);
    const QByteArray document = LogToRtf(lines, fontFamily, fontPointSize);
    if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace velmora
