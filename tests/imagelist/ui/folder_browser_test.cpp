// The folder browser on a temporary settings file. What a folder adds is the core's; here the
// box and the tree reach it and are kept for the next time.
#include "imagelist/ui/folder_browser.h"

#include <QCheckBox>
#include <QTreeWidget>
#include <QtTest>

#include "imagelist/ui/dir_tree.h"
#include "shell/settings_keys.h"
#include "support/jpeg_maker.h"
#include "support/temp_dir.h"
#include "support/ui/find_widget.h"

using namespace lumar;
using namespace lumar::ui;

class FolderBrowserTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempDir> dir_;
    std::string ini_, pics_;
    ImageList list_;

    std::unique_ptr<frmBrowseFolder> Open() {
        return std::make_unique<frmBrowseFolder>(list_, ini_, AddOptions{},
                                                 dir_->file("language.ini"));
    }
    static QCheckBox* SubDirs(frmBrowseFolder& dialog) {
        return test::Find<QCheckBox>(&dialog, "ckSubDir");
    }

  private slots:
    void init() {
        dir_ = std::make_unique<test::TempDir>();
        pics_ = dir_->file("pics");
        test::WriteJpeg(pics_ + "/a.jpg", 800, 600);
        test::WriteJpeg(pics_ + "/sub/b.JpE", 64, 48);
        ini_ = dir_->file("Lumar.ini");
        WriteSetting(ini_, keys::LastAddDir, pics_ + "/");
        list_.Clear();
    }

    // The choices are kept for the next time; cancel, or a node that is no folder, writes
    // and adds nothing.
    void okAddsTheChosenFolderAndRemembersTheChoices() {
        const std::string before = dir_->read("Lumar.ini");
        auto dialog = Open();
        SubDirs(*dialog)->setChecked(false);
        test::Click(dialog.get(), "cmOK_1");
        dialog->Tree()->Tree()->setCurrentItem(dialog->Tree()->FindNode(DirTree::kComputerKey));
        test::Click(dialog.get(), "cmOK_0");
        QVERIFY(list_.Empty() && dir_->read("Lumar.ini") == before);
        dialog = Open();
        SubDirs(*dialog)->setChecked(false);
        dialog->Tree()->setPath(QString::fromStdString(pics_ + "/sub"));
        test::Click(dialog.get(), "cmOK_0");
        QVERIFY(dialog->result() == QDialog::Accepted && dialog->AddedRows() == 1);
        QCOMPARE(ReadTextSetting(ini_, keys::LastAddDir), pics_ + "/sub/");
        QVERIFY(!SubDirs(*Open())->isChecked());
    }
};

QTEST_MAIN(FolderBrowserTest)
#include "folder_browser_test.moc"
