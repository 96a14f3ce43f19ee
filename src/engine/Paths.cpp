#include "engine/Paths.h"

#include <cstring>

namespace tolvan {
namespace {

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Length of the valid UTF-8 sequence starting at `at`, or 0 when the byte there does not
// start one (stray continuation bytes, overlong forms, surrogates, values past U+10FFFF).
std::size_t ValidSequenceLength(std::string_view bytes, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
  } else {
    return 0;
  }
  if (at + length > bytes.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

// strerror_r comes in two flavours; take the text from whichever this library has.
[[maybe_unused]] std::string ErrorText(int result, const char* buffer) {
  return result == 0 ? std::string(buffer) : std::string();
}
[[maybe_unused]] std::string ErrorText(const char* result, const char*) {
  return result != nullptr ? std::string(result) : std::string();
}

// C0 controls and DEL (one byte), and the C1 controls U+0080 to U+009F (two bytes in UTF-8):
// a line break or a terminal escape in a name must not reach a text as itself.
bool IsControlCharacter(std::string_view sequence) {
  const auto lead = static_cast<unsigned char>(sequence[0]);
  if (sequence.size() == 1) return lead < 0x20 || lead == 0x7F;
  return sequence.size() == 2 && lead == 0xC2 && static_cast<unsigned char>(sequence[1]) <= 0x9F;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = ValidSequenceLength(bytes, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string ChildPath(std::string_view parent, std::string_view name) {
  std::string path;
  path.reserve(parent.size() + name.size() + 1);
  path.append(parent);
  if (path.empty() || path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}

std::string StripOneTrailingSeparator(std::string path) {
  if (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

std::string ToUpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = UpperAscii(c);
  return upper;
}

std::string DisplayText(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t length = ValidSequenceLength(bytes, at);
    if (length == 0) {
      text.push_back('?');
      ++at;
    } else {
      const std::string_view sequence = bytes.substr(at, length);
      if (IsControlCharacter(sequence)) {
        text.push_back('?');
      } else {
        text.append(sequence);
      }
      at += length;
    }
  }
  return text;
}

std::string ErrorDescription(int code) {
  char buffer[256] = {};
  std::string text = ErrorText(strerror_r(code, buffer, sizeof buffer), buffer);
  if (text.empty()) text = "Unknown error " + std::to_string(code);
  return text;
}

bool IsSameOrBelow(std::string_view path, std::string_view folder) {
  if (path.substr(0, folder.size()) != folder) return false;
  return path.size() == folder.size() || folder == "/" || path[folder.size()] == '/';
}

}  // namespace tolvan
