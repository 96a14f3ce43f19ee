#include "engine/NumberText.h"

#include <gtest/gtest.h>

#include <span>

namespace tolvan {
namespace {

using Row = std::pair<const char*, double>;
constexpr double kNothing = 99999;  // read nothing, or rounded to no 16-bit number

void ExpectRead(NumberStyle style, std::span<const Row> rows) {
  for (const auto& [text, number] : rows)
    EXPECT_EQ(ReadNumber(text, style).value_or(kNothing), number)
        << static_cast<int>(style) << " [" << text << "]";
}

// "1e-400" is too small for a double and reads as 0; "1e400" is too large.
TEST(NumberText, EachStyleReadsItsTextsAndHalvesRoundToEven) {
  const Row decimal[] = {{"+7", 7},           {"-2.5", -2.5},    {".5", 0.5},
                         {"5.", 5},           {"25E-1", 2.5},    {"1e-400", 0},
                         {"1e400", kNothing}, {"1e", kNothing},  {".", kNothing},
                         {"", kNothing},      {" 12", kNothing}, {"12abc", kNothing},
                         {"inf", kNothing},   {"1d2", kNothing}, {"1,000", kNothing}};
  ExpectRead(NumberStyle::Decimal, decimal);
  const Row grouped[] = {{"-1,234.5", -1234.5}, {"1234", 1234},         {"1,000e1", 10000},
                         {"1,0000", kNothing},  {"1234,567", kNothing}, {"1.234,5", kNothing},
                         {",123", kNothing}};
  ExpectRead(NumberStyle::GroupedDecimal, grouped);
  const Row leading[] = {
      {"\t1 001.5 x", 1001.5}, {"-2.5.3", -2.5},   {"1d2", 100}, {"7e", 7}, {"abc", 0}, {"-.", 0},
      {"1e-400", 0},           {"1e400", kNothing}};
  ExpectRead(NumberStyle::Leading, leading);
  const Row digits[] = {{"07", 7},         {"+7", kNothing},  {"-0", kNothing},
                        {"7.0", kNothing}, {"1e2", kNothing}, {"", kNothing}};
  ExpectRead(NumberStyle::Digits, digits);
  const std::pair<double, double> halves[] = {{2.5, 2},           {3.5, 4},  {-2.5, -2},
                                              {-3.5, -4},         {2.51, 3}, {-32768.5, -32768},
                                              {32767.5, kNothing}};
  for (const auto& [number, whole] : halves) {
    const std::optional<std::int16_t> rounded = RoundedToInt16(number);
    EXPECT_EQ(rounded ? *rounded : kNothing, whole) << number;
  }
}

}  // namespace
}  // namespace tolvan
