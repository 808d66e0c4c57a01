#include "cli/terminal.h"

#include "ops/memorycommands.h"

#include <unistd.h>

#include <algorithm>
#include <string>

namespace velmora::cli {

Terminal Terminal::ForProcess(std::FILE* err, bool assumeYes)
{
    Terminal t;
    t.in = stdin;
    t.err = err;
    t.interactive = ::isatty(::fileno(stdin)) == 1;
    t.progressBar = err && ::isatty(::fileno(err)) == 1;
    t.assumeYes = assumeYes;
    return t;
}

bool Terminal::Approve(ApprovalKind kind, const QString& question) const
{
    if (kind == ApprovalKind::Routine)
        return Confirm(question);
    if (allowLockout)
        return true;
    Terminal asking = *this;
    asking.assumeYes = false;
    return asking.Confirm(question);
}

bool Terminal::Confirm(const QString& question) const
{
    if (assumeYes)
        return true;
    if (!interactive || !in || !err)
        return false;
    const QByteArray prompt = (QuestionCaption + QStringLiteral(": ") + question + QStringLiteral(" [y/N] ")).toUtf8();
    std::fwrite(prompt.constData(), 1, std::size_t(prompt.size()), err);
    std::fflush(err);
    char line[64] = {};
    if (!std::fgets(line, sizeof line, in))
        return false;
    const QString answer = QString::fromLocal8Bit(line).trimmed().toLower();
    return answer == QLatin1String("y") || answer == QLatin1String("yes");
}

ProgressFn Terminal::ProgressBar() const
{
    if (!progressBar || !err)
        return {};
    return [this](int percent) {
        if (percent != *bar_)
            Draw(percent);
    };
}

void Terminal::Draw(int percent) const
{
    *bar_ = percent;
    constexpr int Width = 40;
    const int filled = std::clamp(percent, 0, 100) * Width / 100;
    std::fprintf(err, "\r[%s%s] %3d%%", std::string(std::size_t(filled), '#').c_str(),
                 std::string(std::size_t(Width - filled), ' ').c_str(), percent);
    std::fflush(err);
}

void Terminal::ClearBar() const
{
    if (*bar_ >= 0) {
        std::fputs("\r\033[K", err);
        std::fflush(err);
    }
}

void Terminal::RedrawBar() const
{
    if (*bar_ >= 0)
        Draw(*bar_);
}

void Terminal::EndProgressBar() const
{
    ClearBar();
    *bar_ = -1;
}

}  // namespace velmora::cli
