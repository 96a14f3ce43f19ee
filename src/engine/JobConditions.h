#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace tolvan {

// The one record of a job's settings. Flags are 0 for off; see the comments for which
// fields are tested against an exact value.
struct JobConditions {
  std::int16_t XOption = 0;          // exactly 1 when unattended
  std::int16_t CommandLineFile = 0;  // 0 / -1
  std::int16_t Timer = 0;            // exactly 1 when armed
  std::int16_t DateMode = 0;         // 0 every day, 1 every interval
  std::string Time;                  // "hh:mm"
  std::int64_t TimerStartMs = 0;     // on the steady clock; 0 until first set
  std::int16_t NomalMode = 0;        // -1 Mirroring, 0 Backup
  std::int16_t UpDate = 0;           // only 1 enables replacing newer backup copies
  std::int16_t Report = -1;          // the writer writes only on exactly -1
  std::int16_t ChildDir = -1;
  std::int16_t Size = 0;  // check-box flags: 1 or -1 for on
  std::int16_t Once = 0;
  std::int16_t Windows95 = 0;
  std::int16_t TrashBox = 0;
  std::int16_t OldNT = 0;
  std::int16_t MatchCase = 0;
  std::int16_t ATOption = 0;
  std::int16_t ErrorFreeOption = 0;
  // Percent of the backup's entries a run may remove or replace; 0 when the limit is off.
  std::int16_t ChangeLimit = 0;
  // The conditions file gave a ChangeLimit that is no whole number from 0 to 100 (read as off).
  bool ChangeLimitUnreadable = false;
  // Exclusion patterns in their order (ExclusionRules): the job's own, saved with it, and
  // those the command line adds after them for this process's runs only.
  std::vector<std::string> Exclude;
  std::vector<std::string> CommandLineExclude;
};

// Resets the fields a conditions file carries; the rest keep their values.
void DefaultSet(JobConditions& job);

// Which side's root folder a run lost (RunState::LostSide).
inline constexpr std::int16_t kNoSideLost = 0;
inline constexpr std::int16_t kMasterLost = 1;
inline constexpr std::int16_t kBackupLost = 2;

// StopFlag's value once a second stop signal came while copies were with the copy workers:
// they take no more, and the process ends as soon as the report has the lines of those made.
inline constexpr std::int16_t kStopAtOnce = 2;

// Module state shared by the engine for one process.
struct RunState {
  // Set by the stop button or a signal, read at every entry; atomic so a signal handler
  // may set it.
  std::atomic<std::int16_t> StopFlag{0};
  // Copies handed to the copy workers, and report lines held behind them, not yet taken back;
  // read by the signal handler.
  std::atomic<std::int32_t> CopiesOnTheirWay{0};
  double StartTime = 0;
  double FinishTime = 0;
  std::int16_t DryRunMode = 0;  // 0 real run, -1 batch file, else simulation bit mask
  std::int16_t MissingPath = 0;
  std::int16_t ConditionsLoaded = 0;
  // The user answered a report failure with "No": the program must end. Passes and the
  // job driver stop as for StopFlag, and the caller ends the process.
  bool EndRequested = false;
  // A side's root folder that is no longer at its path (kMasterLost, kBackupLost) and the
  // errno that told it: the passes stop as for StopFlag, before anything more is removed or
  // written; atomic, as the copy workers read it.
  std::atomic<std::int16_t> LostSide{kNoSideLost};
  int LostSideCode = 0;
  std::int64_t LastSidesCheck = 0;  // steady-clock ticks
  // The next run may go beyond the job's change limit (--allow-big-change); one run only.
  bool AllowBigChange = false;
  // Folders and files the room check found in the backup tree.
  std::int64_t BackupEntries = 0;
  // What the run's report lines tell it did (counted with the report off as well).
  std::int64_t FoldersMade = 0;
  std::int64_t FilesCopied = 0;
  std::int64_t EntriesRemoved = 0;
  // When the run started (ISO 8601), and whether its status file has been written.
  std::string LastRunStarted;
  bool LastRunRecorded = false;

  // Nothing more is written: the run ends at once, or a side is gone.
  [[nodiscard]] bool writesEnded() const {
    return StopFlag.load() == kStopAtOnce || LostSide.load() != kNoSideLost;
  }
  [[nodiscard]] bool stopRequested() const {
    return StopFlag.load() != 0 || EndRequested || LostSide != kNoSideLost;
  }
};

// A new run's figures start from nothing.
void StartRunFigures(RunState& run, std::string startedAt);

}  // namespace tolvan
