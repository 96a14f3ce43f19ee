#pragma once

#include <QString>
#include <optional>
#include <string>

#include "conditions/Session.h"
#include "platform/WindowSystem.h"

class QWidget;

namespace tolvan::ui {

inline constexpr const char* kReportNotOpened = "レポートファイルを開けませんでした。";
inline constexpr const char* kNoReportYet = "レポートファイルはまだありません。";

// The program EditorPath names: an absolute path, or a name without "/" looked up on PATH.
// Nothing when it names no executable file.
[[nodiscard]] std::optional<QString> EditorProgram(const std::string& editorPath);

// "Report File" / "Recent": starts the editor with the report's full path as its one
// argument. An editor that names no program brings up the editor settings dialog instead.
void ShowReport(Session& session, platform::WindowSystem& windows, QWidget* parent,
                const std::string& reportFileName);

}  // namespace tolvan::ui
