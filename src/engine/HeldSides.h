#pragma once

#include <string>

namespace tolvan {

struct Engine;

// Whether both sides' root folders still stand at their paths, as the file system held them
// when the run began. The first that does not is noted in the run state (LostSide), and the
// passes then end as on a stop request: nothing more is removed or written.
[[nodiscard]] bool SidesStillThere(Engine& engine);
// The same, at most every few milliseconds: for the walks, once per folder.
void CheckSidesNowAndThen(Engine& engine);

// The report line and message that say which side was lost and why; empty text while none was.
[[nodiscard]] std::string LostSideText(const Engine& engine, const std::string& from,
                                       const std::string& to);
[[nodiscard]] const char* LostSideMessage(const Engine& engine);

}  // namespace tolvan
