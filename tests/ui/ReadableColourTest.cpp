// Caption colours against the window colours of light, dark and high-contrast themes.
#include "UiTest.h"
#include "ui/ReadableColour.h"

namespace tolvan::testing {
namespace {

// Every caption colour reads on every theme and keeps its hue; with a dark theme the window's
// coloured captions read as well as under the light one.
TEST_F(WindowTest, EveryCaptionColourReadsOnEveryThemeAndKeepsItsHueAlsoInTheWindow) {
  // Classic grey, light, white, dark, dark base, high-contrast black and yellow.
  const QColor backgrounds[] = {QColor(0xd4d0c8), QColor(0xefefef), Qt::white, QColor(0x353535),
                                QColor(0x2a2a2a), Qt::black,        Qt::yellow};
  for (const QColor& background : backgrounds) {
    for (const QColor& caption : {QColor(Qt::red), QColor(Qt::blue), QColor(Qt::magenta)}) {
      const QColor shown = ui::ReadableColour(caption, background);
      SCOPED_TRACE(caption.name() + " on " + background.name() + " shown as " + shown.name());
      EXPECT_GE(ui::ContrastRatio(shown, background), 4.5);
      // Same hue: a channel the caption lacks is never stronger than the ones it has.
      EXPECT_EQ(shown.hsvHue(), caption.hsvHue());
    }
  }
  // Already readable colours stay exactly as they are.
  EXPECT_EQ(ui::ReadableColour(QColor(0, 0, 255), QColor(0xef, 0xef, 0xef)), QColor(0, 0, 255));
  EXPECT_NEAR(ui::ContrastRatio(Qt::black, Qt::white), 21.0, 1e-9);

  const QPalette light = QApplication::palette();
  // Dark buttons and window, which Qt gives white texts on a black base.
  QApplication::setPalette(QPalette(QColor(0x353535), QColor(0x353535)));
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
