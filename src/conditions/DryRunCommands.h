#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "conditions/Session.h"
#include "engine/DryRuns.h"

namespace tolvan {

// The Simulation dialog without its widgets: the seven check boxes in the settings store's
// order ("Check10", "Check11", "Check20" to "Check24"), the list file's path field, and the
// rules of its buttons. The window puts widgets on it; the command line does not use it.
struct SimulationChoices {
  enum Box : std::uint8_t { BackupOnly, AllFiles, Newer, Older, SizeDiffers, MasterOnly, Same };
  std::array<int, 7> checks{1, 1, 1, 1, 1, 1, 1};
  std::string listPath;  // Text1

  // Form_Load: the stored states and AppPath's "simulate.csv".
  void load(Session& session);
  // The five master-side boxes are disabled while "すべてのファイル" is checked.
  [[nodiscard]] bool masterBoxesEnabled() const { return checks[AllFiles] == 0; }
  // Check1_Click(1): checking "すべてのファイル" checks the five master-side boxes.
  void setAllFiles(int checked);
  // Command2_Click ("Start"): stores the boxes and gives the DryRunMode they select; 0 means
  // nothing is selected (the caller shows kNothingSelected and keeps the dialog open).
  [[nodiscard]] std::int16_t start(Session& session) const;
};

inline constexpr const char* kNothingSelected = "ファイル出力条件を選択して下さい。";

// The command line's answer to the Simulation dialog: the kinds and list file it was given.
class CommandLineSimulation : public SimulationDialog {
 public:
  CommandLineSimulation(std::int16_t kinds, std::string listPath)
      : kinds_(kinds), listPath_(std::move(listPath)) {}
  void show(std::int16_t& dryRunMode, std::string& simulateFileName) override {
    dryRunMode = kinds_;
    simulateFileName = listPath_;
  }

 private:
  std::int16_t kinds_;
  std::string listPath_;
};

// "Simulation": the simulation of the job shown in the path fields.
SimulationOutcome SimulationCommand(Session& session, SimulationDialog& dialog);

// "Make BAT File": asks, writes the batch file, says how to use it, and ends the program
// (with the run's exit status).
RunOutcome mnuMakeBatFile_Click(Session& session);

// KINDS of "--simulate=KINDS": kind numbers 1 to 6 separated by commas, or "all"; the
// DryRunMode bits, or 0 when the text is not such a list.
[[nodiscard]] std::int16_t KindsFromText(const std::string& text);

}  // namespace tolvan
