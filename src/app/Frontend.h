#pragma once

#include <cstdint>
#include <string>

#include "platform/DisplayProbe.h"

namespace tolvan::app {

enum class Frontend : std::uint8_t {
  Headless,
  Window,
  // A display is named but no server answers there (a stale DISPLAY in a cron job or a
  // closed session): the program runs without a window rather than failing to start.
  HeadlessDisplayGone,
};

// Whether the program shows its window: only with a display that answers and without --no-gui.
[[nodiscard]] Frontend ChooseFrontend(bool noGui, const std::string& display,
                                      const std::string& waylandDisplay,
                                      const platform::DisplaySockets& sockets);

}  // namespace tolvan::app
