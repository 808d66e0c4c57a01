#pragma once
// The one way a long command reports how far it is: a percentage for a progress bar.

#include <cstddef>
#include <functional>

namespace velmora {

// Sets a progress bar to a percentage (0 to 100); may be empty.
using ProgressFn = std::function<void(int percent)>;

// (index + 1) * 100 / total in unsigned arithmetic: the progress figure of every image loop.
int ProgressPercent(std::size_t index, std::size_t total);

}  // namespace velmora
