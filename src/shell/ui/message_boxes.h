#pragma once
// The message boxes the main window and its panels show. They go through this interface so
// that tests can answer them without a modal loop.
#include <QString>
#include <memory>

class QWidget;

namespace lumar::ui {

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Question icon, Yes and No; true for Yes.
    virtual bool AskYesNo(QWidget* owner, const QString& title, const QString& text) = 0;
    // Information icon, OK.
    virtual void Inform(QWidget* owner, const QString& title, const QString& text) = 0;
    // Exclamation icon, OK.
    virtual void Warn(QWidget* owner, const QString& title, const QString& text) = 0;
};

// Real, modal message boxes.
std::shared_ptr<MessageBoxes> ModalMessageBoxes();

}  // namespace lumar::ui
