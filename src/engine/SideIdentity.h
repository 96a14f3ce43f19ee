#pragma once

#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace tolvan {

// Text that reaches a system call unchanged: no NUL byte (every call would stop there) and
// shorter than the system's path limit. Checked before any other work on the text, so even
// a huge value is refused at once.
[[nodiscard]] bool IsUsablePathText(std::string_view path);

// `path` with its links, "..", doubled "/" resolved, and the identities of the entry and of
// every folder above it. False when it cannot be resolved (a missing side is reported by the
// side checks).
[[nodiscard]] bool ResolveSide(platform::FileSystem& fs, const std::string& path,
                               platform::ResolvedPath& out);

// `inner` is `outer` itself or lies below it, decided on the resolved paths and on device
// and inode numbers, so that no link, "..", doubled "/" or bind mount hides it.
[[nodiscard]] bool LiesWithin(const platform::ResolvedPath& inner,
                              const platform::ResolvedPath& outer);

// One side is the other or lies inside it.
[[nodiscard]] bool SidesOverlap(const platform::ResolvedPath& from,
                                const platform::ResolvedPath& to);

// Whether `resolved` is the folder the side's held root holds; true while none is held (a
// dry run) or the root could not be held (the side checks report that).
[[nodiscard]] bool IsHeldRoot(platform::FileSystem& fs, platform::Side side,
                              const platform::ResolvedPath& resolved);

}  // namespace tolvan
