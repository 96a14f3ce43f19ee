#pragma once

#include <string>

namespace tolvan::testing {

// The texts of the refusals a user reads in a message box or a report's Error line, written
// out here rather than taken from the program, so that a changed text fails the tests.
inline const std::string kSame =
    "指定したドライブまたはディレクトリが同じです。バックアップを中止します。";
inline const std::string kMissingPath =
    "ｔｖｆファイルで指定したドライブまたはディレクトリが存在しません。バックアップを中止します。";
inline const std::string kFromText =
    "From側に指定したドライブまたはフォルダーにアクセスできないか、ファイルが存在しません。";
inline const std::string kToText = "To側に指定したドライブまたはフォルダーにアクセスできません。";
inline const std::string kNoAccess = "指定したドライブまたはフォルダーにアクセスできませんでした。";
inline const std::string kProgramInside =
    "プログラムのフォルダーがTo側に指定したフォルダーの中にあります。ミラーリングを中止します。";

}  // namespace tolvan::testing
