#include "ui/ReportViewer.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "engine/Paths.h"
#include "ui/EditorSettingsDialog.h"

namespace tolvan::ui {

std::optional<QString> EditorProgram(const std::string& editorPath) {
  const QString path = QString::fromStdString(editorPath);
  QString program;
  if (path.startsWith(QLatin1Char('/'))) {
    program = path;
  } else if (!path.isEmpty() && !path.contains(QLatin1Char('/'))) {
    program = QStandardPaths::findExecutable(path);
  }
  const QFileInfo file(program);
  if (program.isEmpty() || !file.isFile() || !file.isExecutable()) return std::nullopt;
  return program;
}

void ShowReport(Session& session, platform::WindowSystem& windows, QWidget* parent,
                const std::string& reportFileName) {
  const std::optional<QString> editor = EditorProgram(session.engine.shared.EditorPath);
  if (!editor) {
    EditorSettingsDialog settings(session, parent);
    (void)settings.exec();
    return;
  }
  const std::string appPath = session.engine.shared.AppPath;
  const std::string report = ChildPath(appPath, reportFileName);
  // An editor started on a missing file shows nothing useful (xdg-open shows nothing at all).
  if (!QFileInfo::exists(QString::fromStdString(report))) {
    (void)windows.messageBox(std::string(kNoReportYet) + "\n\n" + report, kProgramTitle,
                             platform::MessageIcon::Information, platform::MessageButtons::Ok);
    return;
  }
  // No shell in between: blanks and quotes in the path reach the editor as they are.
  if (!QProcess::startDetached(*editor, {QString::fromStdString(report)},
                               QString::fromStdString(appPath))) {
    (void)windows.messageBox(kReportNotOpened, "Error", platform::MessageIcon::Critical,
                             platform::MessageButtons::Ok);
  }
}

}  // namespace tolvan::ui
