#include "shell/ui/dialogs.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>

#include "shell/ui/file_dialog.h"
#include "shell/ui/qt_text.h"

namespace lumar::ui {
namespace {

class ModalBoxes final : public Dialogs {
  public:
    ModalBoxes(cFileDialog& fileDialog, std::unique_ptr<cFileDialog> owned)
        : owned_(std::move(owned)), fileDialog_(fileDialog) {}

    bool Ask(QWidget* owner, const QString& title, const QString& text, Button preset) override {
        const auto presetButton = preset == Button::kYes ? QMessageBox::Yes : QMessageBox::No;
        return QMessageBox::question(owner, title, text, QMessageBox::Yes | QMessageBox::No,
                                     presetButton) == QMessageBox::Yes;
    }
    void Inform(QWidget* owner, const QString& title, const QString& text) override {
        QMessageBox::information(owner, title, text);
    }
    void Warn(QWidget* owner, const QString& title, const QString& text) override {
        QMessageBox::warning(owner, title, text);
    }
    QString ChooseOpenFile(QWidget* owner, const FileQuestion& question) override {
        const int flags = kFileMustExist | (question.several ? kAllowMultiSelect : 0);
        return Show(owner, question, flags, false);
    }
    QString ChooseSaveFile(QWidget* owner, const FileQuestion& question) override {
        return Show(owner, question, kOverwritePrompt, true);
    }

    std::optional<QStringList> AskTexts(QWidget* owner, const QString& title,
                                        const std::vector<TextQuestion>& questions) override {
        QDialog dialog(owner);
        dialog.setWindowTitle(title);
        auto* form = new QFormLayout(&dialog);
        std::vector<QWidget*> fields;
        for (const TextQuestion& question : questions) {
            QWidget* field = nullptr;
            if (question.choices.isEmpty()) {
                field = new QLineEdit(question.defaultText, &dialog);
            } else {
                auto* choice = new QComboBox(&dialog);
                choice->addItems(question.choices);
                field = choice;
            }
            field->setObjectName(QString("answer%1").arg(fields.size()));
            form->addRow(question.title, field);
            fields.push_back(field);
        }
        auto* buttons =
            new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        form->addRow(buttons);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        QStringList answers;
        for (QWidget* field : fields) {
            if (auto* edit = qobject_cast<QLineEdit*>(field))
                answers << edit->text();
            else
                answers << static_cast<QComboBox*>(field)->currentText();
        }
        return answers;
    }

  private:
    // Every caller sets what it needs before each use; the object keeps the rest.
    QString Show(QWidget* owner, const FileQuestion& question, int flags, bool save) {
        cFileDialog& dialog = fileDialog_;
        dialog.SetFilename("");
        dialog.SetCancelError(false);
        dialog.setFlags(flags);
        dialog.setHwnd(owner);
        dialog.SetFilter(FromQ(question.filter));
        dialog.SetDialogTitle(FromQ(question.title));
        dialog.SetInitDir(FromQ(question.folder));
        dialog.SetDefaultExt(FromQ(question.suffix));
        if (save)
            dialog.ShowSave();
        else
            dialog.ShowOpen();
        // The shared object outlives the owner; do not leave it pointing at it.
        dialog.setHwnd(nullptr);
        return ToQ(dialog.Filename());
    }

    std::unique_ptr<cFileDialog> owned_;
    cFileDialog& fileDialog_;
};

}  // namespace

std::shared_ptr<Dialogs> ModalDialogs(cFileDialog& fileDialog) {
    return std::make_shared<ModalBoxes>(fileDialog, nullptr);
}

std::shared_ptr<Dialogs> ModalDialogs() {
    auto owned = std::make_unique<cFileDialog>();
    cFileDialog& dialog = *owned;
    return std::make_shared<ModalBoxes>(dialog, std::move(owned));
}

}  // namespace lumar::ui
