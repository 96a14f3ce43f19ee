#pragma once

#include <string>

#include "platform/PathIdentity.h"

namespace tolvan::platform {

// realpath of `path` with each name as its folder stores it where that folder is case-blind,
// then one stat per folder of the result. A path that holds a NUL byte or is too long is
// refused (EINVAL, ENAMETOOLONG) before any system call sees it.
[[nodiscard]] int ResolveWithLineage(const std::string& path, ResolvedPath& out);

}  // namespace tolvan::platform
