#pragma once

#include <string>

#include "conditions/Session.h"

namespace tolvan {

inline constexpr const char* kTvfExtension = ".tvf";
// Run-time error numbers of the conditions-file reader.
inline constexpr int kErrOverflow = 6;
inline constexpr int kErrTypeMismatch = 13;
inline constexpr int kErrFileNotFound = 53;
inline constexpr int kErrDeviceUnavailable = 68;
inline constexpr int kErrDiskNotReady = 71;
inline constexpr int kErrPathFileAccess = 75;
inline constexpr int kErrPathNotFound = 76;

inline constexpr const char* kBadRecordMessage = "の記述内容に誤りがあります。";
inline constexpr const char* kPathAccessMessage =
    "指定したドライブまたはフォルダーにアクセスできませんでした。";

// Loads AppPath/TvfFileName into the Job conditions and the window's From and To fields,
// then calls `session.formSet` with the Timer read. A bad record or an unrecoverable failure
// shows its box (or, unattended, writes the report) and asks the program to end
// (`session.endRequested`); callers stop when it is set.
void tvfRead(Session& session);

// Writes the current job as AppPath/TvfFileName (UTF-8, CR+LF). 0 or an errno.
[[nodiscard]] int tvfWrite(Session& session);

// The highest ChangeLimit (percent of the backup's entries).
inline constexpr int kMaxChangeLimit = 100;

// The nineteen lines tvfWrite writes, each ended by CR+LF, then a ChangeLimit line when the
// job's limit is on and one "Exclude=" line a pattern.
[[nodiscard]] std::string TvfText(const Session& session);

// A time of day such as 14:20, 9:5 or 14:20:30 as "hh:mm"; false when it is not one.
[[nodiscard]] bool TimeOfDayText(const std::string& text, std::string& hhmm);

}  // namespace tolvan
