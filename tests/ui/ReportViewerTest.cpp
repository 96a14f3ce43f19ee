#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <fstream>

#include "DialogFixture.h"
#include "ui/ReportViewer.h"

namespace tolvan::testing {
namespace {

// A temporary folder with blanks and quotes in its name, holding the program folder and a
// fake editor script that records its working folder and arguments.
class ReportViewerTest : public DialogFixture {
 protected:
  ReportViewerTest() {
    const QString base = temp.path() + QStringLiteral("/my 'odd\" folder");
    QDir().mkpath(base + QStringLiteral("/app dir"));
    appPath = (base + QStringLiteral("/app dir")).toStdString();
    editor = (base + QStringLiteral("/fake editor")).toStdString();
    record = (base + QStringLiteral("/record.txt")).toStdString();
    engine.shared.AppPath = appPath;
    engine.shared.EditorPath = editor;
    // The record goes beside the script: no path with quotes is written into the script.
    writeScript(editor, R"(#!/bin/sh
record="$(dirname "$0")/record.txt"
{ pwd; echo "$#"; for a in "$@"; do echo "$a"; done; } > "$record.part"
mv "$record.part" "$record"
)");
    writeText(appPath + "/report.tvr", "a report\r\n");
  }
  static void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static void writeScript(const std::string& path, const std::string& text) {
    writeText(path, text);
    QFile::setPermissions(QString::fromStdString(path),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }
  // The lines the fake editor recorded, waiting up to 10 s for it.
  [[nodiscard]] QStringList recorded() const {
    const QString path = QString::fromStdString(record);
    if (!QTest::qWaitFor([&] { return QFileInfo::exists(path); }, 10000)) return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }

  QTemporaryDir temp;
  std::string appPath, editor, record;
};

TEST_F(ReportViewerTest, EditorGetsTheFullReportPathAsItsOnlyArgumentAndFailuresAreSaid) {
  ui::ShowReport(session, ui, nullptr, "report.tvr");
  const QStringList lines = recorded();
  ASSERT_EQ(lines.size(), 3) << lines.join(QLatin1Char('|')).toStdString();
  EXPECT_EQ(lines[0].toStdString(), appPath) << "working folder";
  EXPECT_EQ(lines[1], QStringLiteral("1"));
  EXPECT_EQ(lines[2].toStdString(), appPath + "/report.tvr");
  EXPECT_TRUE(ui.boxes.empty());

  writeScript(editor, "#!/no/such/interpreter\n");  // the editor cannot start
  ui::ShowReport(session, ui, nullptr, "report.tvr");
  ASSERT_EQ(ui.boxes.size(), 1U);
  EXPECT_EQ(ui.boxes[0].text, ui::kReportNotOpened);
  EXPECT_EQ(ui.boxes[0].icon, platform::MessageIcon::Critical);

  ui::ShowReport(session, ui, nullptr, "Recent.tvr");  // no report yet
  ASSERT_EQ(ui.boxes.size(), 2U);
  EXPECT_EQ(ui.boxes[1].text, std::string(ui::kNoReportYet) + "\n\n" + appPath + "/Recent.tvr");
}

// An editor that is no executable file, by full path or found on PATH, brings up the settings
// dialog instead of a message.
TEST_F(ReportViewerTest, NoExecutableEditorBringsUpTheSettingsDialogWithoutAMessage) {
  EXPECT_TRUE(ui::EditorProgram("sh").value_or(QString()).endsWith(QStringLiteral("/sh")));
  ASSERT_TRUE(QFile::remove(QString::fromStdString(editor)));
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
    EXPECT_EQ(shown, QStringLiteral("EditorSettings")) << none;
  }
  EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace tolvan::testing
