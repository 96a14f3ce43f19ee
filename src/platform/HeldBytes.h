#pragma once

#include <atomic>
#include <cstddef>
#include <string_view>

namespace tolvan::platform {

// Bytes held back for one open file, kept where a signal handler that ends the program can
// still write them: a fixed buffer whose length is published only after its bytes, and the
// file's size when the buffer began, which tells the handler how much of the buffer a write
// under way had already put into the file. Touched by one thread at a time besides the handler.
class HeldBytes {
 public:
  static constexpr std::size_t kCapacity = std::size_t{128} << 10;

  // A free buffer for `fd`, or nullptr when every one is in use.
  [[nodiscard]] static HeldBytes* claim(int fd);
  // Drops what is held and frees the buffer; before the descriptor is closed.
  void release();

  [[nodiscard]] bool fits(std::size_t size) const { return length() + size <= kCapacity; }
  // Adds bytes that fit; 0 or the errno of the size query that starts an empty buffer.
  [[nodiscard]] int append(std::string_view bytes);
  [[nodiscard]] std::string_view bytes() const { return {buffer_, length()}; }
  // After the bytes were written (or given up): the buffer starts again.
  void clear() { length_.store(0, std::memory_order_release); }
  // `size` bytes were written to the file ahead of those held.
  void wroteAhead(std::size_t size) { fileSizeAtStart_.fetch_add(static_cast<long long>(size)); }

  // Writes what every buffer in use still holds beyond what its file has, with write(2)
  // alone (async-signal-safe).
  static void WriteAllFromSignalHandler();

 private:
  [[nodiscard]] std::size_t length() const { return length_.load(std::memory_order_acquire); }
  void writeFromSignalHandler();

  std::atomic<int> fd_{-1};
  std::atomic<std::size_t> length_{0};
  std::atomic<long long> fileSizeAtStart_{0};
  char buffer_[kCapacity];
};

}  // namespace tolvan::platform
