#include "conditions/TextEncoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>

#include "engine/Paths.h"

namespace tolvan {
namespace {

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

std::string WithoutByteOrderMark(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return std::string(bytes);
}

std::string FromShiftJis(std::string_view bytes) {
  std::string text;
  if (Cp932ToUtf8(bytes, text) != 0) return std::string(bytes);
  return text;
}

// A line's key as the reader takes it: leading blanks and an opening quote skipped, the text
// before the first "=" trimmed.
bool IsPathLine(std::string_view line, std::size_t& equals) {
  const std::size_t start = line.find_first_not_of(" \"");
  equals = line.find('=');
  if (start == std::string_view::npos || equals == std::string_view::npos || equals < start)
    return false;
  const std::string key = TrimBlanks(line.substr(start, equals - start));
  return key == "DriveA" || key == "DriveB";
}

// The file with the values of its DriveA and DriveB lines left out.
std::string WithoutPathValues(std::string_view bytes) {
  std::string rest;
  rest.reserve(bytes.size());
  while (!bytes.empty()) {
    const std::size_t end = std::min(bytes.find('\n'), bytes.size());
    std::string_view line = bytes.substr(0, end);
    std::size_t equals = 0;
    if (IsPathLine(line, equals)) line = line.substr(0, equals + 1);
    rest.append(line).push_back('\n');
    bytes.remove_prefix(std::min(end + 1, bytes.size()));
  }
  return rest;
}

}  // namespace

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
  return IsValidUtf8(bytes) ? WithoutByteOrderMark(bytes) : FromShiftJis(bytes);
}

std::string DecodeConditionsFile(std::string_view bytes) {
  return IsValidUtf8(WithoutPathValues(bytes)) ? WithoutByteOrderMark(bytes) : FromShiftJis(bytes);
}

}  // namespace tolvan
