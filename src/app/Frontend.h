#pragma once

#include <string>

namespace tolvan::app {

enum class Frontend { Headless, Window };

// Whether the program shows its window: only with a display and without --no-gui.
[[nodiscard]] Frontend ChooseFrontend(bool noGui, const std::string& display,
                                      const std::string& waylandDisplay);

}  // namespace tolvan::app
