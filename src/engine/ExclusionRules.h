#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tolvan {

// What the rules may hold: more patterns than this, or a longer pattern, is refused.
inline constexpr std::size_t kMaxExclusionPatterns = 10000;
inline constexpr std::size_t kMaxExclusionPatternBytes = 4096;

// Why a list of exclusion patterns cannot be used: the line (from 1) and what is wrong.
struct ExclusionProblem {
  std::size_t line = 0;
  std::string pattern;
  std::string reason;  // "unclosed [", "empty pattern", ...
};

// A job's exclusion patterns, compiled once per run, in the form of ignore files:
//   "*.tmp", "Thumbs.db"  no "/": the entry's name, at any depth;
//   "build/"              a trailing "/": folders only;
//   "/photos/raw", "docs/**/draft*"
//                         a "/" elsewhere: the path below the master folder ("**" stands for
//                         any number of folders; a leading "/" only anchors);
//   "!keep.tmp"           takes back in what an earlier pattern took out.
// "*" and "?" never match "/", "[...]" is a set ("[!...]" or "[^...]" its complement), "\"
// takes the next character as it is. The last pattern that matches decides.
class ExclusionRules {
 public:
  // Compiles `patterns`; false with `problem` set on the first that cannot be used (the
  // rules are then empty).
  [[nodiscard]] bool compile(const std::vector<std::string>& patterns, ExclusionProblem& problem);

  [[nodiscard]] bool empty() const { return rules_.empty(); }
  // Whether some pattern needs the whole relative path rather than the name alone.
  [[nodiscard]] bool needsPath() const { return needsPath_; }
  // Letter case ignored (ASCII letters) from now on: a case-blind master volume.
  void setCaseBlind(bool on) { caseBlind_ = on; }

  // The pattern (index in the compiled list) that decides the entry at `path` (relative to
  // the master folder, "/" between names, no leading "/"), or -1 when none matches.
  [[nodiscard]] int decidingRule(std::string_view path, bool folder) const;
  // Whether the entry is left out.
  [[nodiscard]] bool excludes(std::string_view path, bool folder) const;
  // Whether the deciding pattern `index` takes the entry back in.
  [[nodiscard]] bool takesBack(int index) const {
    return rules_[static_cast<std::size_t>(index)].negated;
  }

 private:
  // How a name-only pattern may be matched without the general matcher.
  enum class Shape : std::uint8_t { Glob, Literal, Suffix, Prefix };
  // The bytes a text may begin or end with to be matched, in either letter case: most names
  // are turned away on these two bytes alone.
  struct ByteSet {
    std::array<std::uint64_t, 4> bits{~0ULL, ~0ULL, ~0ULL, ~0ULL};
    [[nodiscard]] bool has(char c) const {
      const auto byte = static_cast<unsigned char>(c);
      return (bits[byte >> 6] >> (byte & 63) & 1) != 0;
    }
  };
  struct Rule {
    bool negated = false;
    bool folderOnly = false;
    bool wholePath = false;
    Shape shape = Shape::Glob;
    std::string text;                   // name pattern, or the literal part of a quick shape
    std::vector<std::string> segments;  // path pattern, split at "/"
    ByteSet first;
    ByteSet last;
  };
  [[nodiscard]] bool matches(const Rule& rule, std::string_view path, std::string_view name) const;
  // The rules that may match an entry, in their order: those whose last byte may be any, and
  // those for each last byte (a path ends with its name's last byte). One for files, one for
  // folders, so that an entry is tried against a few rules, not all.
  struct Candidates {
    std::vector<std::uint16_t> anyLast;
    std::array<std::vector<std::uint16_t>, 256> byLast;
  };
  void index(std::uint16_t rule);

  std::vector<Rule> rules_;
  std::array<Candidates, 2> candidates_;  // files, folders
  bool needsPath_ = false;
  bool caseBlind_ = false;
};

// Splits text into patterns, one a line (LF or CR+LF); the empty lines at its end are not
// lines. With `asFile` (an --exclude-from file), blank lines and lines starting with "#" are
// left out too; otherwise each line is a pattern, so a problem's line number is the line's.
[[nodiscard]] std::vector<std::string> PatternLines(std::string_view text, bool asFile);

}  // namespace tolvan
