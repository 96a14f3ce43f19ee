#pragma once

#include <QIcon>
#include <QString>
#include <cstdint>
#include <string>

#include "engine/DateTime.h"
#include "engine/JobConditions.h"

namespace tolvan::ui {

// What the notification icon tells of the runs: the last run's time and result (from the
// program folder's LastRun.json), the next run's time while the schedule is armed, an error
// badge until the report is looked at, and the desktop notification a run calls for. Plain
// logic: the window only shows what it gives.
class TrayStatus {
 public:
  // The status file's text (empty when there is none): the last run as it stands now.
  void readLastRun(const std::string& json);
  // A run has ended and left `json`: the badge follows its result. The text of the desktop
  // notification it calls for, or empty text: only a run the user did not start with "Copy"
  // that ended with errors, was refused or lost a side is told.
  [[nodiscard]] QString runEnded(const std::string& json, bool startedByCopy);
  // The report was opened: the badge goes.
  void reportOpened() { badge_ = false; }

  // "前回: 2026-12-07 03:00 エラーあり" (translated), or empty text before any run.
  [[nodiscard]] QString statusLine() const;
  // The icon's tip: the job's title, the status line and the next run when there is one.
  [[nodiscard]] QString tip(const QString& title, const QString& nextRun) const;
  [[nodiscard]] bool badge() const { return badge_; }

 private:
  QString ended_;   // "2026-12-07 03:00"
  QString result_;  // as the file writes it
  bool badge_ = false;
};

// The next scheduled run's local time ("03:00"), or empty text when the schedule is not armed:
// the daily time, or the end of the interval running on the steady clock.
[[nodiscard]] QString NextRunText(const JobConditions& job, DateTime now, std::int64_t steadyNowMs);

// The program's icon with a red mark in its corner.
[[nodiscard]] QIcon WithErrorBadge(const QIcon& icon);

}  // namespace tolvan::ui
