// Input: the words of a velmora-cli command line, separated by NUL bytes. A word of two bytes
// starting with 0x01 stands for the option or command its second byte picks from the tables, so
// the fuzzer reaches the checks behind the names without guessing them letter by letter.
// Whatever the words, parsing must end with a verdict that holds together: a refusal says why,
// an accepted chain names only commands of the table, asks for a chip only after a select, and
// parses the same way a second time.
#include "cli/cli.h"
#include "cli/commandtable.h"
#include "log/text.h"

#include <QStringList>

#include <algorithm>
#include <cstdlib>

using namespace velmora;
using namespace velmora::cli;

namespace {
void Check(bool ok)
{
    if (!ok)
        std::abort();
}

QString Word(const std::uint8_t* data, std::size_t size)
{
    if (size == 2 && data[0] == 0x01) {
        const auto options = OptionTable();
        const auto commands = CommandTable();
        const std::size_t pick = data[1] % (options.size() + commands.size());
        return pick < options.size() ? Text(options[pick].name) : Text(commands[pick - options.size()].name);
    }
    return QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
}

bool InTable(const CommandSpec* command)
{
    const auto commands = CommandTable();
    return std::any_of(commands.begin(), commands.end(), [command](const CommandSpec& c) { return &c == command; });
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QStringList args;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= size; ++i)
        if (i == size || data[i] == 0) {
            args.append(Word(data + start, i - start));
            start = i + 1;
        }

    CliOptions options;
    QString problem;
    const bool parsed = ParseArguments(args, options, &problem);
    Check(parsed == problem.isEmpty());
    if (!parsed)
        return 0;
    Check(!options.steps.isEmpty() || options.listPorts);
    bool chipChosen = false;
    for (const CliStep& step : options.steps) {
        Check(InTable(step.command));
        Check(!step.command->Needs(NeedsChip) || chipChosen);
        chipChosen = chipChosen || step.command->Needs(SelectsChip);
    }
    CliOptions again;
    Check(ParseArguments(args, again, &problem) && again.steps.size() == options.steps.size());
    for (qsizetype i = 0; i < options.steps.size(); ++i)
        Check(again.steps[i].command == options.steps[i].command && again.steps[i].file == options.steps[i].file);
    return 0;
}
