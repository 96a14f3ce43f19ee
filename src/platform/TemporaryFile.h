#pragma once

#include <cstddef>

#include "platform/UniqueFd.h"

namespace tolvan::platform {

// A name kPartialCopyPrefix + 16 hex digits, NUL-terminated.
inline constexpr std::size_t kTemporaryNameSize = 48;
using TemporaryName = char[kTemporaryNameSize];

void MakeTemporaryName(TemporaryName& name);

// Creates a new file under a fresh temporary name in `folderFd` (O_EXCL, so nothing is ever
// overwritten) and notes it for DiscardNotedTemporary. 0 or an errno.
[[nodiscard]] int CreateTemporaryFile(int folderFd, int mode, TemporaryName& name, UniqueFd& fd);

// The temporary file the calling thread is writing, for a signal handler that ends the
// program; each thread has its own note.
void NoteTemporary(int folderFd, const char* name);
void ForgetTemporary();
// Removes every thread's noted file (async-signal-safe).
void DiscardNotedTemporary();

// Removes the temporary file and forgets it; keeps errno.
void RemoveTemporary(int folderFd, const char* name);

}  // namespace tolvan::platform
