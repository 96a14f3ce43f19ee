#pragma once

#include <cstdint>
#include <string>

#include "engine/EntryInfo.h"

namespace tolvan {

struct Engine;

// Walks the master tree `from` and brings the backup tree `to` up to date. Returns the
// number of errors.
[[nodiscard]] std::int32_t CopyTree(Engine& engine, const std::string& from, const std::string& to);
// One master entry of a real run: 0 or 1 (errors caused).
[[nodiscard]] int CopyEntry(Engine& engine, const std::string& source, const std::string& target,
                            const EntryInfo& entry);
[[nodiscard]] int ClassifyForSimulation(Engine& engine, const std::string& from,
                                        const std::string& to, const std::string& name,
                                        const EntryInfo& entry);
[[nodiscard]] int ClassifyForBatch(Engine& engine, const std::string& from, const std::string& to,
                                   const std::string& name, const EntryInfo& entry);

// Writes the lines of the copies handed to other threads that have finished (with `all`, of
// every copy handed over, waiting for them), in the order they were handed over.
void TakeBackCopies(Engine& engine, bool all);

// The 48-second rule on Unix times: +1 master newer, -1 master older, 0 same time (both ends
// included).
[[nodiscard]] int CompareModified(std::int64_t masterSeconds, std::int64_t backupSeconds);

}  // namespace tolvan
