#pragma once
// How a command asks before it changes the chip. Two kinds of question are told apart,
// because they are approved differently: a routine one (erasing, writing: the command line's
// --yes answers it) and one about values that can shut the programmer out of the chip or take
// its reset pin or clock away (only its own approval answers it: --allow-lockout, or the
// question on a terminal or in the window).

#include <QString>

#include <cstdint>
#include <functional>

namespace velmora {

enum class ApprovalKind : std::uint8_t { Routine, Lockout };

// Answers a question; true: go on. An empty approver approves nothing.
using Approver = std::function<bool(ApprovalKind kind, const QString& question)>;

inline bool Approves(const Approver& approver, ApprovalKind kind, const QString& question)
{
    return approver && approver(kind, question);
}

}  // namespace velmora
