#include "engine/RunLock.h"

#include "engine/Engine.h"
#include "engine/Paths.h"
#include "engine/Report.h"

namespace tolvan {
namespace {

using platform::OpenMode;

void ShowUnwritable(Engine& engine, const ReportTaking& taking) {
  (void)engine.ui().messageBox("Cannot write the report file " + DisplayText(taking.path) + ": " +
                                   ErrorDescription(taking.error),
                               kProgramTitle, platform::MessageIcon::Critical,
                               platform::MessageButtons::Ok);
}

bool TakeFile(Engine& engine, const std::string& path, std::unique_ptr<platform::LockedFile>& file,
              ReportTaking& taking) {
  file = engine.fs().openLocked(path, OpenMode::Append, taking.error);
  if (file != nullptr) return true;
  if (taking.error == 0) taking.error = EIO;
  taking.path = path;
  return false;
}

bool Emptied(Engine& engine, platform::LockedFile& file, ReportTaking& taking) {
  taking.error = file.truncate();
  if (taking.error == 0) return true;
  taking.path = RecentPath(engine);
  return false;
}

}  // namespace

ReportTaking TakeReportFiles(Engine& engine) {
  ReportFiles& files = engine.report;
  ReportTaking taking;
  // Recent.tvr is emptied only once both are held: an attempt that fails cuts nothing.
  if (TakeFile(engine, RecentPath(engine), files.RecentFile, taking) &&
      TakeFile(engine, ReportPath(engine), files.ReportFile, taking) &&
      Emptied(engine, *files.RecentFile, taking)) {
    files.forgetLosses();
    return taking;
  }
  CloseReportFiles(engine);
  return taking;
}

std::int16_t WaitForReport(Engine& engine, [[maybe_unused]] const std::string& reportPath) {
  ReportFiles& report = engine.report;
  report.WaitCancelled = 0;
  // Files this process already holds stay its report: opening them again would be refused.
  if (report.isOpen()) return 0;
  ReportTaking taking = TakeReportFiles(engine);
  if (taking.busy()) {
    const bool cancelled = engine.ui().runWaitDialog(
        DisplayText(engine.shared.TvfFileName) + "  Waiting",
        "現在、他のＴＬＶ３２が実行中か、レポートファイルに書き込みできません。",
        "実行可能な状態になるまで待機中です。しばらくお待ち下さい。コピーを中止する場合は、以下のボ"
        "タンを押して下さい。",
        [&] {
          taking = TakeReportFiles(engine);
          return !taking.busy();
        });
    // A dialog closed while the files were still held elsewhere cannot let the run go on:
    // it would run without its report.
    if (cancelled || taking.busy()) report.WaitCancelled = -1;
  }
  if (report.WaitCancelled == 0 && !taking.held()) {
    ShowUnwritable(engine, taking);
    report.WaitCancelled = -1;
  }
  if (report.WaitCancelled != 0) CloseReportFiles(engine);
  const std::int16_t result = report.WaitCancelled;
  report.WaitCancelled = 0;
  return result;
}

}  // namespace tolvan
