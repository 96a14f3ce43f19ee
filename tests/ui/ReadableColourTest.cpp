// Caption colours against the window colours of light, dark and high-contrast themes.
#include "UiTest.h"
#include "ui/ReadableColour.h"

namespace tolvan::testing {
namespace {

// Every caption colour reads on every theme and keeps its hue; with a dark theme the window's
// coloured captions read as well as under the light one.
TEST_F(WindowTest, EveryCaptionColourReadsOnEveryThemeAndKeepsItsHueAlsoInTheWindow) {
  struct Theme {
    const char* name;
    QColor window;
  };
  const Theme themes[] = {{"classic grey", QColor(0xd4, 0xd0, 0xc8)},
                          {"light", QColor(0xef, 0xef, 0xef)},
                          {"white", Qt::white},
                          {"dark", QColor(0x35, 0x35, 0x35)},
                          {"dark base", QColor(0x2a, 0x2a, 0x2a)},
                          {"high contrast black", Qt::black},
                          {"high contrast yellow", QColor(0xff, 0xff, 0x00)}};
  const QColor captions[] = {QColor(255, 0, 0), QColor(0, 0, 255), QColor(255, 0, 255)};
  for (const Theme& theme : themes) {
    for (const QColor& caption : captions) {
      const QColor shown = ui::ReadableColour(caption, theme.window);
      SCOPED_TRACE(std::string(theme.name) + " " + caption.name().toStdString() + " shown as " +
                   shown.name().toStdString());
      EXPECT_GE(ui::ContrastRatio(shown, theme.window), 4.5);
      // Same hue: a channel the caption lacks is never stronger than the ones it has.
      EXPECT_EQ(shown.hsvHue(), caption.hsvHue());
    }
  }
  // Already readable colours stay exactly as they are.
  EXPECT_EQ(ui::ReadableColour(QColor(0, 0, 255), QColor(0xef, 0xef, 0xef)), QColor(0, 0, 255));
  EXPECT_NEAR(ui::ContrastRatio(Qt::black, Qt::white), 21.0, 1e-9);

  const QPalette light = QApplication::palette();
  QPalette dark = light;
  dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
  dark.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
  dark.setColor(QPalette::WindowText, Qt::white);
  dark.setColor(QPalette::Text, Qt::white);
  QApplication::setPalette(dark);
  start(job());
  for (const char* name : {"Label1", "Label2", "Label10", "Label11", "Text1", "Text2", "Label8"}) {
    const QPalette p = find(name)->palette();  // a caption's colours, then a field's
    EXPECT_GE(std::min(ui::ContrastRatio(p.color(QPalette::WindowText), p.color(QPalette::Window)),
                       ui::ContrastRatio(p.color(QPalette::Text), p.color(QPalette::Base))),
              4.5)
        << name;
  }
  window.reset();
  QApplication::setPalette(light);
}

}  // namespace
}  // namespace tolvan::testing
