#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace tolvan::testing {

// Calls `ready` every 2 ms until it gives true (then true) or `limit` has passed (false): a
// wait for the event itself, whose bound only ends a test that would otherwise hang.
inline bool WaitFor(const std::function<bool()>& ready,
                    std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!ready()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace tolvan::testing
