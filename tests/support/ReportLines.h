#pragma once

#include <algorithm>
#include <string>
#include <vector>

namespace tolvan::testing {

using Lines = std::vector<std::string>;

// The line that parts a report's header, its action lines and its closing.
inline const std::string kSeparator(63, '-');

// The lines of a text, each without its CR+LF (or LF).
inline Lines SplitLines(const std::string& text) {
  Lines lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// The action lines of a report: those between its first two separators; none without one.
inline Lines ActionLinesOf(const Lines& lines) {
  const auto first = std::find(lines.begin(), lines.end(), kSeparator);
  if (first == lines.end()) return {};
  return {first + 1, std::find(first + 1, lines.end(), kSeparator)};
}

}  // namespace tolvan::testing
