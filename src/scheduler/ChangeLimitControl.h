#pragma once

#include <string>

#include "conditions/Session.h"

namespace tolvan {

// The window's change-limit controls: a check box that turns the limit on at the percent of
// the spin box beside it.

// What the controls show: whether the limit is on, and its percent (the last one chosen while
// it is off).
struct ChangeLimitShown {
  bool on = false;
  int percent = 0;
};
[[nodiscard]] ChangeLimitShown ShowChangeLimit(const Session& session);

// The user set the controls: the job's limit follows.
void SetChangeLimit(Session& session, bool on, int percent);

// A job just read whose ChangeLimit could not be used: the window tells it once, in a box.
inline constexpr const char* kUnreadableChangeLimit =
    " : ChangeLimit の値が 0 から 100 までの整数ではないため、変更の上限をオフにしました。";
void TellUnreadableChangeLimit(Session& session);

}  // namespace tolvan
