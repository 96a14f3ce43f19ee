#pragma once

#include <string>
#include <string_view>

namespace tolvan {

// Shift-JIS (code page 932) to UTF-8; a byte that is not part of a valid character becomes
// "?". 0 or the errno of the converter.
[[nodiscard]] int Cp932ToUtf8(std::string_view bytes, std::string& out);

// A text file as the program reads it back: UTF-8 as it is (a leading byte-order mark
// dropped), anything else read as Shift-JIS, as files of the Windows version are.
[[nodiscard]] std::string DecodeTextFile(std::string_view bytes);

// A conditions file as the program reads it back. The DriveA and DriveB values are names,
// which may hold any bytes, so only the text outside them decides: UTF-8 when that is valid
// UTF-8 (the paths then kept byte for byte), else Shift-JIS.
[[nodiscard]] std::string DecodeConditionsFile(std::string_view bytes);

}  // namespace tolvan
