#include "conditions/TextEncoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace tolvan {
namespace {

// Length of the UTF-8 sequence starting at `i`, or 0 when it is not a valid one (overlong
// forms, surrogates and values above U+10FFFF included).
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
  const std::uint8_t lead = byte(i);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > s.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

class Converter {
 public:
  Converter() : cd_(iconv_open("UTF-8", "CP932")) {}
  ~Converter() {
    if (valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  [[nodiscard]] bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  [[nodiscard]] iconv_t handle() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = Utf8SequenceLength(bytes, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

int Cp932ToUtf8(std::string_view bytes, std::string& out) {
  out.clear();
  Converter converter;
  if (!converter.valid()) return errno;
  std::string input(bytes);
  char* in = input.data();
  std::size_t inLeft = input.size();
  char buffer[1024];
  while (inLeft > 0) {
    char* next = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t result = iconv(converter.handle(), &in, &inLeft, &next, &outLeft);
    const int error = result == static_cast<std::size_t>(-1) ? errno : 0;
    out.append(buffer, static_cast<std::size_t>(next - buffer));
    if (error == EILSEQ || error == EINVAL) {
      // Not a character of the code page, or cut off at the end: keep going past the byte.
      out.push_back('?');
      ++in;
      --inLeft;
    } else if (error != 0 && error != E2BIG) {
      return error;
    }
  }
  return 0;
}

std::string DecodeTextFile(std::string_view bytes) {
  if (IsValidUtf8(bytes)) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return std::string(bytes);
  }
  std::string text;
  if (Cp932ToUtf8(bytes, text) != 0) return std::string(bytes);
  return text;
}

}  // namespace tolvan
