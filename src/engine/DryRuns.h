#pragma once

#include <cstdint>
#include <string>

#include "engine/JobDriver.h"

namespace tolvan {

struct Engine;

// The Simulation dialog as the simulation driver sees it: the window shows the real dialog,
// the command line answers from its options.
class SimulationDialog {
 public:
  virtual ~SimulationDialog() = default;
  // Sets DryRunMode to the kinds to list (0: cancelled) and the list file's path.
  virtual void show(std::int16_t& dryRunMode, std::string& simulateFileName) = 0;
};

struct SimulationOutcome {
  RunOutcome run;
  std::string listPath;  // the list written, or empty text when none was
};

// A simulation of the job from `from` to `to`: lists the differences of the chosen kinds in
// the list file and changes nothing in either tree, then opens the list.
SimulationOutcome SimulateRun(Engine& engine, const std::string& from, const std::string& to,
                              SimulationDialog& dialog);

// Writes the restore batch file (and its shell twin) for every master file that differs from
// its backup copy; changes nothing in either tree.
RunOutcome MakeBatchFile(Engine& engine, const std::string& from, const std::string& to);

}  // namespace tolvan
