#include "engine/HeldSides.h"

#include <chrono>

#include "engine/Engine.h"
#include "engine/WalkSupport.h"

namespace tolvan {
namespace {

using Clock = std::chrono::steady_clock;

// A folder takes well under this to walk; a side that went away is noticed within it.
constexpr Clock::duration kCheckInterval = std::chrono::milliseconds(20);

bool Lost(Engine& engine, platform::Side side, std::int16_t mark) {
  const int code = engine.fs().checkHeldRoot(side);
  if (code == 0) return false;
  engine.run.LostSide = mark;
  engine.run.LostSideCode = code;
  return true;
}

}  // namespace

bool SidesStillThere(Engine& engine) {
  if (engine.run.LostSide != kNoSideLost) return false;
  engine.run.LastSidesCheck = Clock::now().time_since_epoch().count();
  return !Lost(engine, platform::Side::Master, kMasterLost) &&
         !Lost(engine, platform::Side::Backup, kBackupLost);
}

void CheckSidesNowAndThen(Engine& engine) {
  const Clock::rep now = Clock::now().time_since_epoch().count();
  if (now - engine.run.LastSidesCheck < kCheckInterval.count()) return;
  (void)SidesStillThere(engine);
}

std::string LostSideText(const Engine& engine, const std::string& from, const std::string& to) {
  if (engine.run.LostSide == kNoSideLost) return {};
  const bool master = engine.run.LostSide == kMasterLost;
  return FailureText(master ? from : to, engine.run.LostSideCode) + " The " +
         (master ? "master" : "backup") +
         " folder is no longer at its path (unplugged or unmounted?): the run stopped, nothing "
         "more was removed or copied";
}

const char* LostSideMessage(const Engine& engine) {
  return engine.run.LostSide == kMasterLost
             ? "実行中にFrom側のフォルダーにアクセスできなくなりました。バックアップを中止しました"
               "。"
             : "実行中にTo側のフォルダーにアクセスできなくなりました。バックアップを中止しました。";
}

}  // namespace tolvan
