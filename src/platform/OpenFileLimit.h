#pragma once

namespace tolvan::platform {

// Raises this process's soft limit of open files to its hard limit. The walks hold one
// folder open per level, so a tree deeper than the usual soft limit of 1,024 needs more.
// 0 or an errno; the limit stays as it was on failure.
[[nodiscard]] int RaiseOpenFileLimit();

}  // namespace tolvan::platform
