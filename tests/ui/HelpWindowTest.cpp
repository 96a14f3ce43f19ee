#include "ui/HelpWindow.h"

#include "UiTest.h"

namespace tolvan::testing {
namespace {

TEST(HelpWindowTest, OneNonModalWindowFitsTheScreenDescribesEveryOptionAndEscapeClosesIt) {
  ui::ShowHelpTopics(nullptr);
  ui::ShowHelpTopics(nullptr);
  QList<QTextBrowser*> windows;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->objectName() == "HelpWindow" && window->isVisible())
      windows.append(qobject_cast<QTextBrowser*>(window));
  }
  ASSERT_EQ(windows.size(), 1);
  QTextBrowser* help = windows.front();
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  for (const char* caption :
       {"Mirroring",    "Backup",          "Use Trash Box", "Up Date",
        "All Files",    "File Size",       "Match case",    "Include",
        "Not Include",  "Write",           "None",          "Timer",
        "Once for all", "Every Day",       "Every Time",    "Copy",
        "Quit",         "Simulation",      "Report File",   "Recent",
        "↑Swap↓",       "Editor Settings", "Make BAT File", "すべてのファイル",
        "/AT",          "--no-gui"}) {
    EXPECT_TRUE(help->toPlainText().contains(QString::fromUtf8(caption))) << caption;
  }
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
}  // namespace tolvan::testing
