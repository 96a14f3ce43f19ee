// The editor settings and simulation dialogs, opening a report in the editor, and how the
// program looks: its fonts, its icon and its help window.
#include "UiTest.h"
#include "conditions/DryRunCommands.h"
#include "ui/EditorSettingsDialog.h"
#include "ui/ExclusionsDialog.h"
#include "ui/FontSetup.h"
#include "ui/HelpWindow.h"
#include "ui/ReportViewer.h"
#include "ui/SimulateDialog.h"
#include "ui/Translation.h"

namespace tolvan::testing {
namespace {

TEST_F(WindowTest, EditorSettingsBrowseFillsTheFieldCancelStoresNothingOkRefusesBadSizes) {
  engine.shared.EditorPath = "sh";
  engine.shared.ReportSize = 512;
  ui::EditorSettingsDialog dialog(session, nullptr);
  dialog.show();
  auto* path = Find<QLineEdit>(dialog, "Text1");
  auto* size = Find<QLineEdit>(dialog, "Text2");
  EXPECT_EQ(path->text() + " " + size->text(), "sh 512");
  std::vector<ui::FileQuestion> asked;
  dialog.setFileChooser([&](QWidget*, const ui::FileQuestion& question) {
    asked.push_back(question);  // the second time: cancelled
    return asked.size() == 1 ? std::optional<QString>("/opt/my tools/edit") : std::nullopt;
  });
  for (int time = 0; time < 2; ++time) Click(dialog, "Command1");
  EXPECT_EQ(path->text(), "/opt/my tools/edit");
  EXPECT_TRUE(!asked[0].save && QFileInfo(asked[0].initialPath).isExecutable())
      << "sh found on PATH: " << asked[0].initialPath;
  Retype(size, "64");
  Click(dialog, "Command3");
  EXPECT_EQ(dialog.result(), QDialog::Rejected);

  // OK stores the path as typed and refuses a size that is no number.
  dialog.show();
  Retype(path, " /opt/my tools/edit ");
  for (const char* bad : {"abc", "0", "99999", "nan"}) {
    Retype(size, bad);
    Click(dialog, "Command2");
    EXPECT_TRUE(dialog.isVisible()) << bad;
  }
  EXPECT_EQ(ui.boxes.size(), 4U);
  EXPECT_TRUE(settings.values.empty());
  EXPECT_EQ(engine.shared.EditorPath + " " + std::to_string(engine.shared.ReportSize),
            "sh 512.000000");
  Retype(size, "100.5");
  Click(dialog, "Command2");
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  // Stored, then taken by the session.
  EXPECT_EQ(settings.get("Editor", "ReportSize", "-") + "|" +
                settings.get("Editor", "FileName", "-") + "|" + engine.shared.EditorPath + "|" +
                std::to_string(engine.shared.ReportSize),
            "100.5| /opt/my tools/edit | /opt/my tools/edit |100.500000");
}

// The try field names the line that decides a path typed or picked in the master folder; a line
// that cannot be used keeps the dialog open and the job as it was; "Exclude..." opens it.
TEST_F(WindowTest, ExclusionsDialogTriesPathsAndRefusesALineThatCannotBeUsed) {
  session.window.from.text = tmp / "master";
  engine.job.Exclude = {"*.tmp", "sub/"};
  ui::ExclusionsDialog dialog(session, nullptr);
  dialog.show();
  auto* patterns = Find<QPlainTextEdit>(dialog, "Text1");
  auto* result = Find<QLabel>(dialog, "Label4");
  EXPECT_EQ(patterns->toPlainText(), "*.tmp\nsub/\n");
  patterns->setPlainText("*.tmp\nsub/\n!keep.tmp\n");
  const std::pair<QString, QString> tries[] = {
      {"a/x.tmp", "1 行目で除外されます: *.tmp"},
      {"keep.tmp", "3 行目で除外から戻されます: !keep.tmp"},
      {QString::fromStdString(tmp / "master/sub"), "2 行目で除外されます: sub/"},  // a folder
      {"notes.txt", "除外されません"}};
  for (const auto& [path, answer] : tries) {
    Retype(Find<QLineEdit>(dialog, "Text2"), path);  // the try field
    EXPECT_EQ(result->text(), answer) << path;
  }
  dialog.setFileChooser([&](QWidget*, const ui::FileQuestion&) {
    return std::optional<QString>(QString::fromStdString(tmp / "master/b.tmp"));
  });
  Click(dialog, "Command1");
  EXPECT_EQ(result->text(), "1 行目で除外されます: *.tmp");

  patterns->setPlainText("*.o\n[abc\n");
  EXPECT_EQ(result->text(), "2 行目のパターンは使えません（unclosed [）: [abc");
  Click(dialog, "Command2");  // still shown, said, the line selected
  EXPECT_EQ(std::tuple(dialog.isVisible(), ui.boxes.size(), patterns->textCursor().selectedText()),
            std::tuple(true, 1U, QString("[abc")));
  EXPECT_EQ(engine.job.Exclude, (std::vector<std::string>{"*.tmp", "sub/"}));
  patterns->setPlainText("*.o\n写真/raw\n");
  Click(dialog, "Command2");
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(engine.job.Exclude, (std::vector<std::string>{"*.o", "写真/raw"}));

  int opened = 0;
  services.exclusions = [&] { ++opened; };
  start();
  click("Command7");
  EXPECT_EQ(opened, 1);
}

// Each simulation box's state as "1" or "0", in the order of kSimulationChecks (Check10,
// Check11, then the master side Check20 to Check24).
std::string States(const QWidget& dialog, bool (QCheckBox::*state)() const) {
  std::string states;
  for (const char* name : kSimulationChecks)
    states += (Find<QCheckBox>(dialog, name)->*state)() ? '1' : '0';
  return states;
}

TEST_F(WindowTest, SimulationBoxesLockAndFreeTheMasterSideAndOkGivesTheKindsAndTheList) {
  for (const char* key : kSimulationChecks) settings.set("Simulation", key, "0");
  ui::SimulateDialog dialog(session, nullptr);
  std::vector<ui::FileQuestion> asked;
  dialog.setFileChooser([&](QWidget*, const ui::FileQuestion& question) {
    asked.push_back(question);  // the second time: cancelled
    return asked.size() == 1 ? std::optional<QString>("/data/diff list.csv") : std::nullopt;
  });
  dialog.show();
  const auto states = [&dialog] {
    return States(dialog, &QCheckBox::isChecked) + " " + States(dialog, &QCheckBox::isEnabled);
  };
  EXPECT_EQ(states(), "0000000 1111111") << "as stored, not the defaults";
  Click(dialog, "Command2");
  EXPECT_EQ(ui.boxes.size() == 1 ? ui.boxes[0].text : "", kNothingSelected);
  EXPECT_TRUE(dialog.isVisible());
  for (int time = 0; time < 2; ++time) Click(dialog, "Command1");
  EXPECT_EQ(asked[0].initialPath.toStdString() + std::to_string(asked[0].save),
            tmp / "app/simulate.csv" + "1");

  // "すべてのファイル" checks and locks the master side; unchecking it frees the boxes with
  // their states; checking it again checks a box that was cleared meanwhile.
  Click(dialog, "Check11");
  EXPECT_EQ(states(), "0111111 1100000");
  Click(dialog, "Check11");
  EXPECT_EQ(states(), "0011111 1111111");
  Click(dialog, "Check21");
  Click(dialog, "Check11");
  EXPECT_EQ(states(), "0111111 1100000");
  for (const char* name : {"Check11", "Check21", "Check24", "Check10", "Command2"})
    Click(dialog, name);
  // Closed; the backup's, newer, same date other size, master only; the list the chooser gave.
  EXPECT_EQ(std::to_string(dialog.dryRunMode()) + " " + dialog.listPath() +
                (dialog.isVisible() ? " still shown" : ""),
            "45 /data/diff list.csv");
  ui::SimulateDialog reopened(session, nullptr);  // as stored
  EXPECT_EQ(States(reopened, &QCheckBox::isChecked), "1010110");

  // Asked modally: the kinds and list as OK leaves them, or nothing when cancelled.
  std::int16_t mode = -1;
  std::string listPath = "unchanged";
  OnNextModalDialog([](QDialog* modal) {
    EXPECT_EQ(modal->objectName(), "Simulate");
    Find<QLineEdit>(*modal, "Text1")->setText("/tmp/with blank.csv");
    Click(*modal, "Check11");
    Click(*modal, "Command2");
  });
  EXPECT_TRUE(ui::AskSimulation(session, nullptr, mode, listPath));
  EXPECT_EQ(std::to_string(mode) + " " + listPath, "63 /tmp/with blank.csv");
  OnNextModalDialog([](QDialog* modal) { Click(*modal, "Command3"); });
  EXPECT_FALSE(ui::AskSimulation(session, nullptr, mode, listPath));
  EXPECT_EQ(mode, 0);
}

// The program folder in a folder with blanks and quotes in its name, and a fake editor that
// records its working folder and arguments. An editor that is no executable file, by full
// path or found on PATH, brings up the settings dialog instead of a message.
TEST_F(WindowTest, TheEditorGetsTheWholeReportPathAsItsOnlyArgumentAndFailuresAreSaid) {
  const std::string base = tmp / "my 'odd\" folder";
  const std::string appPath = base + "/app dir";
  const std::string editor = base + "/fake editor";
  stdfs::create_directories(appPath);
  engine.shared.AppPath = appPath;
  engine.shared.EditorPath = editor;
  // The record goes beside the script: no path with quotes is written into the script.
  WriteText(editor, R"(#!/bin/sh
{ pwd; echo "$#"; for a in "$@"; do echo "$a"; done; } > "$(dirname "$0")/record.part"
mv "$(dirname "$0")/record.part" "$(dirname "$0")/record.txt"
)",
            0700);
  WriteText(appPath + "/report.tvr", "a report\r\n");
  ui::ShowReport(session, ui, nullptr, "report.tvr");
  ASSERT_TRUE(QTest::qWaitFor([&] { return stdfs::exists(base + "/record.txt"); }, 10000));
  EXPECT_EQ(ReadText(base + "/record.txt"), appPath + "\n1\n" + appPath + "/report.tvr\n");

  WriteText(editor, "#!/no/such/interpreter\n", 0700);  // the editor cannot start
  ui::ShowReport(session, ui, nullptr, "report.tvr");
  ui::ShowReport(session, ui, nullptr, "Recent.tvr");  // no report yet
  ASSERT_EQ(ui.boxes.size(), 2U);                      // none from the run that worked
  EXPECT_EQ(ui.boxes[0].text, ui::kReportNotOpened);
  EXPECT_EQ(ui.boxes[1].text, std::string(ui::kNoReportYet) + "\n\n" + appPath + "/Recent.tvr");

  ASSERT_TRUE(stdfs::remove(editor));
  QStringList shown;  // the report exists, but is no executable
  for (const std::string& none :
       {editor, appPath + "/report.tvr", appPath, std::string("no-such-editor-here"),
        std::string("bin/sh"), std::string()}) {
    engine.shared.EditorPath = none;
    OnNextModalDialog([&shown](QDialog* dialog) {
      shown << dialog->objectName();
      dialog->reject();
    });
    ui::ShowReport(session, ui, nullptr, "Recent.tvr");
  }
  EXPECT_EQ(shown, QStringList(6, "EditorSettings"));
  EXPECT_EQ(ui.boxes.size(), 2U);
}

// Labels, the menu bar and the buttons share one face (a bold heading stays bold), an installed
// proportional Japanese Gothic; Qt's own stock texts are Japanese too. One help window, not
// modal, fits the screen, describes the options and Escape closes it.
TEST(LookTest, OneJapaneseGothicForEveryCaptionQtInJapaneseTheIconAndOneHelpWindow) {
  QMainWindow window;
  auto* heading = new QLabel("From", &window);
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  window.menuBar()->addMenu("&File");
  const QWidget* controls[] = {new QLabel("推定残り時間 :", &window), heading, window.menuBar(),
                               new QPushButton("中断", &window),
                               new QCheckBox("すべてのファイル", &window)};
  ui::FontSetup(&window);
  for (const QWidget* control : controls) {
    const QFontInfo shown(control->font());
    EXPECT_EQ(shown.family() + " " + QString::number(control->font().pointSize()) +
                  (shown.fixedPitch() ? " fixed" : ""),
              QFontInfo(controls[3]->font()).family() + " 9")
        << control->metaObject()->className();
    // The asked-for family is not installed here: what renders must be a Japanese Gothic.
    EXPECT_TRUE(shown.family().contains("Gothic")) << shown.family();
  }
  EXPECT_TRUE(heading->font().bold());
  // The window and tray take the icon from the program's resources. Resources compiled into a
  // static library vanish at link time unless something pulls them in: without the icon the
  // program would show none at all.
  const QImage icon(":/icons/tolvan32.png");
  EXPECT_EQ(icon.size(), QSize(256, 256));
  EXPECT_EQ(qAlpha(icon.pixel(0, 255)), 0) << "the corners are transparent";
  for (int time = 0; time < 2; ++time) ui::ShowHelpTopics(nullptr);
  QWidgetList windows = QApplication::topLevelWidgets();
  windows.removeIf([](QWidget* w) { return w->objectName() != "HelpWindow" || !w->isVisible(); });
  ASSERT_EQ(windows.size(), 1);
  auto* help = qobject_cast<QTextBrowser*>(windows.front());
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  for (const char* caption : {"Use Trash Box", "Up Date", "File Size", "Match case", "Every Day",
                              "Make BAT File", "すべてのファイル", "/AT", "--no-gui"})
    EXPECT_TRUE(help->toPlainText().contains(QString::fromUtf8(caption))) << caption;
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  // On the screen with room for a window manager's title bar above it (the offscreen screen is
  // 600 high), and the user may resize it.
  EXPECT_TRUE(screen.contains(help->frameGeometry()) && help->height() < screen.height() &&
              help->minimumWidth() < help->maximumWidth());
  QApplication::setActiveWindow(help);
  QTest::keyClick(help, Qt::Key_Escape);
  EXPECT_FALSE(help->isVisible());
  ASSERT_TRUE(ui::InstallQtTranslation()) << "qt6-translations-l10n (scripts/setup.sh) is missing";
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "キャンセル");
  ui::RemoveTranslation();
}

}  // namespace
}  // namespace tolvan::testing
