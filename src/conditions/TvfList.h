#pragma once

#include <string>

#include "conditions/Session.h"

namespace tolvan {

inline constexpr const char* kTvfListFileName = "TvfSet.txt";
// The file dialogs of Open and Save As.
inline constexpr const char* kTvfDialogFilter = "tvf File(*.tvf)|*.tvf|All Files(*.*)|*.*";

// True when AppPath holds a conditions file (a file or a link) of that name.
[[nodiscard]] bool ConditionsFileExists(Session& session, const std::string& name);

// Rebuilds the list from TvfSet.txt and a scan of AppPath (names ending in ".tvf" in any
// letter case), puts `tvfFileOp` first when that file exists, whatever its extension, makes
// the first entry current and reads it. Callers pass session.engine.shared.TvfFileName.
void GetTvfCombo(Session& session, std::string& tvfFileOp);

// Writes TvfSet.txt afresh from the *.tvf files of AppPath. 0 or an errno.
[[nodiscard]] int MakeTvfSettings(Session& session);

// Moves the selected entry to the top, selects (and so reads) it, and writes TvfSet.txt.
// 0 or the errno of the write.
[[nodiscard]] int SaveTvfCombo(Session& session);

// Selects entry `index` (-1: none) as the program or the user does; runs Combo1_Click.
void SelectTvfEntry(Session& session, int index);

// The list's events.
void Combo1_Click(Session& session);
void Combo1_Change(Session& session);
void Combo1_LostFocus(Session& session);

// The menu commands once their dialog has answered. `chosenPath` may name a file in another
// folder: only its name is used, the file is always the one in AppPath.
void FileDialogCancelled(Session& session);  // Open or Save As cancelled
void OpenChosenFile(Session& session, const std::string& chosenPath);
// Save writes the current file; without a current name the GUI asks for one and calls SaveAs.
[[nodiscard]] bool SaveNeedsName(const Session& session);
[[nodiscard]] int SaveCurrent(Session& session);  // 0 or an errno (EINVAL without a name)
// Writes the job under the chosen name, puts it at the top of the list and writes the list.
// Keeps going after a failed write; returns the errno of the conditions-file write or 0.
[[nodiscard]] int SaveAs(Session& session, const std::string& chosenPath);

}  // namespace tolvan
