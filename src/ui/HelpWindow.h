#pragma once

#include <QString>

class QWidget;

namespace tolvan::ui {

// The help page in the windows' language: the page's address is translated like any text.
[[nodiscard]] QString HelpPage();

// Help > Topics: opens the help window beside the main window (or brings it to the front when
// it is already open); it does not block the main window.
void ShowHelpTopics(QWidget* parent);

}  // namespace tolvan::ui
