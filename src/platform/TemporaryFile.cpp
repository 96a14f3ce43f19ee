#include "platform/TemporaryFile.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/PartialCopy.h"

namespace tolvan::platform {
namespace {

// Written before `gNotedFolder` is published, read by the signal handler after it.
char gNotedName[kTemporaryNameSize];
std::atomic<int> gNotedFolder{-1};
static_assert(std::atomic<int>::is_always_lock_free);

std::uint64_t NextRandom() {
  static std::atomic<std::uint64_t> state{0};
  std::uint64_t seed = state.load(std::memory_order_relaxed);
  if (seed == 0) {
    if (::getrandom(&seed, sizeof seed, GRND_NONBLOCK) != sizeof seed)
      seed = static_cast<std::uint64_t>(::getpid()) * 0x9E3779B97F4A7C15ULL;
    seed |= 1;
  }
  // xorshift64: cheap and, with O_EXCL behind it, unique enough.
  seed ^= seed << 13;
  seed ^= seed >> 7;
  seed ^= seed << 17;
  state.store(seed, std::memory_order_relaxed);
  return seed;
}

}  // namespace

void MakeTemporaryName(TemporaryName& name) {
  static constexpr char kHex[] = "0123456789abcdef";
  static_assert(kPartialCopyPrefix.size() + kPartialCopyDigits < kTemporaryNameSize);
  std::memcpy(name, kPartialCopyPrefix.data(), kPartialCopyPrefix.size());
  std::uint64_t bits = NextRandom();
  char* digit = name + kPartialCopyPrefix.size();
  for (std::size_t i = 0; i < kPartialCopyDigits; ++i, bits >>= 4) *digit++ = kHex[bits & 15];
  *digit = '\0';
}

int CreateTemporaryFile(int folderFd, int mode, TemporaryName& name, UniqueFd& fd) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    MakeTemporaryName(name);
    fd.reset(::openat(folderFd, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                      static_cast<mode_t>(mode)));
    if (fd.valid()) {
      NoteTemporary(folderFd, name);
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

void NoteTemporary(int folderFd, const char* name) {
  gNotedFolder.store(-1);
  std::strncpy(gNotedName, name, kTemporaryNameSize - 1);
  gNotedName[kTemporaryNameSize - 1] = '\0';
  gNotedFolder.store(folderFd);
}

void ForgetTemporary() {
  gNotedFolder.store(-1);
}

void DiscardNotedTemporary() {
  const int folder = gNotedFolder.exchange(-1);
  if (folder >= 0) ::unlinkat(folder, gNotedName, 0);
}

void RemoveTemporary(int folderFd, const char* name) {
  const int saved = errno;
  ForgetTemporary();
  ::unlinkat(folderFd, name, 0);
  errno = saved;
}

}  // namespace tolvan::platform
