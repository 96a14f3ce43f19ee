#include <QPushButton>
#include <utility>

#include "DialogFixture.h"
#include "conditions/DryRunCommands.h"
#include "conditions/Startup.h"
#include "ui/SimulateDialog.h"

namespace tolvan::testing {
namespace {

const char* const kMasterSide[] = {"Check20", "Check21", "Check22", "Check23", "Check24"};

using SimulateDialogTest = DialogFixture;

QCheckBox* box(const QWidget& dialog, const char* name) {
  return dialog.findChild<QCheckBox*>(QString::fromUtf8(name));
}

TEST_F(SimulateDialogTest, AllFilesChecksAndLocksTheMasterSideAndStoredStatesReturn) {
  settings.set("Simulation", "Check10", "0");
  ui::SimulateDialog dialog(session, nullptr);
  dialog.show();
  EXPECT_FALSE(box(dialog, "Check10")->isChecked()) << "the stored state, not the default";
  EXPECT_TRUE(box(dialog, "Check10")->isEnabled());
  for (const char* name : kMasterSide) {
    EXPECT_TRUE(box(dialog, name)->isChecked()) << name;
    EXPECT_FALSE(box(dialog, name)->isEnabled()) << name;
  }
  EXPECT_EQ(field(dialog, "Text1")->text(), QStringLiteral("/app/simulate.csv"));

  // Unchecking "すべてのファイル" frees the boxes with their states; checking it again
  // checks a box that was cleared meanwhile.
  click(dialog, "Check11");
  for (const char* name : kMasterSide) {
    EXPECT_TRUE(box(dialog, name)->isEnabled()) << name;
    EXPECT_TRUE(box(dialog, name)->isChecked()) << name;
  }
  click(dialog, "Check21");
  click(dialog, "Check11");
  EXPECT_TRUE(box(dialog, "Check21")->isChecked());
  EXPECT_FALSE(box(dialog, "Check21")->isEnabled());
  click(dialog, "Check11");
  click(dialog, "Check21");
  click(dialog, "Check24");
  click(dialog, "Command2");
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.dryRunMode(), 1 + 4 + 8) << "newer, same date other size, master only";
  EXPECT_EQ(stored("Simulation", "Check11"), "0");
  EXPECT_EQ(stored("Simulation", "Check21"), "0");
  EXPECT_EQ(stored("Simulation", "Check20"), "1");

  ui::SimulateDialog reopened(session, nullptr);
  for (const char* name : {"Check10", "Check11", "Check21", "Check24"}) {
    EXPECT_FALSE(box(reopened, name)->isChecked()) << name;
  }
  for (const char* name : {"Check20", "Check22", "Check23"}) {
    EXPECT_TRUE(box(reopened, name)->isChecked()) << name;
    EXPECT_TRUE(box(reopened, name)->isEnabled()) << name;
  }
}

TEST_F(SimulateDialogTest, NothingSelectedWarnsAndStaysOpenAndTheListComesFromTheSaveDialog) {
  for (const char* key : kSimulationChecks) settings.set("Simulation", key, "0");
  ui::SimulateDialog dialog(session, nullptr);
  std::optional<QString> answer = QStringLiteral("/data/diff list.csv");
  ui::FileQuestion asked;
  dialog.setFileChooser([&](QWidget*, const ui::FileQuestion& question) {
    asked = question;
    return std::exchange(answer, std::nullopt);  // the second time: cancelled
  });
  dialog.show();
  click(dialog, "Command2");
  ASSERT_EQ(ui.boxes.size(), 1U);
  EXPECT_EQ(ui.boxes[0].text, kNothingSelected);
  EXPECT_EQ(ui.boxes[0].icon, platform::MessageIcon::Exclamation);
  EXPECT_TRUE(dialog.isVisible());
  click(dialog, "Command1");
  EXPECT_EQ(asked.initialPath, QStringLiteral("/app/simulate.csv"));
  EXPECT_TRUE(asked.save);
  click(dialog, "Command1");
  click(dialog, "Check10");
  click(dialog, "Command2");
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.dryRunMode(), 32);
  EXPECT_EQ(dialog.listPath(), "/data/diff list.csv");
}

TEST_F(SimulateDialogTest, AskSimulationGivesTheChoiceOrNothingWhenCancelled) {
  std::int16_t mode = -1;
  std::string listPath = "unchanged";
  OnNextModalDialog([](QDialog* dialog) {
    EXPECT_EQ(dialog->objectName(), QStringLiteral("Simulate"));
    auto* field = dialog->findChild<QLineEdit*>("Text1");
    field->setText(QStringLiteral("/tmp/with blank.csv"));
    QTest::mouseClick(dialog->findChild<QPushButton*>("Command2"), Qt::LeftButton);
  });
  EXPECT_TRUE(ui::AskSimulation(session, nullptr, mode, listPath));
  EXPECT_EQ(mode, 63);
  EXPECT_EQ(listPath, "/tmp/with blank.csv");

  OnNextModalDialog([](QDialog* dialog) {
    QTest::mouseClick(dialog->findChild<QPushButton*>("Command3"), Qt::LeftButton);
  });
  EXPECT_FALSE(ui::AskSimulation(session, nullptr, mode, listPath));
  EXPECT_EQ(mode, 0);
}

}  // namespace
}  // namespace tolvan::testing
