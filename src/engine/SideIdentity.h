#pragma once

#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace tolvan {

// Text that reaches a system call unchanged: no NUL byte (every call would stop there) and
// shorter than the system's path limit. Checked before any other work on the text, so even
// a huge value is refused at once.
[[nodiscard]] bool IsUsablePathText(std::string_view path);

// `inner` is `outer` itself or lies below it, decided on the resolved paths and on device
// and inode numbers, so that no link, "..", doubled "/" or bind mount hides it. False when
// either path cannot be resolved (a missing side is reported by the side checks).
[[nodiscard]] bool LiesWithin(platform::FileSystem& fs, const std::string& inner,
                              const std::string& outer);

// One side is the other or lies inside it.
[[nodiscard]] bool SidesOverlap(platform::FileSystem& fs, const std::string& from,
                                const std::string& to);

}  // namespace tolvan
