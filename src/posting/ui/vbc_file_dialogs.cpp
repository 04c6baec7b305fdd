#include "posting/ui/vbc_file_dialogs.h"

#include <QFileDialog>

namespace lumar::ui {
namespace {

const QString kFilter = QStringLiteral("VBCode (*.vbc)");

class PlatformDialogs final : public VbcFileDialogs {
public:
    QString ChooseSaveFile(QWidget* owner, const QString& title, const QString& folder) override {
        QFileDialog dialog(owner, title, folder, kFilter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("vbc"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
        return dialog.selectedFiles().first();
    }
    QString ChooseOpenFile(QWidget* owner, const QString& title, const QString& folder) override {
        return QFileDialog::getOpenFileName(owner, title, folder, kFilter);
    }
};

}  // namespace

std::shared_ptr<VbcFileDialogs> PlatformVbcFileDialogs() { return std::make_shared<PlatformDialogs>(); }

}  // namespace lumar::ui
