#pragma once
// The modal dialogs every window of the program opens: message boxes, Yes/No questions and
// the file dialogs. They go through this one service so that tests answer them without a
// modal loop.
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace lumar::ui {

class cFileDialog;

// What a file dialog is asked.
struct FileQuestion {
    QString title;
    QString folder;        // where the dialog starts
    QString filter;        // "text|patterns" pairs, as the program's file dialog takes them
    QString suffix;        // Save: added to a name typed without one (no dot)
    bool several = false;  // Open: several files, answered in the multi-file format
};

// A question a line of text answers, or one of its choices when it has some.
struct TextQuestion {
    QString title;
    QString defaultText;
    QStringList choices;
};

class Dialogs {
  public:
    enum class Button { kYes, kNo };
    virtual ~Dialogs() = default;

    // Question icon, Yes and No; `preset` is the button Enter presses. True for Yes.
    virtual bool Ask(QWidget* owner, const QString& title, const QString& text, Button preset) = 0;
    // Most questions of the program would lose work on a careless Enter, so No is preset.
    bool AskYesNo(QWidget* owner, const QString& title, const QString& text) {
        return Ask(owner, title, text, Button::kNo);
    }
    // Information icon, OK.
    virtual void Inform(QWidget* owner, const QString& title, const QString& text) = 0;
    // Exclamation icon, OK.
    virtual void Warn(QWidget* owner, const QString& title, const QString& text) = 0;

    // An existing file (see ParseMultiFileName when `several`); "" when cancelled.
    virtual QString ChooseOpenFile(QWidget* owner, const FileQuestion& question) = 0;
    // A name to write under; asks before replacing an existing file. "" when cancelled.
    virtual QString ChooseSaveFile(QWidget* owner, const FileQuestion& question) = 0;
    // One small dialog with a field for each question (objectName "answer0", "answer1", ...):
    // the answers in the questions' order, or nullopt when cancelled. A service that cannot
    // ask cancels.
    virtual std::optional<QStringList> AskTexts(QWidget* owner, const QString& title,
                                                const std::vector<TextQuestion>& questions) {
        (void)owner, (void)title, (void)questions;
        return std::nullopt;
    }
};

// Real modal boxes; the file dialogs go through `fileDialog`, the program's one dialog
// object, which must outlive the service.
std::shared_ptr<Dialogs> ModalDialogs(cFileDialog& fileDialog);
// The same for a window opened on its own: the file dialogs through an object of its own.
std::shared_ptr<Dialogs> ModalDialogs();

}  // namespace lumar::ui
