#include "platform/OwnFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tolvan::platform {
namespace {

// O_NONBLOCK: opening a FIFO or a device must not wait for its other end.
constexpr int kOwnFileFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;

int RegularFileOnly(const struct stat& st) {
  if (S_ISREG(st.st_mode)) return 0;
  return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
}

int OpenOwnFile(const std::string& path, int flags, UniqueFd& fd, struct stat& st) {
  fd.reset(::open(path.c_str(), flags | kOwnFileFlags, 0666));
  if (!fd.valid()) return errno;
  if (::fstat(fd.get(), &st) != 0) return errno;
  return RegularFileOnly(st);
}

// Reads at most one byte past the limit, so a file that grows meanwhile cannot fill memory.
int ReadUpToLimit(int fd, std::string& content) {
  content.clear();
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return 0;
    content.append(buffer, static_cast<std::size_t>(n));
    if (static_cast<std::int64_t>(content.size()) > kOwnFileReadLimit) return EFBIG;
  }
}

}  // namespace

int ReadOwnFile(const std::string& path, std::string& content) {
  UniqueFd fd;
  struct stat st {};
  if (int e = OpenOwnFile(path, O_RDONLY, fd, st); e != 0) return e;
  if (st.st_size > kOwnFileReadLimit) return EFBIG;
  return ReadUpToLimit(fd.get(), content);
}

int OpenOwnFileToWrite(const std::string& path, int flags, UniqueFd& fd) {
  struct stat st {};
  if (int e = OpenOwnFile(path, O_WRONLY | O_CREAT | flags, fd, st); e != 0) {
    fd.reset();
    return e;
  }
  if (st.st_nlink > 1) {
    fd.reset();
    return EMLINK;
  }
  return 0;
}

}  // namespace tolvan::platform
