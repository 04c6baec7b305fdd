#pragma once
// The modal dialogs the image list opens for the main window (text-block editor, folder
// choice), as the functions the list panel takes.
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "imagelist/add_images.h"
#include "session/session.h"

class QWidget;

namespace lumar::ui {

class Dialogs;

using EditTextBlockFn = std::function<bool(QWidget* owner, TextBlockEditMode mode, int editIndex,
                                           TextBlockPlacement* placement)>;

// The text-block editor over the session's blocks; stores the text itself on "Übernehmen".
EditTextBlockFn TextBlockEditor(Session& session, const std::shared_ptr<Dialogs>& dialogs);

// The folder browser of command 1: appends the JPEG files of the chosen folder itself and
// passes what its scan left out to `report`.
std::function<void(QWidget* owner)> FolderBrowser(Session& session,
                                                  const ReportScanProblem& report = {});

}  // namespace lumar::ui
