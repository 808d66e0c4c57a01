// The few words the status bar shows after a command, taken from the command's log lines.
#include "log/commandresult.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(CommandResult, SuccessDifferencesAndFailuresWithTheirStep)
{
    const struct {
        const char* name;
        QStringList lines;
        CommandResult::Kind kind;
        const char* text;
    } cases[] = {
        {"read",
         {"Trying to read the program", "Start time: 9:01:02", "Trying to enter Programming Mode",
          "       Finished with success.", "       Finished", "End time: 9:01:03"},
         CommandResult::Success, "Done: read the program"},
        {"verify without differences",
         {"Trying to verify the data", "       Finished. No differences found."}, CommandResult::Success,
         "Done: verify the data"},
        {"verify with differences",
         {"Trying to verify the program", "Trying to enter Programming Mode", "       Finished with success.",
          "       Finished with fail. Address: 0x01A2", "End time: 9:01:03"},
         CommandResult::Differs, "Differences: verify the program; the first at address 0x01A2"},
        {"a gateway that stopped answering",
         {"Trying to read the data", "Trying to enter Programming Mode", "Error reading the answer (PINB)",
          "       Finished with fail.", "       Finished with fail."},
         CommandResult::Failure, "Failed: read the data, at: Error reading the answer (PINB)"},
        {"a step that failed without an error line",
         {"Trying to write the program", "Trying to erase the chip", "       Finished with fail.",
          "       Finished with fail."},
         CommandResult::Failure, "Failed: write the program, at: erase the chip"},
        {"no chip", {"No chip selected"}, CommandResult::Failure, "Failed: No chip selected"},
        {"a command the chip has not",
         {"Trying to read calibration bytes", "Command is not available for this chip"}, CommandResult::Failure,
         "Failed: read calibration bytes: Command is not available for this chip"},
        {"nothing closed", {"Selected chip is  ATmega8"}, CommandResult::None, ""},
        {"no lines", {}, CommandResult::None, ""},
    };
    for (const auto& c : cases) {
        const CommandResult r = ResultOfCommand(c.lines);
        EXPECT_EQ(r.kind, c.kind) << c.name;
        EXPECT_EQ(r.text, QString::fromLatin1(c.text)) << c.name;
    }
}

}  // namespace
}  // namespace velmora
