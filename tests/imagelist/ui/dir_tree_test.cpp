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

  private:
    // drive/ with_sub/{inner/deep, other}, leaf/, .hidden/sub; docs/x; empty/
    std::unique_ptr<test::TempDir> dir;
    QString drive;

    std::unique_ptr<DirTree> MakeTree() {
        auto tree = std::make_unique<DirTree>();
        tree->SetDrives(
            {MountedDrive{drive.toStdString(), "/dev/test", "ext4", DriveKind::Fixed, "Test"}});
        tree->SetSpecialFolders(
            {{"docs", QString::fromStdString(dir->file("docs")), "folder-documents", false},
             {"empty", QString::fromStdString(dir->file("empty")), "user-desktop", true}});
        return tree;
    }
    static QStringList ChildKeys(const QTreeWidgetItem* node) {
        QStringList keys;
        for (int i = 0; i < node->childCount(); ++i) keys << DirTree::KeyOf(node->child(i));
        return keys;
    }

  private slots:
    void init() {
        dir = std::make_unique<test::TempDir>();
        for (const char* folder : {"drive/with_sub/inner/deep", "drive/with_sub/other",
                                   "drive/leaf", "drive/.hidden/sub", "docs/x", "empty"})
            std::filesystem::create_directories(dir->file(folder));
        dir->write("drive/leaf/file.jpg", "x");
        drive = QString::fromStdString(dir->file("drive")) + "/";
    }

    void freshTreeShowsDrivesAndSpecialFoldersClosed() {
        auto tree = MakeTree();
        tree->SetPath(drive + "leaf");
        QTreeWidgetItem* root = tree->FindNode(DirTree::kRootKey);
        QTreeWidgetItem* computer = tree->FindNode(DirTree::kComputerKey);
        QVERIFY(root && computer && root->isExpanded() && computer->isExpanded());
        QCOMPARE(ChildKeys(computer),
                 (QStringList{drive, QString::fromStdString(dir->file("docs")) + "/"}));
        QCOMPARE(computer->child(0)->text(0), QStringLiteral("Test (%1)").arg(drive.chopped(1)));
        // Drives and special folders get an expand button before anything is known, also the
        // special folder that has no subfolder at all.
        QTreeWidgetItem* empty = tree->FindNode(QString::fromStdString(dir->file("empty")) + "/");
        QVERIFY(empty && empty->parent() == root);
        for (QTreeWidgetItem* node : {computer->child(0), computer->child(1), empty})
            QVERIFY(DirTree::IsUnloaded(node) && node->childCount() == 1);
        // Nothing selected: the stored path.
        QCOMPARE(tree->Path(), drive + "leaf");
        // Opening removes the button of a folder without subfolders, and selects it.
        tree->Tree()->expandItem(empty);
        QVERIFY(empty->childCount() == 0 && !DirTree::IsUnloaded(empty));
        QCOMPARE(tree->Path(), DirTree::KeyOf(empty));
        // The real drives include the root folder under the computer node.
        DirTree real;
        real.SetPath(QStringLiteral("/"));
        QTreeWidgetItem* rootDrive = real.FindNode(QStringLiteral("/"));
        QVERIFY(rootDrive && rootDrive->parent() == real.FindNode(DirTree::kComputerKey));
    }

    void onlyFoldersWithSubfoldersCanBeOpened() {
        auto tree = MakeTree();
        tree->SetPath(drive);
        QSignalSpy changes(tree.get(), &DirTree::ChangePath);
        QTreeWidgetItem* driveNode = tree->FindNode(drive);
        tree->Tree()->expandItem(driveNode);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.at(0).at(0).toString(), drive);
        QCOMPARE(tree->Path(), drive);
        // Hidden folders are left out, names come sorted.
        QCOMPARE(ChildKeys(driveNode), (QStringList{drive + "leaf/", drive + "with_sub/"}));
        QTreeWidgetItem* leaf = driveNode->child(0);
        QTreeWidgetItem* withSub = driveNode->child(1);
        QVERIFY(leaf->childCount() == 0 && !DirTree::IsUnloaded(leaf));
        QVERIFY(withSub->childCount() == 1 && DirTree::IsUnloaded(withSub));
        tree->Tree()->expandItem(withSub);
        // Opening again changes nothing and says nothing.
        tree->Tree()->collapseItem(withSub);
        tree->Tree()->expandItem(withSub);
        QCOMPARE(withSub->childCount(), 2);
        QCOMPARE(changes.count(), 2);
        // A folder that vanished before it was opened shows no children and no message.
        QTreeWidgetItem* inner = withSub->child(0);
        std::filesystem::remove_all(dir->file("drive/with_sub/inner"));
        tree->Tree()->expandItem(inner);
        QVERIFY(inner->childCount() == 0 && !DirTree::IsUnloaded(inner));
    }

    void writingThePathOpensTheWayAndSelects() {
        auto tree = MakeTree();
        QSignalSpy changes(tree.get(), &DirTree::ChangePath);
        tree->setPath(drive + "with_sub/inner");
        const QString target = drive + "with_sub/inner/";
        QVERIFY(tree->Tree()->currentItem()->isSelected());
        QVERIFY(tree->FindNode(drive + "with_sub/inner/deep/"));  // the target was opened too
        QCOMPARE(changes.last().at(0).toString(), target);
        // Paths that cannot be walked select nothing; names are compared exactly.
        tree->setPath(drive + "WITH_SUB/inner");
        QCOMPARE(tree->Path(), drive + "WITH_SUB/inner/");
        QVERIFY(tree->Tree()->selectedItems().isEmpty());
        tree->setPath("/nowhere/at/all");
        QCOMPARE(tree->Path(), QStringLiteral("/nowhere/at/all/"));
        // The computer node is no folder.
        tree->Tree()->setCurrentItem(tree->FindNode(DirTree::kComputerKey));
        QCOMPARE(tree->Path(), QString());
    }

    void clickReportsTheNode() {
        auto tree = MakeTree();
        tree->resize(300, 400);
        tree->show();
        tree->setPath(drive);
        QSignalSpy changes(tree.get(), &DirTree::ChangePath);
        QTreeWidgetItem* leaf = tree->FindNode(drive + "leaf/");
        QVERIFY(leaf);
        QTest::mouseClick(tree->Tree()->viewport(), Qt::LeftButton, {},
                          tree->Tree()->visualItemRect(leaf).center());
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.at(0).at(0).toString(), drive + "leaf/");
    }
};

QTEST_MAIN(DirTreeTest)
#include "dir_tree_test.moc"
