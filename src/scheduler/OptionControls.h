#pragma once

#include "conditions/Session.h"

namespace tolvan {

// The job's option controls: each writes its value into the Job conditions when it is
// clicked. The Select / Set functions are code or the user changing a control; the handler
// runs only when the value changes.

// "Mirroring" (0) or "Backup" (1): NomalMode -1 or 0.
void Option1_Click(Session& session, int index);
// "Up Date" (0) or "All Files" (1): UpDate := index.
void Option2_Click(Session& session, int index);
// "Write" (0) or "None" (1): Report -1 or 0.
void Option3_Click(Session& session, int index);
// "Include" (0) or "Not Include" (any other): ChildDir -1 or 0.
void Option5_Click(Session& session, int index);
// The check boxes write their value, 1 for checked.
void Check1_Click(Session& session);  // "Match case"
void Check3_Click(Session& session);  // "File Size"
void Check5_Click(Session& session);  // "Use Trash Box"

void SelectMode(Session& session, int index);
void SelectUpDate(Session& session, int index);
void SelectReport(Session& session, int index);
void SelectChildDir(Session& session, int index);
void SetMatchCaseCheck(Session& session, int value);
void SetSizeCheck(Session& session, int value);
void SetTrashBoxCheck(Session& session, int value);

}  // namespace tolvan
