#pragma once

class QWidget;

namespace tolvan::ui {

// The help file compiled into the program.
inline constexpr const char* kHelpPage = "qrc:/help/Tolvan32.html";

// Help > Topics: opens the help window beside the main window (or brings it to the front when
// it is already open); it does not block the main window.
void ShowHelpTopics(QWidget* parent);

}  // namespace tolvan::ui
