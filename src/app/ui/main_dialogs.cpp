#include "app/ui/main_dialogs.h"

#include <QApplication>

#include "imagelist/add_images.h"
#include "imagelist/ui/folder_browser.h"
#include "posting/ui/vbcode_editor.h"
#include "shell/config_paths.h"
#include "shell/settings_keys.h"
#include "shell/ui/qt_text.h"

namespace lumar::ui {

EditTextBlockFn TextBlockEditor(TextBlocks& blocks, std::string settingsFile,
                                const UiStrings* strings, std::shared_ptr<MessageBoxes> messages) {
    return [&blocks, settingsFile, strings, messages](QWidget* owner, TextBlockEditMode mode,
                                                      int editIndex, TextBlockPlacement* placement) {
        VbCodeEditorEnv env;
        env.settingsFile = settingsFile;
        env.strings = strings;
        env.messages = messages;
        const TextBlockEditOutcome outcome = EditTextBlock(owner, blocks, mode, editIndex, env);
        if (!outcome.storedBlock) return false;
        if (placement) *placement = outcome.placement;
        return true;
    };
}

std::function<void(QWidget* owner)> FolderBrowser(ImageList& list, std::string settingsFile,
                                                  char decimalSeparator) {
    return [&list, settingsFile, decimalSeparator](QWidget* owner) {
        AddOptions options;
        options.decimalSeparator = decimalSeparator;
        options.pump = [] { QCoreApplication::processEvents(); };
        frmBrowseFolder dialog(list, settingsFile, options, LanguageFile(), owner);
        dialog.exec();
    };
}

}  // namespace lumar::ui
