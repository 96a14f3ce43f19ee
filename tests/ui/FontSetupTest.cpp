#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "ui/FontSetup.h"

namespace {

TEST(FontSetupTest, ControlsGetAnInstalledJapaneseGothicAndLabelsKeepTheirFont) {
  QWidget window;
  auto* label = new QLabel(QStringLiteral("推定残り時間 :"), &window);
  auto* button = new QPushButton(QStringLiteral("中断"), &window);
  auto* box = new QCheckBox(QStringLiteral("すべてのファイル"), &window);
  const QFont labelFont = label->font();
  tolvan::ui::FontSetup(&window);
  EXPECT_EQ(label->font(), labelFont);
  for (const QWidget* control : {static_cast<QWidget*>(button), static_cast<QWidget*>(box)}) {
    EXPECT_EQ(control->font().pointSize(), 9);
    // The asked-for family is not installed here: what renders must be a Japanese Gothic.
    EXPECT_TRUE(QFontInfo(control->font()).family().contains(QStringLiteral("Gothic")))
        << QFontInfo(control->font()).family().toStdString();
  }
}

}  // namespace
