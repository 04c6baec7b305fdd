// The folder tree over a temporary folder that stands in for a drive.
#include "imagelist/ui/dir_tree.h"

#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>

#include "support/temp_dir.h"

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
        tree_->SetDrives({{drive_.toStdString(), "/dev/test", "ext4", DriveKind::Fixed, "Test"}});
        tree_->SetSpecialFolders({{"docs", Folder("docs").chopped(1), "folder-documents", false},
                                  {"empty", Folder("empty").chopped(1), "user-desktop", true}});
    }

    // Drives and special folders get an expand button before anything is known, also the
    // special folder without any subfolder; opening that one removes the button.
    void freshTreeShowsDrivesAndSpecialFoldersClosed() {
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
    void onlyFoldersWithSubfoldersCanBeOpened() {
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
    void writingThePathOpensTheWay() {
        tree_->setPath(drive_ + "with_sub/inner");
        QVERIFY(tree_->FindNode(drive_ + "with_sub/inner/deep/"));  // the target was opened too
        QVERIFY(tree_->Tree()->currentItem()->isSelected());
        tree_->setPath(drive_ + "WITH_SUB/inner");
        QVERIFY(tree_->Tree()->selectedItems().isEmpty());
        tree_->Tree()->setCurrentItem(tree_->FindNode(DirTree::kComputerKey));
        QCOMPARE(tree_->Path(), QString());
    }
};

QTEST_MAIN(DirTreeTest)
#include "dir_tree_test.moc"
