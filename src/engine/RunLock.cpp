#include "engine/RunLock.h"

#include "engine/Engine.h"
#include "engine/Paths.h"
#include "engine/Report.h"

namespace tolvan {
namespace {

// Opens the file the way a run holds it and lets it go at once.
bool CanHold(Engine& engine, const std::string& path) {
  int error = 0;
  auto file = engine.fs().openLocked(path, platform::OpenMode::Append, error);
  if (file == nullptr) return false;
  (void)file->close();
  return true;
}

}  // namespace

std::int16_t ReportWritable(Engine& engine) {
  if (!CanHold(engine, ReportPath(engine))) return -1;
  if (!CanHold(engine, RecentPath(engine))) return -1;
  return 0;
}

std::int16_t WaitForReport(Engine& engine, [[maybe_unused]] const std::string& reportPath) {
  ReportFiles& report = engine.report;
  report.WaitCancelled = 0;
  if (ReportWritable(engine) != 0) {
    const bool cancelled = engine.ui().runWaitDialog(
        DisplayText(engine.shared.TvfFileName) + "  Waiting",
        "現在、他のＴＬＶ３２が実行中か、レポートファイルに書き込みできません。",
        "実行可能な状態になるまで待機中です。しばらくお待ち下さい。コピーを中止する場合は、以下のボ"
        "タンを押して下さい。",
        [&engine] { return ReportWritable(engine) == 0; });
    if (cancelled) report.WaitCancelled = -1;
  }
  const std::int16_t result = report.WaitCancelled;
  report.WaitCancelled = 0;
  return result;
}

}  // namespace tolvan
