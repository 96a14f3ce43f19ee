#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>

namespace {

// The window and tray take the icon from the program's resources. Resources compiled into a
// static library vanish at link time unless something pulls them in, so this fails when the
// program would show no icon at all.
TEST(ProgramIconTest, TheResourceHoldsTheFullSizeIcon) {
  const QImage image(QStringLiteral(":/icons/tolvan32.png"));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(256, 256));
  EXPECT_TRUE(image.hasAlphaChannel());
  EXPECT_EQ(qAlpha(image.pixel(0, 255)), 0) << "the corners are transparent";
  EXPECT_FALSE(QIcon(QStringLiteral(":/icons/tolvan32.png")).pixmap(16, 16).isNull());
}

}  // namespace
