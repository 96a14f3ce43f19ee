#pragma once

#include <cstdint>
#include <string>

#include "engine/EntryInfo.h"

namespace tolvan {

struct Engine;

inline constexpr int kNoCounterpart = -1;
inline constexpr int kCounterpartLookupFailed = -2;

// Walks the backup tree `backup` and removes what the master tree `master` no longer has.
// Returns the number of errors.
[[nodiscard]] std::int32_t RemovalPass(Engine& engine, const std::string& master,
                                       const std::string& backup);
// kNoCounterpart, kCounterpartLookupFailed (with `error` set), or the counterpart's
// attribute bits (and `record` filled).
[[nodiscard]] int FindCounterpart(Engine& engine, const std::string& masterPath,
                                  const std::string& name, EntryInfo& record, int& error);
// 0 when the entry is gone, else a non-zero code.
[[nodiscard]] int DeleteEntry(Engine& engine, const std::string& path, std::int16_t trashBox,
                              std::int16_t oldNT);
void ClearReadOnly(Engine& engine, const std::string& dir, bool recurse);

}  // namespace tolvan
