#pragma once

#include <cstdint>

#include "conditions/Session.h"

namespace tolvan {

// The period of the schedule check: 58 s, so every clock minute holds at least one check.
inline constexpr int CheckPeriod = 58000;

// Shows the whole Job conditions in the window's controls and arms (`timer` 1) or disarms
// (`timer` 0) the schedule; any other value leaves the schedule as it is.
void FormSet(Session& session, std::int16_t timer);
// Makes `session.formSet` call FormSet.
void InstallFormSet(Session& session);

// Handlers of the timer frame.
void Check2_Click(Session& session);
void Check4_Click(Session& session);
void Option7_Click(Session& session, int index);

// Code or the user setting a control; the handler runs only when the value changes.
void SetTimerCheck(Session& session, int value);
void SetOnceCheck(Session& session, int value);
void SelectDateMode(Session& session, int index);

}  // namespace tolvan
