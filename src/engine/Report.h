#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/FileSystem.h"

namespace tolvan {

struct Engine;

// Line kinds of the report; any other value of 13 or more writes the text without prefix.
enum class ReportLineKind : std::int16_t {
  CloseReport = -2,
  OpenReport = -1,
  RemoveDirectory = 0,
  DeleteFile = 1,
  MakeDirectory = 2,
  NewFile = 3,
  UpDateFile = 4,
  AllFiles = 5,
  Attribute = 6,
  Skipped = 7,
  DiskFull = 8,
  Error = 9,
  SizeChange = 10,
  ScanError = 11,
  CopyDirectory = 12,
};

inline constexpr const char* kReportFileName = "report.tvr";
inline constexpr const char* kRecentFileName = "Recent.tvr";

// Holds report lines back while copies that come before them in the walk are on their way,
// so the report keeps the walk's order. Whoever runs such copies lends one to the report.
class LineHold {
 public:
  virtual ~LineHold() = default;
  // Keeps the line for its place when copies are on their way; false to have it written now.
  [[nodiscard]] virtual bool holdLine(std::int16_t kind, const std::string& text) = 0;
};

// The two open report files; while they are open they are the run lock between processes.
struct ReportFiles {
  std::unique_ptr<platform::LockedFile> ReportFile;
  std::unique_ptr<platform::LockedFile> RecentFile;
  // Bytes of lines held back by both files to be written together: a write per line would
  // cost a run with many small copies a good part of its time. They are written once the
  // last write is 100 ms old, before a long copy and at the closing, so a killed run loses
  // at most the last moment (and a run ended by a second stop signal nothing).
  std::size_t Pending = 0;
  std::chrono::steady_clock::time_point LastWrite{};
  std::int16_t WaitCancelled = 0;
  LineHold* HeldBehind = nullptr;  // while copies are on their way
  // The first write or close of the report that failed since its files were taken (0 when
  // none), and the file it failed on: the report is incomplete.
  int LostCode = 0;
  std::string LostFile;

  [[nodiscard]] bool isOpen() const { return ReportFile != nullptr; }
  [[nodiscard]] bool incomplete() const { return LostCode != 0; }
  void noteLoss(int code, const std::string& file) {
    if (LostCode != 0) return;
    LostCode = code;
    LostFile = file;
  }
  void forgetLosses() {
    LostCode = 0;
    LostFile.clear();
  }
};

// Writes one report line (or opens/closes the report) into report.tvr and Recent.tvr.
// Writes nothing while DryRunMode is non-zero or `report` is not -1. Always returns 0.
std::int16_t WriteReport(Engine& engine, ReportLineKind kind, const std::string& text,
                         std::int16_t report, const std::string& from = {},
                         const std::string& to = {});

// Gives an oversized report.tvr a dated name so that a new one begins (`renamed`). 0 or the
// errno of the step that failed.
[[nodiscard]] int RotateReport(Engine& engine, bool& renamed);

// Writes the lines held back now, or only when the last write is old enough.
void FlushReport(Engine& engine);
void FlushReportIfDue(Engine& engine);

[[nodiscard]] std::string ReportPath(const Engine& engine);
[[nodiscard]] std::string RecentPath(const Engine& engine);

// Closes both report files without closing lines (the closing sequence of the program).
void CloseReportFiles(Engine& engine);

}  // namespace tolvan
