#include "ui/ReadableColour.h"

#include <algorithm>
#include <cmath>

namespace tolvan::ui {
namespace {

double Linear(double channel) {
  return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& colour) {
  return 0.2126 * Linear(colour.redF()) + 0.7152 * Linear(colour.greenF()) +
         0.0722 * Linear(colour.blueF());
}

// `colour` moved the share `amount` (0 to 1) of the way to `target`.
QColor Toward(const QColor& colour, const QColor& target, double amount) {
  const auto mix = [amount](int from, int to) {
    return static_cast<int>(std::lround(from + (to - from) * amount));
  };
  return {mix(colour.red(), target.red()), mix(colour.green(), target.green()),
          mix(colour.blue(), target.blue())};
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
  const double lighter = std::max(Luminance(a), Luminance(b));
  const double darker = std::min(Luminance(a), Luminance(b));
  return (lighter + 0.05) / (darker + 0.05);
}

QColor ReadableColour(const QColor& wanted, const QColor& background) {
  if (ContrastRatio(wanted, background) >= kReadableContrast) return wanted;
  // Black or white, whichever stands out more, is where the colour goes.
  const QColor target = ContrastRatio(Qt::black, background) >= ContrastRatio(Qt::white, background)
                            ? QColor(Qt::black)
                            : QColor(Qt::white);
  constexpr int kSteps = 100;
  for (int step = 1; step < kSteps; ++step) {
    const QColor candidate = Toward(wanted, target, static_cast<double>(step) / kSteps);
    if (ContrastRatio(candidate, background) >= kReadableContrast) return candidate;
  }
  return target;
}

}  // namespace tolvan::ui
