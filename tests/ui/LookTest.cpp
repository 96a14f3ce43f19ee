// How the program looks: its fonts, its icon and its help window.
#include "UiTest.h"
#include "ui/FontSetup.h"
#include "ui/HelpWindow.h"

namespace tolvan::testing {
namespace {

TEST(LookTest, ControlsGetAnInstalledJapaneseGothicAndLabelsKeepTheirFont) {
  QWidget window;
  auto* label = new QLabel("推定残り時間 :", &window);
  const QFont labelFont = label->font();
  const QWidget* controls[] = {new QPushButton("中断", &window),
                               new QCheckBox("すべてのファイル", &window)};
  ui::FontSetup(&window);
  EXPECT_EQ(label->font(), labelFont);
  for (const QWidget* control : controls) {
    EXPECT_EQ(control->font().pointSize(), 9);
    // The asked-for family is not installed here: what renders must be a Japanese Gothic.
    EXPECT_TRUE(QFontInfo(control->font()).family().contains("Gothic"))
        << QFontInfo(control->font()).family();
  }
}

// The window and tray take the icon from the program's resources. Resources compiled into a
// static library vanish at link time unless something pulls them in, so this fails when the
// program would show no icon at all.
TEST(LookTest, TheResourceHoldsTheFullSizeIcon) {
  const QImage image(":/icons/tolvan32.png");
  EXPECT_EQ(image.size(), QSize(256, 256));
  EXPECT_EQ(qAlpha(image.pixel(0, 255)), 0) << "the corners are transparent";
}

TEST(LookTest, OneNonModalHelpWindowFitsTheScreenDescribesTheOptionsAndEscapeClosesIt) {
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
  for (const char* caption : {"Use Trash Box", "Up Date", "File Size", "Match case", "Every Day",
                              "Make BAT File", "すべてのファイル", "/AT", "--no-gui"})
    EXPECT_TRUE(help->toPlainText().contains(QString::fromUtf8(caption))) << caption;
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
