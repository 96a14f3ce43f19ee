#pragma once

#include <cerrno>
#include <cstdint>
#include <string>

namespace tolvan {

struct Engine;

// What an attempt to take both report files gave.
struct ReportTaking {
  int error = 0;     // 0 when this process holds both files now
  std::string path;  // the file that could not be taken

  [[nodiscard]] bool held() const { return error == 0; }
  // Another instance holds the file: worth waiting for. Any other error will not go away.
  [[nodiscard]] bool busy() const { return error == EAGAIN; }
};

// Opens and locks Recent.tvr, then report.tvr (for appending), empties Recent.tvr, and keeps
// both in engine.report as the open report; on a failure neither is kept. Recent.tvr is taken
// first because it is never renamed: whoever holds it holds the report, even while report.tvr
// is being rotated.
[[nodiscard]] ReportTaking TakeReportFiles(Engine& engine);

// Takes the report files for a run, with the wait dialog while another instance holds them.
// 0 when this process holds them (the run goes on with them as its open report); -1 when the
// user cancelled, or when they cannot be opened for another reason, which a critical message
// names. Nothing is held after -1.
[[nodiscard]] std::int16_t WaitForReport(Engine& engine, const std::string& reportPath);

}  // namespace tolvan
