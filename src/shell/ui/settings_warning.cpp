#include "shell/ui/settings_warning.h"

#include "shell/config_paths.h"
#include "shell/language_table.h"
#include "shell/ui/dialogs.h"
#include "shell/ui/qt_text.h"

namespace lumar::ui {

bool WarnIfSettingsUnwritable(QWidget* owner, Dialogs& boxes, const UiStrings& strings,
                              const std::string& folder) {
    const std::string problem = SettingsFolderProblem(folder);
    if (problem.empty()) return false;
    boxes.Warn(owner, QStringLiteral("Lumar"),
               ToQ(strings.Get(kStrSettingsNotSaved) + "\n" + folder + "\n(" + problem + ")"));
    return true;
}

}  // namespace lumar::ui
