#include "engine/ExclusionRules.h"

#include <algorithm>
#include <cstring>

namespace tolvan {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

char FoldAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameChar(char a, char b, bool caseBlind) {
  return a == b || (caseBlind && FoldAscii(a) == FoldAscii(b));
}

bool SameText(std::string_view a, std::string_view b, bool caseBlind) {
  if (a.size() != b.size()) return false;
  if (!caseBlind) return std::memcmp(a.data(), b.data(), a.size()) == 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!SameChar(a[i], b[i], true)) return false;
  }
  return true;
}

// The bytes of the UTF-8 character starting at `text[at]` (1 for a byte that starts none),
// and its code point in `code`: "?" and "[...]" stand for one character, not one byte.
std::size_t CharacterAt(std::string_view text, std::size_t at, std::uint32_t& code) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = lead < 0x80         ? 1
                       : (lead >> 5) == 6  ? 2
                       : (lead >> 4) == 14 ? 3
                       : (lead >> 3) == 30 ? 4
                                           : 1;
  if (at + length > text.size()) length = 1;
  code = length == 1 ? lead : lead & (0x7Fu >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next >> 6) != 2) {
      code = lead;
      return 1;
    }
    code = (code << 6) | (next & 0x3Fu);
  }
  return length;
}

// One member of a set, "\" taking the next character as it is; `at` moves past it.
std::uint32_t SetMember(std::string_view pattern, std::size_t& at) {
  if (pattern[at] == '\\' && at + 1 < pattern.size()) ++at;
  std::uint32_t code = 0;
  at += CharacterAt(pattern, at, code);
  return code;
}

std::uint32_t FoldCode(std::uint32_t code) {
  return code >= 'A' && code <= 'Z' ? code - 'A' + 'a' : code;
}

// Where the set starting at `pattern[open]` ("[") ends (just past "]"), or kNone.
std::size_t SetEnd(std::string_view pattern, std::size_t open) {
  std::size_t at = open + 1;
  if (at < pattern.size() && (pattern[at] == '!' || pattern[at] == '^')) ++at;
  bool first = true;
  while (at < pattern.size()) {
    if (pattern[at] == ']' && !first) return at + 1;
    if (pattern[at] == '\\' && at + 1 == pattern.size()) return kNone;
    (void)SetMember(pattern, at);
    first = false;
  }
  return kNone;
}

// Calls `range(low, high)` for each member (low == high) or range of the well-formed set
// whose first member is at `at`, until it gives false; whether every call gave true.
template <typename Range>
bool ForEachSetRange(std::string_view pattern, std::size_t at, const Range& range) {
  bool first = true;
  while (!(pattern[at] == ']' && !first)) {
    first = false;
    const std::uint32_t low = SetMember(pattern, at);
    std::uint32_t high = low;
    if (pattern[at] == '-' && at + 1 < pattern.size() && pattern[at + 1] != ']') {
      ++at;
      high = SetMember(pattern, at);
    }
    if (!range(low, high)) return false;
  }
  return true;
}

// Whether `code` is in the (well-formed) set starting at `pattern[open]`.
bool InSet(std::string_view pattern, std::size_t open, std::uint32_t code, bool caseBlind) {
  std::size_t at = open + 1;
  const bool complement = pattern[at] == '!' || pattern[at] == '^';
  if (complement) ++at;
  const std::uint32_t folded = FoldCode(code);
  const std::uint32_t upper = folded >= 'a' && folded <= 'z' ? folded - 'a' + 'A' : folded;
  bool found = false;
  (void)ForEachSetRange(pattern, at, [&](std::uint32_t low, std::uint32_t high) {
    const auto within = [&](std::uint32_t c) { return c >= low && c <= high; };
    found = within(code) || (caseBlind && (within(folded) || within(upper)));
    return !found;
  });
  return found != complement;
}

// One name against one name pattern without "/": the last "*" is the only one ever taken
// back, so the time stays in proportion to the name's length times the stars.
bool MatchName(std::string_view pattern, std::string_view name, bool caseBlind) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starP = kNone;
  std::size_t starN = 0;
  while (n < name.size()) {
    if (p < pattern.size()) {
      const char c = pattern[p];
      std::uint32_t code = 0;
      if (c == '*') {
        starP = ++p;
        starN = n;
        continue;
      }
      if (c == '?') {
        n += CharacterAt(name, n, code);
        ++p;
        continue;
      }
      if (c == '[') {
        const std::size_t length = CharacterAt(name, n, code);
        if (InSet(pattern, p, code, caseBlind)) {
          p = SetEnd(pattern, p);
          n += length;
          continue;
        }
      } else {
        const std::size_t at = c == '\\' && p + 1 < pattern.size() ? p + 1 : p;
        if (SameChar(pattern[at], name[n], caseBlind)) {
          p = at + 1;
          ++n;
          continue;
        }
      }
    }
    if (starP == kNone) return false;
    std::uint32_t code = 0;
    starN += CharacterAt(name, starN, code);
    p = starP;
    n = starN;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool IsAnyFolders(const std::string& segment) {
  return segment.size() == 2 && segment[0] == '*' && segment[1] == '*';
}

// A path pattern's names against the path's names from `path` on; "**" stands for any
// number of names, none included, but a trailing "**" for at least one.
bool MatchSegments(const std::vector<std::string>& segments, std::size_t s, std::string_view path,
                   bool atEnd, bool caseBlind) {
  for (; s < segments.size(); ++s) {
    if (IsAnyFolders(segments[s])) {
      if (s + 1 == segments.size()) return !atEnd;
      if (MatchSegments(segments, s + 1, path, atEnd, caseBlind)) return true;
      while (!atEnd) {
        const std::size_t slash = path.find('/');
        atEnd = slash == kNone;
        path = atEnd ? std::string_view() : path.substr(slash + 1);
        if (MatchSegments(segments, s + 1, path, atEnd, caseBlind)) return true;
      }
      return false;
    }
    if (atEnd) return false;
    const std::size_t slash = path.find('/');
    if (!MatchName(segments[s], path.substr(0, slash), caseBlind)) return false;
    atEnd = slash == kNone;
    path = atEnd ? std::string_view() : path.substr(slash + 1);
  }
  return atEnd;
}

// Where each element of a pattern begins: a character, "\" and the one it takes, or a set.
std::vector<std::size_t> ElementStarts(std::string_view pattern) {
  std::vector<std::size_t> starts;
  for (std::size_t at = 0; at < pattern.size();) {
    starts.push_back(at);
    if (pattern[at] == '[') {
      at = SetEnd(pattern, at);
    } else {
      at += pattern[at] == '\\' ? 2 : 1;
    }
  }
  return starts;
}

// The byte in either letter case.
void AddByte(std::array<std::uint64_t, 4>& bits, unsigned byte) {
  const auto set = [&bits](unsigned b) { bits[b >> 6] |= 1ULL << (b & 63); };
  set(byte);
  if (byte >= 'a' && byte <= 'z') set(byte - 'a' + 'A');
  if (byte >= 'A' && byte <= 'Z') set(byte - 'A' + 'a');
}

// The bytes the element at `at` may stand for, when they are few ASCII ones; else all.
std::array<std::uint64_t, 4> ElementBytes(std::string_view pattern, std::size_t at) {
  const std::array<std::uint64_t, 4> all{~0ULL, ~0ULL, ~0ULL, ~0ULL};
  std::array<std::uint64_t, 4> bits{};
  const auto ascii = [](std::uint32_t c) { return c < 0x80; };
  if (pattern[at] == '*' || pattern[at] == '?') return all;
  if (pattern[at] != '[') {
    const auto byte = static_cast<unsigned char>(pattern[pattern[at] == '\\' ? at + 1 : at]);
    if (!ascii(byte)) return all;
    AddByte(bits, byte);
    return bits;
  }
  if (pattern[at + 1] == '!' || pattern[at + 1] == '^') return all;
  const bool fewBytes =
      ForEachSetRange(pattern, at + 1, [&](std::uint32_t low, std::uint32_t high) {
        if (!ascii(low) || !ascii(high)) return false;
        for (std::uint32_t c = low; c <= high; ++c) AddByte(bits, c);
        return true;
      });
  return fewBytes ? bits : all;
}

bool HasWildcard(std::string_view text) {
  return text.find_first_of("*?[\\") != kNone;
}

// A problem in the pattern's own text, or nullptr.
const char* TextProblem(std::string_view body) {
  for (std::size_t at = 0; at < body.size(); ++at) {
    if (body[at] == '\\') {
      if (++at == body.size()) return "ends with \\";
    } else if (body[at] == '[') {
      const std::size_t end = SetEnd(body, at);
      if (end == kNone) return "unclosed [";
      at = end - 1;
    }
  }
  return nullptr;
}

}  // namespace

void ExclusionRules::index(std::uint16_t rule) {
  const ByteSet& last = rules_[rule].last;
  const bool any = last.bits == ByteSet{}.bits;
  for (const bool folders : {false, true}) {
    if (!folders && rules_[rule].folderOnly) continue;
    Candidates& candidates = candidates_[folders ? 1 : 0];
    if (any) {
      candidates.anyLast.push_back(rule);
      continue;
    }
    for (unsigned byte = 0; byte < 256; ++byte) {
      if (last.has(static_cast<char>(byte))) candidates.byLast[byte].push_back(rule);
    }
  }
}

bool ExclusionRules::compile(const std::vector<std::string>& patterns, ExclusionProblem& problem) {
  rules_.clear();
  candidates_ = {};
  needsPath_ = false;
  const auto refuse = [&](std::size_t index, const char* reason) {
    rules_.clear();
    candidates_ = {};
    needsPath_ = false;
    problem = {index + 1, patterns[index], reason};
    return false;
  };
  if (patterns.size() > kMaxExclusionPatterns) {
    return refuse(kMaxExclusionPatterns, "more than 10000 patterns");
  }
  rules_.reserve(patterns.size());
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    std::string_view body = patterns[i];
    if (body.size() > kMaxExclusionPatternBytes) return refuse(i, "longer than 4096 bytes");
    if (body.find_first_of(std::string_view("\r\n\0", 3)) != kNone)
      return refuse(i, "holds a line end");
    Rule rule;
    rule.negated = !body.empty() && body.front() == '!';
    if (rule.negated) body.remove_prefix(1);
    rule.folderOnly = !body.empty() && body.back() == '/';
    if (rule.folderOnly) body.remove_suffix(1);
    const bool anchored = !body.empty() && body.front() == '/';
    if (anchored) body.remove_prefix(1);
    if (body.empty()) return refuse(i, "empty pattern");
    if (const char* reason = TextProblem(body)) return refuse(i, reason);
    rule.wholePath = anchored || body.find('/') != kNone;
    const std::vector<std::size_t> starts = ElementStarts(body);
    // A path pattern may begin or end with "**", which stands for whole names, or with a
    // "/" that only an empty name stands before or after.
    const bool wholeNamesAtEnds = body.starts_with("**") || body.ends_with("/**") ||
                                  body.front() == '/' || body.back() == '/';
    if (!(rule.wholePath && wholeNamesAtEnds)) {
      rule.first.bits = ElementBytes(body, starts.front());
      rule.last.bits = ElementBytes(body, starts.back());
    }
    if (rule.wholePath) {
      std::size_t start = 0;
      while (start <= body.size()) {
        const std::size_t slash = std::min(body.find('/', start), body.size());
        if (slash > start) rule.segments.emplace_back(body.substr(start, slash - start));
        start = slash + 1;
      }
      needsPath_ = true;
    } else if (!HasWildcard(body)) {
      rule.shape = Shape::Literal;
      rule.text = body;
    } else if (body.front() == '*' && !HasWildcard(body.substr(1))) {
      rule.shape = Shape::Suffix;
      rule.text = body.substr(1);
    } else if (body.back() == '*' && !HasWildcard(body.substr(0, body.size() - 1))) {
      rule.shape = Shape::Prefix;
      rule.text = body.substr(0, body.size() - 1);
    } else {
      rule.text = body;
    }
    rules_.push_back(std::move(rule));
    index(static_cast<std::uint16_t>(i));
  }
  return true;
}

bool ExclusionRules::matches(const Rule& rule, std::string_view path, std::string_view name) const {
  const std::string_view subject = rule.wholePath ? path : name;
  if (subject.empty() || !rule.first.has(subject.front()) || !rule.last.has(subject.back()))
    return false;
  if (rule.wholePath) return MatchSegments(rule.segments, 0, path, false, caseBlind_);
  const std::string_view text = rule.text;
  switch (rule.shape) {
    case Shape::Literal:
      return SameText(text, name, caseBlind_);
    case Shape::Suffix:
      return name.size() >= text.size() &&
             SameText(text, name.substr(name.size() - text.size()), caseBlind_);
    case Shape::Prefix:
      return name.size() >= text.size() && SameText(text, name.substr(0, text.size()), caseBlind_);
    case Shape::Glob:
      break;
  }
  return MatchName(text, name, caseBlind_);
}

int ExclusionRules::decidingRule(std::string_view path, bool folder) const {
  if (path.empty() || rules_.empty()) return -1;
  const std::size_t slash = path.rfind('/');
  const std::string_view name = slash == kNone ? path : path.substr(slash + 1);
  const Candidates& candidates = candidates_[folder ? 1 : 0];
  const std::vector<std::uint16_t>& some =
      candidates.byLast[static_cast<unsigned char>(path.back())];
  // Both lists are in the rules' order: the last rule of either that matches decides.
  auto any = candidates.anyLast.rbegin();
  auto byLast = some.rbegin();
  while (any != candidates.anyLast.rend() || byLast != some.rend()) {
    const bool fromAny =
        byLast == some.rend() || (any != candidates.anyLast.rend() && *any > *byLast);
    const std::uint16_t rule = fromAny ? *any++ : *byLast++;
    if (matches(rules_[rule], path, name)) return rule;
  }
  return -1;
}

bool ExclusionRules::excludes(std::string_view path, bool folder) const {
  const int rule = decidingRule(path, folder);
  return rule >= 0 && !rules_[static_cast<std::size_t>(rule)].negated;
}

std::vector<std::string> PatternLines(std::string_view text, bool asFile) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    start = end + 1;
    const bool blank = line.find_first_not_of(" \t") == kNone;
    if (asFile && (blank || line.front() == '#')) continue;
    lines.emplace_back(line);
  }
  while (!asFile && !lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

}  // namespace tolvan
