#include "conditions/TvfList.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "conditions/RecordReader.h"
#include "conditions/TextEncoding.h"
#include "conditions/Tvf.h"
#include "engine/Paths.h"

namespace tolvan {
namespace {

// The list holds each file under the name its folder stores, so comparing exactly is what
// the file system does: case-blind where it is, case-sensitive elsewhere.
int FindEntry(const std::vector<std::string>& list, const std::string& name) {
  const auto it = std::find(list.begin(), list.end(), name);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

bool IsListable(platform::EntryKind kind) {
  return kind == platform::EntryKind::File || kind == platform::EntryKind::Symlink;
}

bool IsTvfName(std::string_view name) {
  const std::string_view extension = kTvfExtension;
  return name.size() >= extension.size() &&
         ToUpperAscii(name.substr(name.size() - extension.size())) == ToUpperAscii(extension);
}

std::string ListFilePath(const Session& session) {
  return ChildPath(session.engine.shared.AppPath, kTvfListFileName);
}

std::string BaseName(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

// The name under which the program folder stores the conditions file `name` (another
// spelling on a case-blind file system); empty when there is no such file.
std::string StoredConditionsName(Session& session, const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return {};
  const std::string path = ChildPath(session.engine.shared.AppPath, name);
  platform::FileStat st;
  if (session.engine.fs().statEntry(path, st) != 0 || !IsListable(st.kind)) return {};
  std::string stored;
  return session.engine.fs().storedName(path, stored) == 0 ? stored : name;
}

// The entry that names the same file as `name`, by spelling or by the folder's own name.
int FindSameFile(Session& session, const std::vector<std::string>& list, const std::string& name) {
  const std::string stored = StoredConditionsName(session, name);
  const auto it = std::find_if(list.begin(), list.end(), [&](const std::string& entry) {
    return entry == name || (!stored.empty() && StoredConditionsName(session, entry) == stored);
  });
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

// The *.tvf files of AppPath in the order the system lists them.
std::vector<std::string> ScanTvfFiles(Session& session) {
  std::vector<std::string> names;
  int error = 0;
  auto listing = session.engine.fs().openListing(session.engine.shared.AppPath, error);
  if (listing == nullptr) return names;
  std::string_view name;
  platform::FileStat st;
  for (;;) {
    session.engine.ui().letEventsRun();
    if (listing->next(name, st) != 0) break;
    if (IsTvfName(name) && IsListable(st.kind)) names.emplace_back(name);
  }
  return names;
}

std::string ListFileText(const std::vector<std::string>& names) {
  std::string text;
  for (const auto& name : names) text += name + "\r\n";
  return text + "\r\n";
}

// The command-line (or chosen) file goes first, whatever its name; the others keep their
// order.
void PutFirst(std::vector<std::string>& list, const std::string& name) {
  if (name.empty()) return;
  if (const int index = FindEntry(list, name); index >= 0) list.erase(list.begin() + index);
  list.insert(list.begin(), name);
}

void ReadListFile(Session& session) {
  platform::FileSystem& fs = session.engine.fs();
  std::string bytes;
  int error = fs.readFile(ListFilePath(session), bytes);
  if (error != 0) {
    // Rewriting cures a missing list file; any other failure is not retried.
    (void)MakeTvfSettings(session);
    error = fs.readFile(ListFilePath(session), bytes);
  }
  if (error != 0) return;
  std::vector<std::string>& list = session.window.tvfList;
  RecordReader records(DecodeTextFile(bytes));
  while (!records.atEnd()) {
    session.engine.ui().letEventsRun();
    const std::string name = records.next();
    if (name.empty()) break;
    const std::string stored = StoredConditionsName(session, name);
    if (!stored.empty() && FindEntry(list, stored) < 0) list.push_back(stored);
  }
}

bool ValidIndex(const WindowModel& window, int index) {
  return index >= 0 && index < static_cast<int>(window.tvfList.size());
}

}  // namespace

bool ConditionsFileExists(Session& session, const std::string& name) {
  return !StoredConditionsName(session, name).empty();
}

void GetTvfCombo(Session& session, std::string& tvfFileOp) {
  WindowModel& window = session.window;
  window.tvfList.clear();
  window.selectedEntry = -1;
  window.tvfComboText.clear();
  ReadListFile(session);
  for (const auto& name : ScanTvfFiles(session)) {
    if (FindEntry(window.tvfList, name) < 0) window.tvfList.push_back(name);
  }
  PutFirst(window.tvfList, StoredConditionsName(session, tvfFileOp));
  if (!window.tvfList.empty()) {
    SelectTvfEntry(session, 0);
    if (session.endRequested) return;
    if (!window.tvfList.front().empty()) tvfFileOp = window.tvfList.front();
  }
  session.engine.shared.TvfFileName = tvfFileOp;
  tvfRead(session);
}

int MakeTvfSettings(Session& session) {
  return session.engine.fs().writeFile(ListFilePath(session), ListFileText(ScanTvfFiles(session)));
}

int SaveTvfCombo(Session& session) {
  WindowModel& window = session.window;
  if (ValidIndex(window, window.selectedEntry)) {
    const std::string name = window.tvfList[static_cast<std::size_t>(window.selectedEntry)];
    window.tvfList.erase(window.tvfList.begin() + window.selectedEntry);
    window.tvfList.insert(window.tvfList.begin(), name);
  }
  if (!window.tvfList.empty()) SelectTvfEntry(session, 0);
  if (session.endRequested) return ECANCELED;
  return session.engine.fs().writeFile(ListFilePath(session), ListFileText(window.tvfList));
}

void SelectTvfEntry(Session& session, int index) {
  WindowModel& window = session.window;
  if (!ValidIndex(window, index)) {
    window.selectedEntry = -1;
    return;
  }
  window.selectedEntry = index;
  window.tvfComboText = window.tvfList[static_cast<std::size_t>(index)];
  Combo1_Click(session);
}

void Combo1_Click(Session& session) {
  const WindowModel& window = session.window;
  if (ValidIndex(window, window.selectedEntry)) {
    const std::string& text = window.tvfList[static_cast<std::size_t>(window.selectedEntry)];
    if (!text.empty()) session.engine.shared.TvfFileName = text;
  }
  tvfRead(session);
  session.window.SkipMinimize = true;
}

void Combo1_Change(Session& session) {
  WindowModel& window = session.window;
  window.tvfComboText = window.tvfList.empty() ? std::string() : window.tvfList.front();
}

void Combo1_LostFocus(Session& session) {
  WindowModel& window = session.window;
  if (window.selectedEntry < 0) {
    SelectTvfEntry(session, 0);
    if (session.endRequested) return;
  }
  if (window.selectedEntry <= 0) return;
  (void)SaveTvfCombo(session);
  if (session.endRequested) return;
  if (!window.tvfList.front().empty()) session.engine.shared.TvfFileName = window.tvfList.front();
  tvfRead(session);
  window.SkipMinimize = true;
}

void FileDialogCancelled(Session& session) {
  session.engine.shared.TvfFileName.clear();
}

void OpenChosenFile(Session& session, const std::string& chosenPath) {
  const std::string chosen = BaseName(chosenPath);
  SharedValues& shared = session.engine.shared;
  shared.TvfFileName = chosen;
  // Stores the list with the file current until now at the top; that re-selection must not
  // replace the chosen name.
  (void)SaveTvfCombo(session);
  if (session.endRequested) return;
  shared.TvfFileName = chosen;
  GetTvfCombo(session, shared.TvfFileName);
}

bool SaveNeedsName(const Session& session) {
  return session.engine.shared.TvfFileName.empty();
}

int SaveCurrent(Session& session) {
  if (SaveNeedsName(session)) return EINVAL;
  return tvfWrite(session);
}

int SaveAs(Session& session, const std::string& chosenPath) {
  const std::string name = BaseName(chosenPath);
  if (name.empty()) {
    FileDialogCancelled(session);
    return EINVAL;
  }
  session.engine.shared.TvfFileName = name;
  const int error = tvfWrite(session);
  std::vector<std::string>& list = session.window.tvfList;
  if (const int index = FindSameFile(session, list, name); index >= 0) {
    list.erase(list.begin() + index);
  }
  list.insert(list.begin(), name);
  SelectTvfEntry(session, 0);
  if (session.endRequested) return error;
  (void)SaveTvfCombo(session);
  return error;
}

}  // namespace tolvan
