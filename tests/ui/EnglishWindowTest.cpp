// The windows in English where the desktop speaks English; Japanese stays the default.
#include <cstdlib>

#include "UiTest.h"
#include "ui/EditorSettingsDialog.h"
#include "ui/HelpWindow.h"
#include "ui/ProcessWindow.h"
#include "ui/SimulateDialog.h"
#include "ui/Translation.h"

namespace tolvan::ui::testing {
namespace {

using namespace tolvan::testing;

TEST(EnglishWindowTest, TheFirstSetLocaleVariableChoosesTheLanguage) {
  // LC_ALL, LC_MESSAGES, LANG (null: unset), and whether the windows speak English.
  const std::tuple<const char*, const char*, const char*, bool> cases[] = {
      {nullptr, nullptr, "en_US.UTF-8", true},
      {nullptr, "en_GB", "ja_JP.UTF-8", true},
      {"", nullptr, "en", true},                   // an empty variable counts as unset
      {"C.UTF-8", nullptr, "en_US.UTF-8", false},  // how the window tests run
      {"ja_JP.UTF-8", "en_US.UTF-8", "en_US", false},
      {nullptr, nullptr, "eo.UTF-8", false},  // Esperanto
      {nullptr, nullptr, "enm_GB", false},
      {nullptr, nullptr, nullptr, false},
  };
  for (const auto& [lcAll, lcMessages, lang, english] : cases)
    EXPECT_EQ(SpeaksEnglish(lcAll, lcMessages, lang), english)
        << ::testing::PrintToString(std::tuple(lcAll, lcMessages, lang));
}

// While it lives, LANG=en_US.UTF-8 with LC_ALL and LC_MESSAGES unset and the translation
// installed; the variables and the application's language are put back for the other tests.
struct EnglishDesktop {
  EnglishDesktop() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
      const char* value = std::getenv(name);
      saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
      ::unsetenv(name);
    }
    ::setenv("LANG", "en_US.UTF-8", 1);
    EXPECT_TRUE(InstallTranslation());
  }
  ~EnglishDesktop() {
    RemoveTranslation();
    for (const auto& [name, value] : saved)
      (void)(value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name));
  }
  std::vector<std::pair<const char*, std::optional<std::string>>> saved;
};

TEST_F(RealEngineTest, EnglishControlNamesAndMessagesButTheStoredFilesAsEver) {
  const EnglishDesktop english;
  Session session{engine, settings};
  SimulateDialog simulate(session, nullptr);
  EditorSettingsDialog editor(session, nullptr);
  ProcessWindow& process = ws.processWindow();
  const std::pair<const QWidget*, std::vector<const char*>> controls[] = {
      {&simulate,
       {"Files with a newer date", "Files with an older date",
        "Files with the same date and another size", "Files only in the source",
        "Files with the same date and size", "All files", "Files only in the backup",
        "Choose below which files to write to the text file.", "Name of the text file to write",
        "To simulate with the settings above, press the Start button. This button makes no "
        "backup."}},
      {&editor,
       {"The editor to use, with its full path:", "Browse", "Largest report file size (KB)"}},
      {&process, {"Estimated time left", "Stop"}},
  };
  for (const auto& [root, names] : controls) {
    QStringList announced;  // what a screen reader calls each control
    for (QWidget* widget : root->findChildren<QWidget*>())
      announced << QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
    for (const char* name : names) EXPECT_TRUE(announced.contains(QString::fromUtf8(name))) << name;
  }

  // The engine's Japanese texts are translated phrase by phrase around the figures.
  ws.progress().setStatus("ミラーリング　実行中!!", 0xFF0000);
  QCoreApplication::processEvents();
  EXPECT_EQ(Find<QLabel>(process, "Label7")->text(), "Mirroring!!");
  QString shown;
  OnNextModalDialog([&](QDialog* dialog) {
    shown = static_cast<QMessageBox*>(dialog)->text();
    dialog->accept();
  });
  (void)ws.messageBox(
      "バックアップ中にエラーが 3 件発生しました。レポートファイルを参照して下さい。", "Tolvane",
      platform::MessageIcon::Information, platform::MessageButtons::Ok);
  EXPECT_EQ(shown, "Errors during the backup: 3. Please see the report file.");

  // A job runs as in any language and its report stays in the stored format.
  WriteText(master + "/a.txt", "hello");
  EXPECT_EQ(runJob().end, RunEnd::Finished);
  EXPECT_EQ(ReadText(backup + "/a.txt"), "hello");
  EXPECT_NE(ReadText(app + "/report.tvr").find("所要時間"), std::string::npos);
}

// Each language has a help page with the same sections; the batch file's messages name both
// files, point to a section their language's page has, and leave no stray line or bracket.
TEST_F(WindowTest, HelpAndTheBatchFileMessagesInEitherLanguage) {
  start(job());
  ui.answers = {platform::MessageAnswer::Yes};
  find<QAction>("mnuMakeBatFile")->trigger();
  ASSERT_EQ(ui.boxes.size(), 2U);
  // The ids of the help page's sections, once each message has been checked against the page.
  const auto check = [&](const char* language) {
    QFile page(HelpPage().remove(0, 3));  // "qrc:/..." as ":/..."
    EXPECT_TRUE(page.open(QIODevice::ReadOnly)) << HelpPage();
    const QString html = QString::fromUtf8(page.readAll());
    QStringList ids, titles;
    for (const auto& match : QRegularExpression("<h2 id=\"(\\w+)\">([^<]+)").globalMatch(html)) {
      ids << match.captured(1);
      titles << match.captured(2);
    }
    for (const auto& box : ui.boxes) {
      const QString text = TranslatedMessage(box.text);
      const auto match = QRegularExpression("「(.+)」|\"(.+)\" in Help").match(text);
      const QString named = match.captured(1) + match.captured(2);
      for (const char* part : {"tlvdos.bat", "tlvdos.sh"}) EXPECT_TRUE(text.contains(part)) << text;
      EXPECT_FALSE(text.split('\n').contains(".")) << text;
      EXPECT_EQ(text.count('(') + text.count("（"), text.count(')') + text.count("）")) << text;
      EXPECT_TRUE(named.isEmpty() || titles.contains(named)) << language << ": " << named;
    }
    return ids;
  };
  const QStringList japanese = check("ja");
  {
    const EnglishDesktop english;
    EXPECT_TRUE(HelpPage().endsWith("_en.html"));
    EXPECT_EQ(check("en"), japanese);
  }
  EXPECT_TRUE(japanese.contains("restore"));
}

}  // namespace
}  // namespace tolvan::ui::testing
