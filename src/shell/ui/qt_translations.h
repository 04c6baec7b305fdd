#pragma once
// Qt's own texts (the buttons of message boxes, the file dialog's labels) in the language of
// the interface: German with the built-in texts, else the language the language file names.
#include <string>

namespace lumar::ui {

// Installs Qt's translations for the language of `languageFile` (STRINGS/053, "de" without a
// file) in place of any installed before. Returns false when Qt has none for that language;
// Qt then shows its own English texts.
bool LoadQtTranslations(const std::string& languageFile);

}  // namespace lumar::ui
