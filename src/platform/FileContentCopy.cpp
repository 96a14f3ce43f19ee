#include "platform/FileContentCopy.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string_view>

#include "platform/UniqueFd.h"

namespace tolvan::platform {
namespace {

constexpr std::size_t kCopyBufferSize = 256 * 1024;
constexpr std::int64_t kKernelCopyChunk = std::int64_t{1} << 30;
constexpr std::int64_t kStatBlockSize = 512;

// copy_file_range cannot serve this pair of files; plain reads and writes can.
bool KernelCopyUnsupported(int error) {
  return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP ||
         error == EBADF || error == EPERM || error == ETXTBSY;
}

// Fewer blocks than the size needs: the file may have holes. Only then is it worth asking
// where its data lies (two more system calls per file).
bool MayHoldHoles(const struct stat& st) {
  return st.st_blocks * kStatBlockSize < st.st_size;
}

// Copies byte ranges at the same offsets in both files; once the kernel cannot copy, the rest
// goes through reads and writes.
class RangeCopier {
 public:
  RangeCopier(int from, int to, std::vector<char>& buffer)
      : from_(from), to_(to), buffer_(buffer) {}

  // Copies [offset, end); `complete` is false when the source ended before `end`.
  [[nodiscard]] int copy(std::int64_t offset, std::int64_t end, bool& complete) {
    complete = false;
    if (kernelCopy_) {
      if (const int e = copyByKernel(offset, end); e != 0) return e;
    }
    if (offset < end && !kernelCopy_) {
      if (const int e = copyByReading(offset, end); e != 0) return e;
    }
    complete = offset == end;
    return 0;
  }

 private:
  // Stops at `end`, at a failure, or where the kernel answers 0 (the source ended, or a file
  // system that cannot copy this file in the kernel: the reads decide which).
  int copyByKernel(std::int64_t& offset, std::int64_t end) {
    while (offset < end) {
      loff_t in = offset;
      loff_t out = offset;
      const auto length = static_cast<std::size_t>(std::min(end - offset, kKernelCopyChunk));
      const ssize_t n = ::copy_file_range(from_, &in, to_, &out, length, 0);
      if (n > 0) {
        offset += n;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && !KernelCopyUnsupported(errno)) return errno;
      kernelCopy_ = false;
      return 0;
    }
    return 0;
  }

  int copyByReading(std::int64_t& offset, std::int64_t end) {
    if (buffer_.empty()) buffer_.resize(kCopyBufferSize);
    if (::lseek(to_, offset, SEEK_SET) < 0) return errno;
    while (offset < end) {
      const auto wanted = static_cast<std::size_t>(
          std::min<std::int64_t>(end - offset, static_cast<std::int64_t>(buffer_.size())));
      const ssize_t n = ::pread(from_, buffer_.data(), wanted, offset);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return errno;
      if (n == 0) return 0;  // the source shrank
      const std::string_view bytes(buffer_.data(), static_cast<std::size_t>(n));
      if (const int e = WriteAll(to_, bytes); e != 0) return e;
      offset += n;
    }
    return 0;
  }

  int from_;
  int to_;
  std::vector<char>& buffer_;
  bool kernelCopy_ = true;
};

// The data ranges below `size`, one after the other; the holes between them are skipped, and
// the target is given its full size at the end. A failing SEEK_DATA (a file system that does
// not know holes) leaves the rest to be copied as data.
int CopyDataRanges(RangeCopier& copier, int from, int to, std::int64_t size) {
  std::int64_t offset = 0;
  while (offset < size) {
    const off_t data = ::lseek(from, offset, SEEK_DATA);
    if (data < 0 && errno == ENXIO) break;  // nothing but a hole up to the end
    const std::int64_t start = data < 0 ? offset : data;
    if (start >= size) break;
    const off_t hole = data < 0 ? -1 : ::lseek(from, start, SEEK_HOLE);
    const std::int64_t end = hole < 0 ? size : std::min<std::int64_t>(hole, size);
    bool complete = false;
    if (const int e = copier.copy(start, end, complete); e != 0) return e;
    if (!complete) return 0;  // the source shrank: no zeros added in place of its end
    offset = end;
  }
  return ::ftruncate(to, size) == 0 ? 0 : errno;
}

}  // namespace

int CopyFileContent(int from, int to, const struct stat& source, std::vector<char>& buffer) {
  RangeCopier copier(from, to, buffer);
  const std::int64_t size = source.st_size;
  if (size <= 0) return 0;
  if (MayHoldHoles(source)) return CopyDataRanges(copier, from, to, size);
  bool complete = false;
  return copier.copy(0, size, complete);
}

}  // namespace tolvan::platform
