#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>

#include "ui/HelpWindow.h"

namespace {

QList<QTextBrowser*> HelpWindows() {
  QList<QTextBrowser*> found;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->objectName() == QStringLiteral("HelpWindow") && window->isVisible()) {
      found.append(qobject_cast<QTextBrowser*>(window));
    }
  }
  return found;
}

TEST(HelpWindowTest, OneNonModalWindowDescribesEveryOptionOfTheMainWindow) {
  tolvan::ui::ShowHelpTopics(nullptr);
  tolvan::ui::ShowHelpTopics(nullptr);
  const QList<QTextBrowser*> windows = HelpWindows();
  ASSERT_EQ(windows.size(), 1);
  QTextBrowser* help = windows.front();
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  const QString page = help->toPlainText();
  for (const char* caption :
       {"Mirroring",    "Backup",          "Use Trash Box", "Up Date",
        "All Files",    "File Size",       "Match case",    "Include",
        "Not Include",  "Write",           "None",          "Timer",
        "Once for all", "Every Day",       "Every Time",    "Copy",
        "Quit",         "Simulation",      "Report File",   "Recent",
        "↑Swap↓",       "Editor Settings", "Make BAT File", "すべてのファイル",
        "/AT",          "--no-gui"}) {
    EXPECT_TRUE(page.contains(QString::fromUtf8(caption))) << caption;
  }
  help->close();
}

TEST(HelpWindowTest, FitsTheScreenItOpensOnAndEscapeClosesIt) {
  tolvan::ui::ShowHelpTopics(nullptr);
  const QList<QTextBrowser*> windows = HelpWindows();
  ASSERT_EQ(windows.size(), 1);
  QTextBrowser* help = windows.front();
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(screen.contains(help->frameGeometry())) << "off the screen";
  // A window manager's title bar still fits above it (the offscreen screen is 600 high).
  EXPECT_LT(help->height(), screen.height());
  EXPECT_LT(help->minimumWidth(), help->maximumWidth());  // the user may resize it
  QApplication::setActiveWindow(help);
  QTest::keyClick(help, Qt::Key_Escape);
  EXPECT_FALSE(help->isVisible());
}

}  // namespace
