#include "imagelist/ui/folder_browser.h"

#include <QCheckBox>
#include <QDir>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "imagelist/ui/dir_tree.h"
#include "shell/settings_keys.h"
#include "shell/ui/captions.h"
#include "shell/ui/qt_text.h"

namespace lumar::ui {

frmBrowseFolder::frmBrowseFolder(ImageList& list, std::string settingsFile, AddOptions options,
                                 const std::string& languageFile, QWidget* parent)
    : QDialog(parent),
      list_(list),
      settingsFile_(std::move(settingsFile)),
      options_(std::move(options)),
      tree_(new DirTree(this)),
      subDirs_(new QCheckBox(QStringLiteral("inklusive Unterverzeichnisse"), this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_(new QPushButton(QStringLiteral("Abbrechen"), this)) {
    setObjectName(QStringLiteral("frmBrowseFolder"));
    setWindowTitle(QStringLiteral("Bildverzeichnis suchen..."));
    setModal(true);
    tree_->setObjectName(QStringLiteral("DirTree1"));
    tree_->SetLanguageFile(languageFile);
    subDirs_->setObjectName(QStringLiteral("ckSubDir"));
    ok_->setObjectName(QStringLiteral("cmOK_0"));
    cancel_->setObjectName(QStringLiteral("cmOK_1"));
    ok_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(subDirs_);
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tree_, 1);
    layout->addLayout(buttons);
    resize(360, 420);

    tree_->setPath(ToQ(ReadTextSetting(settingsFile_, keys::LastAddDir)));
    subDirs_->setChecked(ReadIntSetting(settingsFile_, keys::SubDir) != 0);
    ApplyCaptions(this, "Frame4", languageFile);

    connect(ok_, &QPushButton::clicked, this, &frmBrowseFolder::OnOk);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void frmBrowseFolder::OnOk() {
    const QString path = tree_->Path();
    // The desktop and computer nodes, or a folder that vanished meanwhile: nothing to store
    // that a later start could open.
    if (path.isEmpty() || !QDir(path).exists()) {
        reject();
        return;
    }
    const bool recursive = subDirs_->isChecked();
    WriteSetting(settingsFile_, keys::LastAddDir, FromQ(path));
    WriteSetting(settingsFile_, keys::SubDir, recursive ? "1" : "0");
    // The scan lets the window handle events; a second OK meanwhile must not scan again.
    ok_->setEnabled(false);
    cancel_->setEnabled(false);
    added_ = AddImageFolder(list_, FromQ(path), recursive, options_);
    accept();
}

}  // namespace lumar::ui
