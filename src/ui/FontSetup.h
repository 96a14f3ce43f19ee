#pragma once

class QWidget;

namespace tolvan::ui {

// The family every window asks for; the font database substitutes an installed Japanese
// Gothic for it, so Japanese captions never render as empty boxes.
inline constexpr const char* kWindowFontFamily = "ＭＳ Ｐゴシック";
inline constexpr int kWindowFontPoints = 9;

// Run at the end of a window's loading: buttons, check boxes, option buttons, text fields,
// frames, drive and folder lists, drop-down lists, labels and the menu bar get the window font
// (one face for every caption; a bold label stays bold); everything else keeps the font it was
// made with.
void FontSetup(QWidget* window);

}  // namespace tolvan::ui
