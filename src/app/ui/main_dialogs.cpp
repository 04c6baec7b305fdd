#include "app/ui/main_dialogs.h"

#include <QApplication>

#include "imagelist/add_images.h"
#include "imagelist/ui/folder_browser.h"
#include "posting/ui/vbcode_editor.h"
#include "shell/settings_keys.h"
#include "shell/ui/qt_text.h"

namespace lumar::ui {

EditTextBlockFn TextBlockEditor(Session& session, const std::shared_ptr<Dialogs>& dialogs) {
    return [&session, dialogs](QWidget* owner, TextBlockEditMode mode, int editIndex,
                               TextBlockPlacement* placement) {
        VbCodeEditorEnv env;
        env.settingsFile = session.SettingsFile();
        env.languageFile = session.LanguageFile();
        env.strings = &session.Strings();
        env.dialogs = dialogs;
        const TextBlockEditOutcome outcome =
            EditTextBlock(owner, session.Blocks(), mode, editIndex, env);
        if (!outcome.storedBlock) return false;
        if (placement) *placement = outcome.placement;
        return true;
    };
}

std::function<void(QWidget* owner)> FolderBrowser(Session& session,
                                                  const ReportScanProblem& report) {
    return [&session, report](QWidget* owner) {
        AddOptions options;
        options.report = report;
        options.pump = [] { QCoreApplication::processEvents(); };
        frmBrowseFolder dialog(session.List(), session.SettingsFile(), options,
                               session.LanguageFile(), owner);
        dialog.exec();
    };
}

}  // namespace lumar::ui
