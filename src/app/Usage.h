#pragma once

#include <string>

namespace tolvan::app {

// The text of --help: the command line, the program folder and the exit statuses.
[[nodiscard]] std::string UsageText();
// The text of --version: "Tolvane  Ver." and the version text.
[[nodiscard]] std::string VersionLine();

}  // namespace tolvan::app
