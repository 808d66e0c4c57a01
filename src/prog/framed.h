#pragma once
// The log frame of an operation with a start line, shared by the primitives and the family
// units: "Trying to" + trying, the steps, and on success "       Finished" + finished.

#include "log/operationlog.h"
#include "log/text.h"
#include "prog/progcontext.h"

#include <string_view>

namespace velmora {

inline constexpr std::string_view WithSuccess = " with success.";

// Runs steps (a callable returning true when every step was done) inside the frame. An empty
// trying writes no start line. A step that fails has written its own line, or none where the
// convention wants none (a wrong echo, a chip that stays busy); no finish line follows it.
template <typename Steps>
bool Framed(const ProgContext& ctx, std::string_view trying, Steps&& steps, std::string_view finished = WithSuccess)
{
    if (!trying.empty())
        ctx.log.WriteLog(LogTrying, Text(trying));
    if (!steps())
        return false;
    ctx.log.WriteLog(LogFinished, Text(finished));
    return true;
}

}  // namespace velmora
