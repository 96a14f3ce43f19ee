#pragma once

#include <string>
#include <vector>

#include "conditions/CommandLine.h"

namespace tolvan::app {

// The program without a window: start-up, the unattended run or the scheduler, closing.
// Returns the process's exit status.
[[nodiscard]] int RunHeadless(const std::vector<std::string>& args, const CommandLine& commandLine);

}  // namespace tolvan::app
