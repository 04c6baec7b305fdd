#include "shell/ui/main_dialogs.h"

#include <QApplication>
#include <QFileDialog>

#include "imagelist/add_images.h"
#include "posting/ui/vbcode_editor.h"
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
        const QString folder = QFileDialog::getExistingDirectory(
            owner, QStringLiteral("Bildverzeichnis suchen..."), ToQ(ReadLastAddDir(settingsFile)));
        if (folder.isEmpty()) return;
        AddOptions options;
        options.decimalSeparator = decimalSeparator;
        options.pump = [] { QCoreApplication::processEvents(); };
        const bool recursive = ReadIntSetting(settingsFile, keys::SubDir) != 0;
        AddImageFolder(list, FromQ(folder), recursive, options);
        StoreLastAddDir(settingsFile, FromQ(folder));
    };
}

}  // namespace lumar::ui
