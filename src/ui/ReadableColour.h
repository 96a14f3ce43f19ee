#pragma once

#include <QColor>

namespace tolvan::ui {

// The contrast between two colours as the accessibility guidelines measure it: 1 (none) to 21
// (black on white).
[[nodiscard]] double ContrastRatio(const QColor& a, const QColor& b);

// The smallest contrast a text colour may have against what it is drawn on.
inline constexpr double kReadableContrast = 4.5;

// `wanted` when it reads well on `background`; otherwise the same hue made just dark enough (on
// a light background) or light enough (on a dark one) to reach kReadableContrast, so the
// classic red, blue and magenta captions keep their look in every theme.
[[nodiscard]] QColor ReadableColour(const QColor& wanted, const QColor& background);

}  // namespace tolvan::ui
