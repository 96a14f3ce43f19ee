#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/JobConditions.h"

namespace tolvan {

// One "--exclude PATTERN" or "--exclude-from FILE", in the order given.
struct ExcludeArgument {
  bool fromFile = false;
  std::string text;  // the pattern, or the file's name as given
};

// The command line as the program reads it. Each argument is looked at on its own, so the
// switches are never found inside a path such as /home/xavier/jobs.
struct CommandLine {
  bool x = false;               // "/X"
  bool at = false;              // "/AT"
  bool errorFree = false;       // "/E"
  bool help = false;            // "--help"
  bool version = false;         // "--version"
  bool noGui = false;           // "--no-gui"
  bool allowBigChange = false;  // "--allow-big-change": the next run may pass the change limit
  std::string unknownOption;    // the first other "--" argument (a usage error), else empty
  // The dry runs: "--simulate[=KINDS]" with "--output FILE", and "--make-bat".
  bool simulate = false;
  std::int16_t simulateKinds = 0;  // DryRunMode bits
  std::string output;              // the list file as given, or empty text
  bool makeBat = false;
  // Exclusion patterns added after the job's own, for this process's runs only.
  std::vector<ExcludeArgument> exclude;
  // What is wrong with the options (a usage error), else empty.
  std::string usageProblem;
  // The conditions-file name as given (arguments that are not switches, joined by blanks).
  std::string rawName;
  bool nameGiven = false;  // CommandLineFile: a name remained after the switches
  // The conditions-file name to look up in AppPath, or empty text.
  std::string fileName;

  [[nodiscard]] bool usageError() const { return !usageProblem.empty(); }
  [[nodiscard]] bool dryRun() const { return simulate || makeBat; }
};

// Takes the first occurrence of `strexp2` (letter case ignored) out of `strexp1` and trims
// the joined rest; `strexp1` unchanged when there is none.
[[nodiscard]] std::string SubString(const std::string& strexp1, const std::string& strexp2);

// Reads the arguments (without the program name); changes nothing.
[[nodiscard]] CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The file name only, ".tvf" added when the text has no "." anywhere; empty for empty text.
[[nodiscard]] std::string ConditionsFileName(std::string text);

// Sets XOption, ATOption, ErrorFreeOption and CommandLineFile from the arguments and returns
// the conditions-file name (no folder) or empty text.
std::string tvfGet(JobConditions& job, const std::vector<std::string>& args,
                   CommandLine* parsed = nullptr);

}  // namespace tolvan
