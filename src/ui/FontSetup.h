#pragma once

class QWidget;

namespace tolvan::ui {

// The family every window asks for; the font database substitutes an installed Japanese
// Gothic for it, so Japanese captions never render as empty boxes.
inline constexpr const char* kWindowFontFamily = "ＭＳ Ｐゴシック";
inline constexpr int kWindowFontPoints = 9;

// Run at the end of a window's loading: buttons, check boxes, option buttons, text fields,
// frames, drive and folder lists and drop-down lists get the window font; labels, menus and
// everything else keep the font they were made with.
void FontSetup(QWidget* window);

}  // namespace tolvan::ui
