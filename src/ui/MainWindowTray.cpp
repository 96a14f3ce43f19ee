// The notification icon's account of the runs: its tip, its error badge and the desktop
// notifications, as TrayStatus decides them.

#include <QFile>

#include "engine/LastRun.h"
#include "engine/Paths.h"
#include "ui/MainWindow.h"

namespace tolvan::ui {

std::string MainWindow::lastRunText() {
  std::string json;
  Engine& engine = session_.engine;
  if (engine.fs().readFile(ChildPath(engine.shared.AppPath, kLastRunFileName), json) != 0)
    return {};
  return json;
}

void MainWindow::showTrayStatus() {
  trayStatus_.readLastRun(lastRunText());
  Engine& engine = session_.engine;
  const QString nextRun =
      NextRunText(engine.job, Now(engine.sys()), engine.sys().steadyMilliseconds());
  // The icon puts the job's name first itself.
  QString status = trayStatus_.tip(QString(), nextRun);
  if (status.startsWith(QLatin1Char('\n'))) status.remove(0, 1);
  tray_->setTitle(windowTitle());
  tray_->setTrayStatus(status, trayStatus_.statusLine());
  tray_->icon().setIcon(trayStatus_.badge() ? WithErrorBadge(windowIcon()) : windowIcon());
}

void MainWindow::runEnded(bool startedByCopy) {
  const QString notice = trayStatus_.runEnded(lastRunText(), startedByCopy);
  showTrayStatus();
  // The desktop's notification service shows it, or nothing does; the run never waits.
  if (!notice.isEmpty() && QSystemTrayIcon::supportsMessages())
    tray_->icon().showMessage(QStringLiteral("Tolvane"), notice, QSystemTrayIcon::Warning);
}

void MainWindow::reportOpened() {
  trayStatus_.reportOpened();
  showTrayStatus();
}

}  // namespace tolvan::ui
