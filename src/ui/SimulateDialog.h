#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <string>

#include "conditions/DryRunCommands.h"
#include "conditions/Session.h"
#include "ui/FileChooser.h"

class QCheckBox;
class QLineEdit;

namespace tolvan::ui {

// The Simulation dialog: which kinds of difference to list and where to write the list.
// Its check boxes are named after their stored keys ("Check10", "Check11", "Check20" ...).
class SimulateDialog : public QDialog {
  Q_OBJECT

 public:
  SimulateDialog(Session& session, QWidget* parent);

  // After "Start": the DryRunMode bits chosen and the list file's path.
  [[nodiscard]] std::int16_t dryRunMode() const { return dryRunMode_; }
  [[nodiscard]] std::string listPath() const { return choices_.listPath; }
  void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }

 private:
  void buildControls();
  void Form_Load();
  void showChoices();
  void Check_Click(SimulationChoices::Box box, bool checked);
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();

  Session& session_;
  SimulationChoices choices_;
  std::int16_t dryRunMode_ = 0;
  FileChooser chooseFile_ = SystemFileChooser();
  std::array<QCheckBox*, 7> boxes_{};  // in the order of SimulationChoices::Box
  QLineEdit* listField_ = nullptr;
};

// Shows the dialog modally: true with the chosen DryRunMode bits and list path after "Start",
// false (and a DryRunMode of 0) when it was cancelled or closed.
[[nodiscard]] bool AskSimulation(Session& session, QWidget* parent, std::int16_t& dryRunMode,
                                 std::string& listPath);

}  // namespace tolvan::ui
