#pragma once

#include <cstdint>
#include <string>

namespace tolvan {

struct Engine;

// What a run's passes would do to the backup, known before they start.
struct ChangeCounts {
  std::int64_t removals = 0;      // backup entries the removal pass would remove, contents included
  std::int64_t replacements = 0;  // backup files the copy pass would replace
  std::int64_t backupEntries = 0;  // folders and files of the backup

  [[nodiscard]] std::int64_t changes() const { return removals + replacements; }
};

// A tiny backup is not guarded by percentages: fewer changes than this never stop a run.
inline constexpr std::int64_t kChangeLimitFloor = 50;

// The job's limit (percent of the backup's entries, 0 off) and the counts: whether the run
// would go beyond it.
[[nodiscard]] bool ExceedsChangeLimit(const ChangeCounts& counts, std::int16_t limitPercent);

// Compares both trees as the passes would, from the room check's listings where it kept them
// and from the disk otherwise; `counts.backupEntries` is left to the caller.
[[nodiscard]] ChangeCounts CountChanges(Engine& engine, const std::string& from,
                                        const std::string& to);

// 12345 -> "12,345".
[[nodiscard]] std::string GroupedNumber(std::int64_t value);

// The window's question before a run beyond the limit.
[[nodiscard]] std::string ChangeLimitQuestion(const ChangeCounts& counts);
// What a simulation tells of the counts and of the limit.
[[nodiscard]] std::string ChangeCountsSummary(const ChangeCounts& counts,
                                              std::int16_t limitPercent);
// The report's Error line of a run refused by the limit.
[[nodiscard]] std::string ChangeLimitRefusal(const ChangeCounts& counts, std::int16_t limitPercent);

}  // namespace tolvan
