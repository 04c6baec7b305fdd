#include "shell/ui/message_boxes.h"

#include <QMessageBox>

namespace lumar::ui {
namespace {

class ModalBoxes final : public MessageBoxes {
public:
    bool AskYesNo(QWidget* owner, const QString& title, const QString& text) override {
        return QMessageBox::question(owner, title, text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    }
    void Inform(QWidget* owner, const QString& title, const QString& text) override {
        QMessageBox::information(owner, title, text);
    }
    void Warn(QWidget* owner, const QString& title, const QString& text) override {
        QMessageBox::warning(owner, title, text);
    }
};

}  // namespace

std::shared_ptr<MessageBoxes> ModalMessageBoxes() { return std::make_shared<ModalBoxes>(); }

}  // namespace lumar::ui
