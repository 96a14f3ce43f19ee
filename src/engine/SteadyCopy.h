#pragma once

#include <functional>

namespace tolvan {

// Tries of a copy whose master changes while it is read, in all.
inline constexpr int kSteadyCopyTries = 3;

// Makes a copy with `copyOnce` until the master holds still while it is read
// (platform::kChangedWhileCopied means it did not, and nothing was put in place): at most
// kSteadyCopyTries tries, with a short pause between them for the writer to finish. The last
// try's result; kChangedWhileCopied when the master never held still, the old copy (or none)
// then left in place for the next run to try again.
[[nodiscard]] int CopyWhileSteady(const std::function<int()>& copyOnce);

}  // namespace tolvan
