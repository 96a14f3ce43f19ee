// The floor for a run with nothing to do: walk each tree given on the command line depth first
// and lstat every entry, relative to the open folder descriptor, and nothing else. No path
// strings are built and nothing is allocated per entry besides what readdir itself does.
//
//   walk_floor TREE...
//
// Prints the number of folders and other entries seen and the sum of their sizes, so that the
// compiler cannot drop the calls and a caller can check that the whole tree was seen.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

struct WalkCounts {
  std::uint64_t folders = 0;
  std::uint64_t others = 0;
  std::uint64_t bytes = 0;
  std::uint64_t errors = 0;
};

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

void ReportError(const char* what, const char* name, int error) {
  std::fprintf(stderr, "walk_floor: %s %s: %s\n", what, name, std::strerror(error));
}

// Takes ownership of folder_fd.
void WalkFolder(int folder_fd, WalkCounts& counts) {
  DIR* folder = fdopendir(folder_fd);
  if (folder == nullptr) {
    ReportError("fdopendir", "", errno);
    ++counts.errors;
    close(folder_fd);
    return;
  }
  ++counts.folders;
  const int fd = dirfd(folder);
  while (const dirent* entry = readdir(folder)) {
    if (IsDotOrDotDot(entry->d_name)) continue;
    struct stat info {};
    if (fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
      ReportError("fstatat", entry->d_name, errno);
      ++counts.errors;
      continue;
    }
    if (!S_ISDIR(info.st_mode)) {
      ++counts.others;
      counts.bytes += static_cast<std::uint64_t>(info.st_size);
      continue;
    }
    const int child_fd = openat(fd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (child_fd < 0) {
      ReportError("openat", entry->d_name, errno);
      ++counts.errors;
      continue;
    }
    WalkFolder(child_fd, counts);
  }
  closedir(folder);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: walk_floor TREE...\n");
    return 2;
  }
  WalkCounts counts;
  for (int i = 1; i < argc; ++i) {
    const int root_fd = open(argv[i], O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (root_fd < 0) {
      ReportError("open", argv[i], errno);
      return 2;
    }
    WalkFolder(root_fd, counts);
  }
  std::printf("walk_floor: %llu folders, %llu other entries, %llu bytes, %llu errors\n",
              static_cast<unsigned long long>(counts.folders),
              static_cast<unsigned long long>(counts.others),
              static_cast<unsigned long long>(counts.bytes),
              static_cast<unsigned long long>(counts.errors));
  return counts.errors == 0 ? 0 : 1;
}
