#include "scheduler/OptionControls.h"

#include <cstdint>

namespace tolvan {
namespace {

std::int16_t OptionFlag(bool on) {
  return on ? -1 : 0;
}

// Runs `handler` when the control's value changes.
template <typename Handler>
void Change(Session& session, int& control, int value, Handler handler) {
  if (control == value) return;
  control = value;
  handler(session);
}

}  // namespace

void Option1_Click(Session& session, int index) {
  session.engine.job.NomalMode = OptionFlag(index == 0);
}

void Option2_Click(Session& session, int index) {
  session.engine.job.UpDate = static_cast<std::int16_t>(index);
}

void Option3_Click(Session& session, int index) {
  session.engine.job.Report = OptionFlag(index == 0);
}

void Option5_Click(Session& session, int index) {
  session.engine.job.ChildDir = OptionFlag(index == 0);
}

void Check1_Click(Session& session) {
  session.engine.job.MatchCase = static_cast<std::int16_t>(session.window.matchCaseCheck);
}

void Check3_Click(Session& session) {
  session.engine.job.Size = static_cast<std::int16_t>(session.window.sizeCheck);
}

void Check5_Click(Session& session) {
  session.engine.job.TrashBox = static_cast<std::int16_t>(session.window.trashBoxCheck);
}

void SelectMode(Session& session, int index) {
  Change(session, session.window.modeOption, index,
         [index](Session& s) { Option1_Click(s, index); });
}

void SelectUpDate(Session& session, int index) {
  Change(session, session.window.upDateOption, index,
         [index](Session& s) { Option2_Click(s, index); });
}

void SelectReport(Session& session, int index) {
  Change(session, session.window.reportOption, index,
         [index](Session& s) { Option3_Click(s, index); });
}

void SelectChildDir(Session& session, int index) {
  Change(session, session.window.childDirOption, index,
         [index](Session& s) { Option5_Click(s, index); });
}

void SetMatchCaseCheck(Session& session, int value) {
  Change(session, session.window.matchCaseCheck, value, Check1_Click);
}

void SetSizeCheck(Session& session, int value) {
  Change(session, session.window.sizeCheck, value, Check3_Click);
}

void SetTrashBoxCheck(Session& session, int value) {
  Change(session, session.window.trashBoxCheck, value, Check5_Click);
}

}  // namespace tolvan
