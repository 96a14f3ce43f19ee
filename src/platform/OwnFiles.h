#pragma once

#include <cstdint>
#include <string>

#include "platform/UniqueFd.h"

namespace tolvan::platform {

// The program's own files (conditions files, the list of jobs, the reports, the dry-run
// lists) are regular files of their own, reached without a link: a link, a FIFO, a device
// or a folder planted in their place is refused at once, never followed, waited on or
// written through.

// A conditions file is a few hundred bytes and the list of jobs a few kilobytes.
inline constexpr std::int64_t kOwnFileReadLimit = std::int64_t{1} << 20;

// Reads the whole file: ELOOP for a link, EISDIR for a folder, EINVAL for any other kind
// that is not a regular file, EFBIG past kOwnFileReadLimit; else 0 or the errno of the read.
[[nodiscard]] int ReadOwnFile(const std::string& path, std::string& content);

// Opens for writing (O_WRONLY | O_CREAT | `flags`), refusing as ReadOwnFile does, and also
// a file that has other names (EMLINK): writing it would change them too.
[[nodiscard]] int OpenOwnFileToWrite(const std::string& path, int flags, UniqueFd& fd);

}  // namespace tolvan::platform
