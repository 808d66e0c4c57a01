#include "log/rtfwriter.h"

#include "log/filebytes.h"

namespace velmora {

namespace {
// The fallback byte after each \u escape, for readers that do not know \u: the Windows-1251
// code of a Cyrillic letter (the chip names), '?' for anything else.
char Cp1251Fallback(char32_t code)
{
    if (code >= 0x0410 && code <= 0x044F)
        return char(0xC0 + (code - 0x0410));
    if (code == 0x0401)
        return char(0xA8);
    if (code == 0x0451)
        return char(0xB8);
    return '?';
}

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
            auto unicodeEscape = [&out](char16_t unit, char fallback) {
                out += "\\u" + QByteArray::number(qint16(unit));
                if (fallback == '?') {
                    out += '?';
                } else {
                    static const char hex[] = "0123456789abcdef";
                    out += "\\'";
                    out += hex[(uchar(fallback) >> 4) & 0xF];
                    out += hex[uchar(fallback) & 0xF];
                }
            };
            if (code > 0xFFFF) {
                unicodeEscape(QChar::highSurrogate(code), '?');
                unicodeEscape(QChar::lowSurrogate(code), '?');
            } else {
                unicodeEscape(char16_t(code), Cp1251Fallback(code));
            }
        }
    }
}
}  // namespace

QByteArray LogToRtf(const QStringList& lines, const QString& fontFamily, int fontPointSize)
{
    QByteArray out;
    out.reserve(128 + lines.size() * 48);
    out += "{\\rtf1\\ansi\\ansicpg1251\\deff0\\uc1{\\fonttbl{\\f0\\fmodern\\fcharset204 ";
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
    const QByteArray document = LogToRtf(lines, fontFamily, fontPointSize);
    return ReplaceFileBytes(path, std::string_view(document.constData(), std::size_t(document.size())), error);
}

}  // namespace velmora
