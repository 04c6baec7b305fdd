#pragma once
// The modal dialogs the image list opens for the main window (text-block editor, folder
// choice), as the functions the list panel takes.
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "imagelist/image_list.h"
#include "imagelist/text_blocks.h"
#include "posting/text_block_editing.h"
#include "shell/language_table.h"

class QWidget;

namespace lumar::ui {

class MessageBoxes;

using EditTextBlockFn =
    std::function<bool(QWidget* owner, TextBlockEditMode mode, int editIndex,
                       TextBlockPlacement* placement)>;

// The text-block editor over the program's blocks; stores the text itself on "Übernehmen".
EditTextBlockFn TextBlockEditor(TextBlocks& blocks, std::string settingsFile,
                                const UiStrings* strings, std::shared_ptr<MessageBoxes> messages);

// The folder browser of command 1: appends the JPEG files of the chosen folder itself.
std::function<void(QWidget* owner)> FolderBrowser(ImageList& list, std::string settingsFile,
                                                  char decimalSeparator);

}  // namespace lumar::ui
