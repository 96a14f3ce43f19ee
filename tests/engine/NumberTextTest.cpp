#include "engine/NumberText.h"

#include <gtest/gtest.h>

#include <charconv>
#include <span>

namespace tolvan {
namespace {

using Texts = std::span<const std::string_view>;

// Each of `reads` is a text, "|", the number read and that number rounded to a whole one of
// 16 bits ("-" when it does not fit); each of `refused` reads as nothing.
void ExpectRead(NumberStyle style, Texts reads, Texts refused) {
  for (const std::string_view row : reads) {
    const std::string_view text = row.substr(0, row.find('|'));
    const std::optional<double> number = ReadNumber(text, style);
    ASSERT_TRUE(number) << text;
    char digits[32];
    std::string shown(digits, std::to_chars(std::begin(digits), std::end(digits), *number).ptr);
    const std::optional<std::int16_t> whole = RoundedToInt16(*number);
    shown += " " + (whole ? std::to_string(*whole) : "-");
    EXPECT_EQ(shown, row.substr(text.size() + 1)) << static_cast<int>(style) << " " << text;
  }
  for (const std::string_view text : refused) {
    EXPECT_EQ(ReadNumber(text, style), std::nullopt) << static_cast<int>(style) << " " << text;
  }
}

// "1e-400" is too small for a double and reads as 0; "1e400" is too large.
TEST(NumberText, EachStyleReadsItsTextsAndHalvesRoundToEven) {
  const std::string_view decimal[] = {"2.5|2.5 2",         "3.5|3.5 4",
                                      "-2.5|-2.5 -2",      "-3.5|-3.5 -4",
                                      "2.51|2.51 3",       "+7|7 7",
                                      ".5|0.5 0",          "5.|5 5",
                                      "25E-1|2.5 2",       "-32768.5|-32768.5 -32768",
                                      "32767.5|32767.5 -", "1e-400|0 0"};
  const std::string_view notDecimal[] = {"1e400", "1e",  ".",   "",     " 12",
                                         "12abc", "inf", "1d2", "1,000"};
  ExpectRead(NumberStyle::Decimal, decimal, notDecimal);
  const std::string_view grouped[] = {"-1,234.5|-1234.5 -1234", "1,000e1|10000 10000",
                                      "1234|1234 1234"};
  const std::string_view notGrouped[] = {"1,0000", "1234,567", "1.234,5", ",123"};
  ExpectRead(NumberStyle::GroupedDecimal, grouped, notGrouped);
  const std::string_view leading[] = {
      "-2.5.3|-2.5 -2", "1d2|100 100", "7e|7 7",     "abc|0 0",
      "-.|0 0",         "|0 0",        "1e-400|0 0", "\t1 001.5 x|1001.5 1002"};
  const std::string_view notLeading[] = {"1e400"};
  ExpectRead(NumberStyle::Leading, leading, notLeading);
  const std::string_view digits[] = {"07|7 7"};
  const std::string_view notDigits[] = {"+7", "-0", "7.0", "1e2", ""};
  ExpectRead(NumberStyle::Digits, digits, notDigits);
}

}  // namespace
}  // namespace tolvan
