// The editor settings and simulation dialogs, and opening a report in the editor.
#include "UiTest.h"
#include "conditions/DryRunCommands.h"
#include "ui/EditorSettingsDialog.h"
#include "ui/ReportViewer.h"
#include "ui/SimulateDialog.h"

namespace tolvan::testing {
namespace {

using DialogTest = WindowTest;

TEST_F(DialogTest, EditorSettingsBrowseFillsTheFieldCancelStoresNothingOkRefusesBadSizes) {
  engine.shared.EditorPath = "sh";
  engine.shared.ReportSize = 512;
  ui::EditorSettingsDialog dialog(session, nullptr);
  dialog.show();
  auto* path = Find<QLineEdit>(dialog, "Text1");
  auto* size = Find<QLineEdit>(dialog, "Text2");
  EXPECT_EQ(path->text() + " " + size->text(), "sh 512");
  std::optional<QString> answer = QStringLiteral("/opt/my tools/edit");
  ui::FileQuestion asked;
  dialog.setFileChooser([&](QWidget*, const ui::FileQuestion& question) {
    asked = question;
    return std::exchange(answer, std::nullopt);  // the second time: cancelled
  });
  Click(dialog, "Command1");
  EXPECT_FALSE(asked.save);
  EXPECT_TRUE(asked.initialPath.startsWith('/') && asked.initialPath.endsWith("/sh"))
      << "found on PATH: " << asked.initialPath.toStdString();
  Click(dialog, "Command1");
  EXPECT_EQ(path->text(), "/opt/my tools/edit");
  Retype(size, "64");
  Click(dialog, "Command3");
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_TRUE(settings.values.empty());
  EXPECT_EQ(engine.shared.ReportSize, 512.0F);

  // OK stores the path as typed and refuses a size that is no number.
  dialog.show();
  Retype(path, " /opt/my tools/edit ");
  for (const char* bad : {"abc", "", "0", "-5", "99999", "nan"}) {
    Retype(size, bad);
    Click(dialog, "Command2");
    EXPECT_TRUE(dialog.isVisible()) << bad;
  }
  EXPECT_EQ(ui.boxes.size(), 6U);
  EXPECT_TRUE(settings.values.empty());
  EXPECT_EQ(engine.shared.EditorPath, "sh");

  Retype(size, "100.5");
  Click(dialog, "Command2");
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(settings.get("Editor", "ReportSize", "-"), "100.5");
  EXPECT_EQ(settings.get("Editor", "FileName", "-"), " /opt/my tools/edit ");
  EXPECT_EQ(engine.shared.ReportSize, 100.5F);
  EXPECT_EQ(engine.shared.EditorPath, " /opt/my tools/edit ");
  EXPECT_EQ(Find<QLineEdit>(ui::EditorSettingsDialog(session, nullptr), "Text2")->text(), "100.5");
}

// Each simulation box's state as "1" or "0", in the order of kSimulationChecks (Check10,
// Check11, then the master side Check20 to Check24).
std::string States(const QWidget& dialog, bool (QCheckBox::*state)() const) {
  std::string states;
  for (const char* name : kSimulationChecks)
    states += (Find<QCheckBox>(dialog, name)->*state)() ? '1' : '0';
  return states;
}

TEST_F(DialogTest, SimulationBoxesLockAndFreeTheMasterSideAndOkGivesTheKindsAndTheList) {
  for (const char* key : kSimulationChecks) settings.set("Simulation", key, "0");
  ui::SimulateDialog dialog(session, nullptr);
  std::optional<QString> answer = QStringLiteral("/data/diff list.csv");
  ui::FileQuestion asked;
  dialog.setFileChooser([&](QWidget*, const ui::FileQuestion& question) {
    asked = question;
    return std::exchange(answer, std::nullopt);  // the second time: cancelled
  });
  dialog.show();
  const auto checked = [&dialog] { return States(dialog, &QCheckBox::isChecked); };
  const auto enabled = [&dialog] { return States(dialog, &QCheckBox::isEnabled); };
  EXPECT_EQ(checked() + " " + enabled(), "0000000 1111111") << "as stored, not the defaults";
  Click(dialog, "Command2");
  ASSERT_EQ(ui.boxes.size(), 1U);
  EXPECT_EQ(ui.boxes[0].text, kNothingSelected);
  EXPECT_TRUE(dialog.isVisible());
  Click(dialog, "Command1");
  EXPECT_EQ(asked.initialPath.toStdString(), tmp / "app/simulate.csv");
  EXPECT_TRUE(asked.save);
  Click(dialog, "Command1");

  // "すべてのファイル" checks and locks the master side; unchecking it frees the boxes with
  // their states; checking it again checks a box that was cleared meanwhile.
  Click(dialog, "Check11");
  EXPECT_EQ(checked() + " " + enabled(), "0111111 1100000");
  Click(dialog, "Check11");
  EXPECT_EQ(checked() + " " + enabled(), "0011111 1111111");
  Click(dialog, "Check21");
  Click(dialog, "Check11");
  EXPECT_EQ(checked() + " " + enabled(), "0111111 1100000");
  for (const char* name : {"Check11", "Check21", "Check24", "Check10", "Command2"})
    Click(dialog, name);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.dryRunMode(), 32 + 1 + 4 + 8) << "the backup's, newer, same date other size, "
                                                    "master only";
  EXPECT_EQ(dialog.listPath(), "/data/diff list.csv");
  std::string stored;
  for (const char* name : kSimulationChecks) stored += settings.get("Simulation", name, "-");
  EXPECT_EQ(stored, "1010110");
  ui::SimulateDialog reopened(session, nullptr);
  EXPECT_EQ(States(reopened, &QCheckBox::isChecked), "1010110");
}

TEST_F(DialogTest, AskSimulationGivesTheChoiceOrNothingWhenCancelled) {
  std::int16_t mode = -1;
  std::string listPath = "unchanged";
  OnNextModalDialog([](QDialog* dialog) {
    EXPECT_EQ(dialog->objectName(), "Simulate");
    Find<QLineEdit>(*dialog, "Text1")->setText("/tmp/with blank.csv");
    Click(*dialog, "Command2");
  });
  EXPECT_TRUE(ui::AskSimulation(session, nullptr, mode, listPath));
  EXPECT_EQ(mode, 63);
  EXPECT_EQ(listPath, "/tmp/with blank.csv");

  OnNextModalDialog([](QDialog* dialog) { Click(*dialog, "Command3"); });
  EXPECT_FALSE(ui::AskSimulation(session, nullptr, mode, listPath));
  EXPECT_EQ(mode, 0);
}

// A folder with blanks and quotes in its name, holding the program folder and a fake editor
// script that records its working folder and arguments.
class ReportViewerTest : public WindowTest {
 protected:
  ReportViewerTest() {
    stdfs::create_directories(appPath);
    engine.shared.AppPath = appPath;
    engine.shared.EditorPath = editor;
    // The record goes beside the script: no path with quotes is written into the script.
    writeEditor(R"(#!/bin/sh
record="$(dirname "$0")/record.txt"
{ pwd; echo "$#"; for a in "$@"; do echo "$a"; done; } > "$record.part"
mv "$record.part" "$record"
)");
    WriteFile(appPath + "/report.tvr", "a report\r\n");
  }
  void writeEditor(const std::string& script) {
    WriteFile(editor, script);
    stdfs::permissions(editor, stdfs::perms::owner_all);
  }
  // The lines the fake editor recorded, waiting up to 10 s for it.
  [[nodiscard]] QStringList recorded() const {
    QFile file(QString::fromStdString(base + "/record.txt"));
    if (!QTest::qWaitFor([&] { return file.exists(); }, 10000)) return {};
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }

  const std::string base = tmp / "my 'odd\" folder";
  const std::string appPath = base + "/app dir";
  const std::string editor = base + "/fake editor";
};

TEST_F(ReportViewerTest, EditorGetsTheFullReportPathAsItsOnlyArgumentAndFailuresAreSaid) {
  ui::ShowReport(session, ui, nullptr, "report.tvr");
  const QStringList lines = recorded();
  ASSERT_EQ(lines.size(), 3) << lines.join(QLatin1Char('|'));
  EXPECT_EQ(lines[0].toStdString(), appPath) << "working folder";
  EXPECT_EQ(lines[1], "1");
  EXPECT_EQ(lines[2].toStdString(), appPath + "/report.tvr");
  EXPECT_TRUE(ui.boxes.empty());

  writeEditor("#!/no/such/interpreter\n");  // the editor cannot start
  ui::ShowReport(session, ui, nullptr, "report.tvr");
  ASSERT_EQ(ui.boxes.size(), 1U);
  EXPECT_EQ(ui.boxes[0].text, ui::kReportNotOpened);

  ui::ShowReport(session, ui, nullptr, "Recent.tvr");  // no report yet
  ASSERT_EQ(ui.boxes.size(), 2U);
  EXPECT_EQ(ui.boxes[1].text, std::string(ui::kNoReportYet) + "\n\n" + appPath + "/Recent.tvr");
}

// An editor that is no executable file, by full path or found on PATH, brings up the settings
// dialog instead of a message.
TEST_F(ReportViewerTest, NoExecutableEditorBringsUpTheSettingsDialogWithoutAMessage) {
  EXPECT_TRUE(ui::EditorProgram("sh").value_or(QString()).endsWith("/sh"));
  ASSERT_TRUE(stdfs::remove(editor));
  const std::string plain = appPath + "/report.tvr";  // exists, not executable
  for (const std::string& none : {editor, plain, appPath, std::string("no-such-editor-here"),
                                  std::string("bin/sh"), std::string()}) {
    engine.shared.EditorPath = none;
    QString shown;
    OnNextModalDialog([&](QDialog* dialog) {
      shown = dialog->objectName();
      dialog->reject();
    });
    ui::ShowReport(session, ui, nullptr, "Recent.tvr");
    EXPECT_EQ(shown, "EditorSettings") << none;
  }
  EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace tolvan::testing
