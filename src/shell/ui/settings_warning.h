#pragma once
// The start-up warning for a settings folder that cannot be written: without it every change
// the user makes would be dropped without a word.
#include <string>

class QWidget;

namespace lumar {
class UiStrings;
}

namespace lumar::ui {

class Dialogs;

// Shows one warning naming `folder` and the reason when settings cannot be kept there.
// Returns true when it warned.
bool WarnIfSettingsUnwritable(QWidget* owner, Dialogs& boxes, const UiStrings& strings,
                              const std::string& folder);

}  // namespace lumar::ui
