#pragma once

#include <sys/stat.h>

#include <vector>

namespace tolvan::platform {

// Copies the content of the open file `from`, described by `source` (its fstat when it was
// opened), into the new, empty file `to`:
// - at most source.st_size bytes: what is appended while the copy runs is left for the next
//   run, so a file that keeps growing cannot keep the copy going;
// - holes stay holes: only the ranges SEEK_DATA finds are copied and the target gets its size
//   with ftruncate (a file system without SEEK_DATA is copied whole);
// - each range by copy_file_range where the kernel can, by reads and writes through `buffer`
//   otherwise.
// A source that shrinks ends the copy early. 0 or an errno.
[[nodiscard]] int CopyFileContent(int from, int to, const struct stat& source,
                                  std::vector<char>& buffer);

}  // namespace tolvan::platform
