#pragma once

#include <QMenu>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>

class QAction;

namespace tolvan::ui {

// The notification-area icon the main window hides into while its schedule waits, with its
// context menu: show the window, run the job now, open the last report, quit. What the icon's
// clicks ask for runs after the icon's own event handling has returned: hiding the icon from
// inside its handler would delete the object that is still handling the click.
class TrayIcon final : public QObject {
  Q_OBJECT

 public:
  struct Actions {
    std::function<void()> show;
    std::function<void()> runNow;
    std::function<void()> lastReport;
    std::function<void()> quit;
  };

  TrayIcon(const QIcon& icon, Actions actions, QObject* parent = nullptr);

  // Shows the icon with `title` (the job's name) as the first line of its tip.
  void showWithTitle(const QString& title);
  // The first line of the icon's tip, whether the icon is shown or not.
  void setTitle(const QString& title);
  void hide() { icon_.hide(); }
  // A status to show beside the job's name: `tip` as a second line of the icon's tip,
  // `menuLine` as an inert first line of the menu. Empty texts take them away.
  void setTrayStatus(const QString& tip, const QString& menuLine);

  [[nodiscard]] QSystemTrayIcon& icon() { return icon_; }
  [[nodiscard]] QMenu& menu() { return menu_; }

 private:
  void addItem(const char* name, const char* caption, const std::function<void()>& act);
  void refreshTip();

  QMenu menu_;
  QSystemTrayIcon icon_;
  QAction* statusLine_ = nullptr;
  QAction* statusSeparator_ = nullptr;
  QString title_;
  QString statusTip_;
};

}  // namespace tolvan::ui
