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

// One noted temporary per thread that writes copies (the walk and its copy workers). A name
// is written before its slot's folder is published, and read by the signal handler after it.
constexpr int kNoteSlots = 32;
struct NotedTemporary {
  char name[kTemporaryNameSize];
  std::atomic<int> folder{-1};
};
NotedTemporary gNoted[kNoteSlots];
std::atomic<bool> gSlotTaken[kNoteSlots];
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

// The calling thread's slot, taken at its first note and given back when the thread ends;
// -1 when every slot is taken (the next run's leftover sweep removes what is left then).
class SlotOfThisThread {
 public:
  SlotOfThisThread() {
    for (int i = 0; i < kNoteSlots; ++i) {
      if (!gSlotTaken[i].exchange(true)) {
        index_ = i;
        return;
      }
    }
  }
  ~SlotOfThisThread() {
    if (index_ < 0) return;
    gNoted[index_].folder.store(-1);
    gSlotTaken[index_].store(false);
  }
  SlotOfThisThread(const SlotOfThisThread&) = delete;
  SlotOfThisThread& operator=(const SlotOfThisThread&) = delete;
  [[nodiscard]] NotedTemporary* slot() const { return index_ < 0 ? nullptr : &gNoted[index_]; }

 private:
  int index_ = -1;
};

NotedTemporary* NotedOfThisThread() {
  thread_local const SlotOfThisThread slot;
  return slot.slot();
}

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
  NotedTemporary* const noted = NotedOfThisThread();
  if (noted == nullptr) return;
  noted->folder.store(-1);
  std::strncpy(noted->name, name, kTemporaryNameSize - 1);
  noted->name[kTemporaryNameSize - 1] = '\0';
  noted->folder.store(folderFd);
}

void ForgetTemporary() {
  if (NotedTemporary* const noted = NotedOfThisThread(); noted != nullptr) noted->folder.store(-1);
}

void DiscardNotedTemporary() {
  for (NotedTemporary& noted : gNoted) {
    const int folder = noted.folder.exchange(-1);
    if (folder >= 0) ::unlinkat(folder, noted.name, 0);
  }
}

void RemoveTemporary(int folderFd, const char* name) {
  const int saved = errno;
  ForgetTemporary();
  ::unlinkat(folderFd, name, 0);
  errno = saved;
}

}  // namespace tolvan::platform
