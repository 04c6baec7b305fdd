// The folder tree over a temporary folder that stands in for a drive, and the folder browser
// around it. What a folder adds is the core's; here the box and the tree reach it.
#include "imagelist/ui/dir_tree.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>

#include "imagelist/ui/folder_browser.h"
#include "shell/settings_keys.h"
#include "support/jpeg_maker.h"
#include "support/temp_dir.h"
#include "support/ui/find_widget.h"

using namespace lumar;
using namespace lumar::ui;

class DirTreeTest : public QObject {
    Q_OBJECT
    // drive/ with_sub/{inner/deep, other}, leaf/, .hidden/sub; docs/x; empty/
    std::unique_ptr<test::TempDir> dir_;
    QString drive_;
    std::unique_ptr<DirTree> tree_;

    QString Folder(const char* name) const {
        return QString::fromStdString(dir_->file(name)) + "/";
    }
    static QStringList ChildKeys(const QTreeWidgetItem* node) {
        QStringList keys;
        for (int i = 0; i < node->childCount(); ++i) keys << DirTree::KeyOf(node->child(i));
        return keys;
    }

  private slots:
    void init() {
        dir_ = std::make_unique<test::TempDir>();
        for (const char* folder : {"drive/with_sub/inner/deep", "drive/with_sub/other",
                                   "drive/leaf", "drive/.hidden/sub", "docs/x", "empty"})
            std::filesystem::create_directories(dir_->file(folder));
        dir_->write("drive/leaf/file.jpg", "x");
        drive_ = Folder("drive");
        tree_ = std::make_unique<DirTree>();
        tree_->SetDrives({{drive_.toStdString(), "/dev/test", "ext4", DriveKind::kFixed, "Test"}});
        tree_->SetSpecialFolders({{"docs", Folder("docs").chopped(1), "folder-documents", false},
                                  {"empty", Folder("empty").chopped(1), "user-desktop", true}});
    }

    // Drives and special folders get an expand button before anything is known, also the
    // special folder without any subfolder; opening that one removes the button.
    void FreshTreeShowsDrivesAndSpecialFoldersClosed() {
        tree_->SetPath(drive_ + "leaf");
        QTreeWidgetItem* computer = tree_->FindNode(DirTree::kComputerKey);
        QCOMPARE(ChildKeys(computer), (QStringList{drive_, Folder("docs")}));
        QTreeWidgetItem* empty = tree_->FindNode(Folder("empty"));
        for (QTreeWidgetItem* node : {computer->child(0), computer->child(1), empty})
            QVERIFY(DirTree::IsUnloaded(node) && node->childCount() == 1);
        tree_->Tree()->expandItem(empty);
        QVERIFY(empty->childCount() == 0 && !DirTree::IsUnloaded(empty));
    }

    // Hidden folders are left out, names come sorted; opening again says nothing; a folder
    // that vanished before it was opened shows no children and no message.
    void OnlyFoldersWithSubfoldersCanBeOpened() {
        tree_->SetPath(drive_);
        QSignalSpy changes(tree_.get(), &DirTree::ChangePath);
        QTreeWidgetItem* driveNode = tree_->FindNode(drive_);
        tree_->Tree()->expandItem(driveNode);
        QCOMPARE(ChildKeys(driveNode), (QStringList{drive_ + "leaf/", drive_ + "with_sub/"}));
        QTreeWidgetItem* withSub = driveNode->child(1);
        QVERIFY(driveNode->child(0)->childCount() == 0 && DirTree::IsUnloaded(withSub));
        tree_->Tree()->expandItem(withSub);
        tree_->Tree()->collapseItem(withSub);
        tree_->Tree()->expandItem(withSub);
        QVERIFY(withSub->childCount() == 2 && changes.count() == 2);
        std::filesystem::remove_all(dir_->file("drive/with_sub/inner"));
        tree_->Tree()->expandItem(withSub->child(0));
        QCOMPARE(withSub->child(0)->childCount(), 0);
    }

    // Writing the path opens the way to it; names are compared exactly; the computer node is
    // no folder.
    void WritingThePathOpensTheWay() {
        tree_->setPath(drive_ + "with_sub/inner");
        QVERIFY(tree_->FindNode(drive_ + "with_sub/inner/deep/"));  // the target was opened too
        QVERIFY(tree_->Tree()->currentItem()->isSelected());
        tree_->setPath(drive_ + "WITH_SUB/inner");
        QVERIFY(tree_->Tree()->selectedItems().isEmpty());
        tree_->Tree()->setCurrentItem(tree_->FindNode(DirTree::kComputerKey));
        QCOMPARE(tree_->Path(), QString());
    }

    // The browser's choices are kept for the next time; a node that is no folder writes and
    // adds nothing.
    void BrowserAddsTheChosenFolderAndRemembersTheChoices() {
        const std::string pics = dir_->file("pics"), ini = dir_->file("Lumar.ini");
        test::WriteJpeg(pics + "/a.jpg", 800, 600);
        test::WriteJpeg(pics + "/sub/b.JpE", 64, 48);
        WriteSetting(ini, keys::LastAddDir, pics + "/");
        ImageList list;
        const auto open = [&] {
            return std::make_unique<frmBrowseFolder>(list, ini, AddOptions{},
                                                     dir_->file("language.ini"));
        };
        const auto subDirs = [](frmBrowseFolder& d) {
            return test::Find<QCheckBox>(&d, "ckSubDir");
        };
        const std::string before = dir_->read("Lumar.ini");
        auto dialog = open();
        subDirs(*dialog)->setChecked(false);
        dialog->Tree()->Tree()->setCurrentItem(dialog->Tree()->FindNode(DirTree::kComputerKey));
        test::Click(dialog.get(), "cmOK_0");
        QVERIFY(list.Empty() && dir_->read("Lumar.ini") == before);
        dialog = open();
        subDirs(*dialog)->setChecked(false);
        dialog->Tree()->setPath(QString::fromStdString(pics + "/sub"));
        test::Click(dialog.get(), "cmOK_0");
        QVERIFY(dialog->result() == QDialog::Accepted && dialog->AddedRows() == 1);
        QCOMPARE(ReadTextSetting(ini, keys::LastAddDir), pics + "/sub/");
        QVERIFY(!subDirs(*open())->isChecked());
    }
};

QTEST_MAIN(DirTreeTest)
#include "dir_tree_test.moc"
