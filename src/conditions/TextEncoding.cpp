#include "conditions/TextEncoding.h"

#include <iconv.h>

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
  if (IsValidUtf8(bytes)) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return std::string(bytes);
  }
  std::string text;
  if (Cp932ToUtf8(bytes, text) != 0) return std::string(bytes);
  return text;
}

}  // namespace tolvan
