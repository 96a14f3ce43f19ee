#include "engine/SidesCheck.h"

#include "engine/Engine.h"

namespace tolvan {
namespace {

constexpr const char* kSameSides =
    "指定したドライブまたはディレクトリが同じです。バックアップを中止します。";
constexpr const char* kMissingPath =
    "ｔｖｆファイルで指定したドライブまたはディレクトリが存在しません。バックアップを中止します。";
constexpr const char* kFromUnreadable =
    "From側に指定したドライブまたはフォルダーにアクセスできないか、ファイルが存在しません。";
constexpr const char* kToUnreadable =
    "To側に指定したドライブまたはフォルダーにアクセスできません。";

void ShowCritical(Engine& engine, const std::string& text) {
  (void)engine.ui().messageBox(text, kProgramTitle, platform::MessageIcon::Critical,
                               platform::MessageButtons::Ok);
}

bool Listable(Engine& engine, const std::string& path) {
  int error = 0;
  return engine.fs().openListing(path, error) != nullptr;
}

}  // namespace

std::optional<RunEnd> RefusedSides(Engine& engine, const std::string& from, const std::string& to,
                                   std::int16_t timer) {
  const char* refusal = nullptr;
  if (from == to) {
    refusal = kSameSides;
  } else if (engine.run.MissingPath != 0) {
    refusal = kMissingPath;
  } else if (!Listable(engine, from)) {
    refusal = kFromUnreadable;
  } else if (!Listable(engine, to) && !engine.fs().isMountPoint(to)) {
    refusal = kToUnreadable;
  }
  if (refusal == nullptr) return std::nullopt;
  if (timer == 0 || refusal == kSameSides) ShowCritical(engine, refusal);
  return RunEnd::Refused;
}

}  // namespace tolvan
