#pragma once
// The save and open dialogs for .vbc files, behind an interface so that tests choose a file
// without a modal dialog.
#include <QString>
#include <memory>

class QWidget;

namespace lumar::ui {

class VbcFileDialogs {
public:
    virtual ~VbcFileDialogs() = default;
    // Asks for a file to write, starting in `folder`; asks before overwriting an existing file
    // and adds ".vbc" to a name typed without extension. "" when cancelled.
    virtual QString ChooseSaveFile(QWidget* owner, const QString& title, const QString& folder) = 0;
    // Asks for an existing .vbc file. "" when cancelled.
    virtual QString ChooseOpenFile(QWidget* owner, const QString& title, const QString& folder) = 0;
};

// The platform's dialogs.
std::shared_ptr<VbcFileDialogs> PlatformVbcFileDialogs();

}  // namespace lumar::ui
