#pragma once
// Puts the texts of one language.ini section onto a window's controls.
#include <QString>
#include <string>
#include <string_view>

class QWidget;

namespace lumar::ui {

// Sets the caption of every control of `window` that the section names (by objectName, see
// LanguageEntry for the naming of array elements, list headers and the title). Buttons,
// check boxes and option buttons get their text, labels their text, frames their title,
// list and table headers the text of the column. Controls the window does not have are
// skipped, so a window may apply a section it only partly shows. Returns the number of
// captions set.
int ApplyCaptions(QWidget* window, std::string_view section, const std::string& languageFile);

// Sets one caption on the control named `target` below `window`; false when there is no such
// control or it takes no caption.
bool ApplyCaption(QWidget* window, std::string_view target, const QString& text);

}  // namespace lumar::ui
