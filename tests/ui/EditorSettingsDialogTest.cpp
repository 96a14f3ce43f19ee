#include "DialogFixture.h"
#include "ui/EditorSettingsDialog.h"

namespace tolvan::testing {
namespace {

using EditorSettingsDialogTest = DialogFixture;

TEST_F(EditorSettingsDialogTest, BrowseFillsTheFieldCancelStoresNothingOkStoresAndRefusesBadSizes) {
  engine.shared.EditorPath = "sh";
  engine.shared.ReportSize = 512;
  ui::EditorSettingsDialog dialog(session, nullptr);
  dialog.show();
  EXPECT_EQ(field(dialog, "Text1")->text(), QStringLiteral("sh"));
  EXPECT_EQ(field(dialog, "Text2")->text(), QStringLiteral("512"));
  std::optional<QString> answer = QStringLiteral("/opt/my tools/edit");
  ui::FileQuestion asked;
  dialog.setFileChooser([&](QWidget*, const ui::FileQuestion& question) {
    asked = question;
    return answer;
  });
  click(dialog, "Command1");
  EXPECT_FALSE(asked.save);
  EXPECT_TRUE(asked.initialPath.startsWith(QLatin1Char('/')) && asked.initialPath.endsWith("/sh"))
      << "found on PATH: " << asked.initialPath.toStdString();
  answer.reset();
  click(dialog, "Command1");
  EXPECT_EQ(field(dialog, "Text1")->text(), QStringLiteral("/opt/my tools/edit"));
  retype(field(dialog, "Text2"), QStringLiteral("64"));
  click(dialog, "Command3");
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_TRUE(settings.values.empty());
  EXPECT_EQ(engine.shared.EditorPath, "sh");
  EXPECT_EQ(engine.shared.ReportSize, 512.0F);

  // OK stores the path as typed and refuses a size that is no number.
  dialog.show();
  retype(field(dialog, "Text1"), QStringLiteral(" /opt/my tools/edit "));
  for (const QString& bad :
       {QStringLiteral("abc"), QStringLiteral(""), QStringLiteral("0"), QStringLiteral("-5"),
        QStringLiteral("99999"), QStringLiteral("nan")}) {
    retype(field(dialog, "Text2"), bad);
    click(dialog, "Command2");
    EXPECT_TRUE(dialog.isVisible()) << bad.toStdString();
  }
  EXPECT_EQ(ui.boxes.size(), 6U);
  EXPECT_TRUE(settings.values.empty());
  EXPECT_EQ(engine.shared.EditorPath, "sh");

  retype(field(dialog, "Text2"), QStringLiteral("100.5"));
  click(dialog, "Command2");
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(stored("Editor", "ReportSize"), "100.5");
  EXPECT_EQ(stored("Editor", "FileName"), " /opt/my tools/edit ");
  EXPECT_EQ(engine.shared.ReportSize, 100.5F);
  EXPECT_EQ(engine.shared.EditorPath, " /opt/my tools/edit ");

  ui::EditorSettingsDialog reopened(session, nullptr);
  EXPECT_EQ(field(reopened, "Text2")->text(), QStringLiteral("100.5"));
}

}  // namespace
}  // namespace tolvan::testing
