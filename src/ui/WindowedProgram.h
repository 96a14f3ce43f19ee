#pragma once

#include <string>
#include <vector>

#include "conditions/CommandLine.h"

namespace tolvan::ui {

// The program with its main window: start-up, the window until it is closed, closing.
// Returns the process's exit status.
[[nodiscard]] int RunWindowed(const std::vector<std::string>& args, const CommandLine& commandLine);

}  // namespace tolvan::ui
