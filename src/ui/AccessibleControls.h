#pragma once

namespace tolvan::ui {

// What screen readers are told about two kinds of control, installed once for the process:
// - a combo box given an accessible name is called by that name, its entry being its value
//   (Qt on Linux otherwise names a combo box after its current entry, so that both drive lists
//   read as "/");
// - a label that shows a value (ShowValue) offers the value as text as well as its name.
void InstallAccessibleControls();

}  // namespace tolvan::ui
