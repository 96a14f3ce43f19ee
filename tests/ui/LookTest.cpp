// How the program looks: its fonts and its icon.
#include "UiTest.h"
#include "ui/FontSetup.h"

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
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(256, 256));
  EXPECT_TRUE(image.hasAlphaChannel());
  EXPECT_EQ(qAlpha(image.pixel(0, 255)), 0) << "the corners are transparent";
  EXPECT_FALSE(QIcon(":/icons/tolvan32.png").pixmap(16, 16).isNull());
}

}  // namespace
}  // namespace tolvan::testing
