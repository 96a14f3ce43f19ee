#include "engine/NumberText.h"

#include <charconv>
#include <cmath>
#include <string>

namespace tolvan {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsSign(char c) {
  return c == '+' || c == '-';
}

// The digits of `text` from `pos` appended to `number`, `pos` moved past them; their count.
std::size_t TakeDigits(std::string_view text, std::size_t& pos, std::string& number) {
  const std::size_t start = pos;
  while (pos < text.size() && IsDigit(text[pos])) number += text[pos++];
  return pos - start;
}

// A comma and exactly three digits at `pos`, no fourth digit after them.
bool IsDigitGroup(std::string_view text, std::size_t pos) {
  if (pos + 4 > text.size() || text[pos] != ',') return false;
  for (std::size_t i = pos + 1; i < pos + 4; ++i) {
    if (!IsDigit(text[i])) return false;
  }
  return pos + 4 == text.size() || !IsDigit(text[pos + 4]);
}

// A whole part whose digits may be grouped: a first group of one to three digits, then
// groups of a comma and three digits. A comma elsewhere ends the number there.
std::size_t TakeGroupedDigits(std::string_view text, std::size_t& pos, std::string& number) {
  std::size_t count = TakeDigits(text, pos, number);
  if (count == 0 || count > 3) return count;
  while (IsDigitGroup(text, pos)) {
    ++pos;
    count += TakeDigits(text, pos, number);
  }
  return count;
}

bool IsExponentMark(char c, NumberStyle style) {
  return c == 'e' || c == 'E' || (style == NumberStyle::Leading && (c == 'd' || c == 'D'));
}

std::string WithoutBlanks(std::string_view text) {
  std::string compact;
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') compact += c;
  }
  return compact;
}

}  // namespace

std::optional<double> ReadNumber(std::string_view original, NumberStyle style) {
  const std::string text =
      style == NumberStyle::Leading ? WithoutBlanks(original) : std::string(original);
  const bool digitsOnly = style == NumberStyle::Digits;
  const std::optional<double> none =
      style == NumberStyle::Leading ? std::optional<double>(0) : std::nullopt;
  std::size_t pos = 0;
  std::string number;  // what from_chars reads: no plus sign, no commas, "e" for any mark
  if (!digitsOnly && pos < text.size() && IsSign(text[pos])) {
    if (text[pos] == '-') number += '-';
    ++pos;
  }
  std::size_t digits = style == NumberStyle::GroupedDecimal ? TakeGroupedDigits(text, pos, number)
                                                            : TakeDigits(text, pos, number);
  if (!digitsOnly && pos < text.size() && text[pos] == '.') {
    number += text[pos++];
    digits += TakeDigits(text, pos, number);
  }
  if (digits == 0) return none;
  if (!digitsOnly && pos < text.size() && IsExponentMark(text[pos], style)) {
    std::size_t end = pos + 1;
    std::string exponent = "e";
    if (end < text.size() && IsSign(text[end])) exponent += text[end++];
    if (TakeDigits(text, end, exponent) > 0) {
      number += exponent;
      pos = end;
    } else if (style != NumberStyle::Leading) {
      return std::nullopt;
    }
  }
  if (style != NumberStyle::Leading && pos != text.size()) return std::nullopt;
  double value = 0;
  const auto parsed = std::from_chars(number.data(), number.data() + number.size(), value);
  if (parsed.ec == std::errc::result_out_of_range && number.find("e-") != std::string::npos)
    return 0.0;
  if (parsed.ec != std::errc()) return std::nullopt;
  return value;
}

std::optional<std::int16_t> RoundedToInt16(double value) {
  const double rounded = std::nearbyint(value);  // the default mode rounds half to even
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) return std::nullopt;
  return static_cast<std::int16_t>(rounded);
}

}  // namespace tolvan
