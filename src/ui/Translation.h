#pragma once

#include <QCoreApplication>
#include <QString>
#include <string>

namespace tolvan::ui {

// The windows' texts are written in Japanese, which stays the default (the C locale and every
// Japanese locale); where the desktop's language is English they are shown in English.

// Whether the language the locale variables name is English: the first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty decides, as for any program's messages.
[[nodiscard]] bool SpeaksEnglish(const char* lcAll, const char* lcMessages, const char* lang);

// Loads the English texts into the application when the environment speaks English; returns
// whether it did. Idempotent.
bool InstallTranslation();
// Qt's own texts (the stock dialogs' "Cancel", "Look in") in Japanese where the windows speak
// Japanese, from Qt's installed translations; returns whether it loaded them. Idempotent.
bool InstallQtTranslation();

// Takes both out again (the window tests switch languages in one process).
void RemoveTranslation();

// A window text written in the sources with QT_TRANSLATE_NOOP(context, text).
[[nodiscard]] inline QString Translated(const char* context, const char* text) {
  return QCoreApplication::translate(context, text);
}

// A message from the engine or the conditions files, as the windows show it: each known
// Japanese phrase in it is replaced by its translation, so that the paths, numbers and names
// put in between stay as they are. Unchanged when no translation is loaded.
[[nodiscard]] QString TranslatedMessage(const std::string& text);

}  // namespace tolvan::ui
