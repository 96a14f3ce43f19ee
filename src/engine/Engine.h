#pragma once

#include <cstdint>
#include <string>

#include "engine/JobConditions.h"
#include "engine/MountPoints.h"
#include "engine/Progress.h"
#include "engine/Report.h"
#include "engine/RunExclusions.h"
#include "engine/TreeListings.h"
#include "platform/FileSystem.h"
#include "platform/SystemInfo.h"
#include "platform/Trash.h"
#include "platform/WindowSystem.h"

namespace tolvan {

inline constexpr const char* kProgramTitle = "Tolvan32";

// The system's version as the report header names it.
struct OsVersionInfo {
  std::int16_t PlatformId = 3;  // 1 Windows 95 family, 2 Windows NT family, 3 Linux
  std::string OsVersionText;    // major + minor / 100 with two decimals: "6.01"
  std::string OsExtraText;      // distribution name
  std::int32_t BuildHigh = 0;
  std::int32_t BuildLow = 0;
  std::string SystemName = "Linux";  // the word before " Ver." in the report header
};

// Values set at start-up and read throughout.
struct SharedValues {
  std::string AppPath;      // per-user data folder: conditions files, list file, reports
  std::string TvfFileName;  // current conditions file, no folder
  std::string VersionText;  // "1.05"
  std::string WinDir;
  std::string TempPath;
  std::string EditorPath;
  float ReportSize = 512;  // KB before the report is rotated
};

// Per-entry hooks of the two dry runs; the real run never calls them.
class DryRunSink {
 public:
  virtual ~DryRunSink() = default;
  struct Sides {
    std::uint32_t AttrFrom = 0, AttrTo = 0;
    std::int64_t SizeFrom = -1, SizeTo = -1;
    DateTime TimeFrom = 0, TimeTo = 0;
  };
  // A difference of kind `code` (1, 2, 4, 8, 16, 32) for `name` between `from` and `to`.
  // The list shows names and paths through DisplayText, as the report does.
  virtual void SimulateWrite(int code, const std::string& from, const std::string& to,
                             const std::string& name, const Sides& sides) = 0;
  virtual void WriteRestoreLines(const std::string& source, const std::string& target) = 0;
};

struct Services {
  platform::FileSystem& fs;
  platform::Trash& trash;
  platform::WindowSystem& ui;
  platform::SystemInfo& sys;
};

// Everything one process's engine shares: the job, the run state, the shared values, the
// platform services and the open report. One per process; tests make their own.
class CopyAhead;

struct Engine {
  explicit Engine(Services s) : services(s), progress(s.ui.progress(), s.sys, run) {}
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  Services services;
  JobConditions job;
  RunState run;
  SharedValues shared;
  OsVersionInfo os;
  ReportFiles report;
  Progress progress;
  DryRunSink* dryRun = nullptr;
  // The master tree's folders as the room check listed them, until the copy pass walks them;
  // at most 10 MiB of names and entries, and 8 MiB of digests (what a folder's entries add
  // up to) of those that did not fit.
  TreeListings masterListings{std::size_t{10} << 20, std::size_t{8} << 20};
  // The backup tree's folders as the room check listed them, less those the removal pass
  // changed: they tell the copy pass which entries are already up to date.
  TreeListings backupListings{std::size_t{10} << 20, std::size_t{8} << 20};

  // The master's folders on volumes of their own, as the room check found them, until the
  // passes have run.
  MountPoints masterMounts;

  // What the run under way leaves out of both trees (PrepareExclusions).
  RunExclusions exclusions;

  // While the copy pass hands copies of new files to other threads: the lines of those it
  // has handed over come before any other line.
  CopyAhead* copiesAhead = nullptr;
  std::int32_t copiesAheadErrors = 0;

  void clearListings() {
    masterListings.clear();
    backupListings.clear();
  }
  [[nodiscard]] platform::FileSystem& fs() { return services.fs; }
  [[nodiscard]] platform::WindowSystem& ui() { return services.ui; }
  [[nodiscard]] platform::SystemInfo& sys() { return services.sys; }
};

}  // namespace tolvan
