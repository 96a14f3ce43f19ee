#include "engine/SteadyCopy.h"

#include <chrono>
#include <thread>

#include "platform/FileSystem.h"

namespace tolvan {

int CopyWhileSteady(const std::function<int()>& copyOnce) {
  // Long enough for a program that rewrites its file in one go to have done so, and longer
  // than the quiet time the copy asks of a file changed just before it.
  constexpr std::chrono::milliseconds kPause{200};
  int code = copyOnce();
  for (int tries = 1; code == platform::kChangedWhileCopied && tries < kSteadyCopyTries; ++tries) {
    std::this_thread::sleep_for(kPause);
    code = copyOnce();
  }
  return code;
}

}  // namespace tolvan
