#pragma once

#include <string>

namespace tolvan::app {

enum class Frontend { Headless, Window };

// Whether the program shows its window: only with a display, without --no-gui, and only once
// the window exists in this build.
[[nodiscard]] Frontend ChooseFrontend(bool noGui, const std::string& display,
                                      const std::string& waylandDisplay);

}  // namespace tolvan::app
