#include "shell/ui/main_dialogs.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDialog>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "imagelist/add_images.h"
#include "shell/settings_keys.h"
#include "shell/ui/qt_text.h"

namespace lumar::ui {

EditTextBlockFn TextBlockEditor(TextBlocks& blocks, std::string settingsFile) {
    return [&blocks, settingsFile](QWidget* owner, TextBlockEditMode mode, int editIndex,
                                   TextBlockPlacement* placement) {
        EditorChoices choices = ReadEditorChoices(settingsFile);
        QDialog dialog(owner);
        dialog.setObjectName("frmVBCode");
        dialog.setWindowTitle("VBCode");
        auto* layout = new QVBoxLayout(&dialog);
        auto* txInfo = new QPlainTextEdit(&dialog);
        txInfo->setObjectName("txInfo");
        if (mode == TextBlockEditMode::Change)
            txInfo->setPlainText(ToQ(blocks.Get(editIndex).value_or(std::string())));
        auto* before = new QRadioButton("davor", &dialog);
        before->setObjectName("opAusrichung_0");
        auto* after = new QRadioButton("danach", &dialog);
        after->setObjectName("opAusrichung_1");
        (choices.placement == TextBlockPlacement::After ? after : before)->setChecked(true);
        auto* take = new QPushButton(QString::fromUtf8("Übernehmen"), &dialog);
        take->setObjectName("cmOK_2");
        auto* row = new QHBoxLayout;
        row->addWidget(before);
        row->addWidget(after);
        row->addStretch(1);
        row->addWidget(take);
        layout->addWidget(txInfo);
        layout->addLayout(row);
        QObject::connect(take, &QPushButton::clicked, &dialog, &QDialog::accept);
        dialog.resize(420, 260);
        if (dialog.exec() != QDialog::Accepted) return false;
        choices.placement = after->isChecked() ? TextBlockPlacement::After : TextBlockPlacement::Before;
        if (placement) *placement = choices.placement;
        return TakeOverTextBlock(settingsFile, blocks, mode, editIndex, FromQ(txInfo->toPlainText()),
                                 choices)
            .has_value();
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
