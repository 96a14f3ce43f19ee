#include "scheduler/ChangeLimitControl.h"

#include <algorithm>

#include "conditions/Tvf.h"
#include "engine/Paths.h"

namespace tolvan {

ChangeLimitShown ShowChangeLimit(const Session& session) {
  const std::int16_t limit = session.engine.job.ChangeLimit;
  return {limit > 0, limit > 0 ? limit : session.window.changeLimitPercent};
}

void SetChangeLimit(Session& session, bool on, int percent) {
  percent = std::clamp(percent, 1, kMaxChangeLimit);
  session.window.changeLimitPercent = percent;
  session.engine.job.ChangeLimit = static_cast<std::int16_t>(on ? percent : 0);
}

void TellUnreadableChangeLimit(Session& session) {
  Engine& engine = session.engine;
  if (!engine.job.ChangeLimitUnreadable) return;
  engine.job.ChangeLimitUnreadable = false;
  (void)engine.ui().messageBox(DisplayText(engine.shared.TvfFileName) + kUnreadableChangeLimit,
                               kProgramTitle, platform::MessageIcon::Exclamation,
                               platform::MessageButtons::Ok);
}

}  // namespace tolvan
