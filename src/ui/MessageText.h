#pragma once

#include <QFontMetrics>
#include <QString>

namespace tolvan::ui {

// A message's text as a message box shows it. Paths quoted in the text (' /a/b ') go on lines
// of their own, between the words around them, and a path wider than `width` is shortened in
// its middle; the whole text, paths unshortened, is then kept as the box's details.
struct MessageLayout {
  QString shown;
  QString details;  // empty when nothing was shortened
};

[[nodiscard]] MessageLayout LayOutMessage(const QString& text, const QFontMetrics& metrics,
                                          int width);

}  // namespace tolvan::ui
