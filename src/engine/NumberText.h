#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tolvan {

// How much of a text is a number. Every style reads plain ASCII decimal digits; none skips
// blanks around the number (callers trim what their field may hold) unless it says so.
enum class NumberStyle {
  // The whole text: an optional sign, digits with an optional fraction (at least one digit on
  // either side of the point), an optional exponent after e or E ("-1.5e3", ".5", "5.").
  Decimal,
  // Decimal, the whole part's digits optionally grouped by threes with commas ("1,234.5"),
  // as the window toolkit's C locale reads a typed number.
  GroupedDecimal,
  // The number at the start of the text, the rest ignored: blanks anywhere are skipped
  // ("1 000" is 1000), D marks an exponent as E does, an exponent without digits is no
  // exponent, and a text that does not start with a number reads as 0.
  Leading,
  // The whole text is decimal digits, nothing else: no sign, point or exponent.
  Digits,
};

// The number a text holds in `style`; nothing when it holds none, or one too large for a
// double. One too small for a double (written with a negative exponent) reads as 0.
[[nodiscard]] std::optional<double> ReadNumber(std::string_view text, NumberStyle style);

// The nearest whole number, halves going to the even neighbour (2.5 is 2, 3.5 is 4); nothing
// when it does not fit 16 bits.
[[nodiscard]] std::optional<std::int16_t> RoundedToInt16(double value);

}  // namespace tolvan
