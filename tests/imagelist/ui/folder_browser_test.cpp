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

    void okAddsTheChosenFolderAndRemembersTheChoices() {
        dir_->write("language.ini", "[frame4]\n001=with subfolders\n");
        auto dialog = Open();
        QCOMPARE(dialog->Tree()->Path(), QString::fromStdString(pics_ + "/"));
        QCOMPARE(SubDirs(*dialog)->text(), QStringLiteral("with subfolders"));
        test::Click(dialog.get(), "cmOK_0");
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(dialog->AddedRows(), 2);
        QCOMPARE(ReadIntSetting(ini_, keys::SubDir), 1);
        auto again = Open();
        SubDirs(*again)->setChecked(false);
        again->Tree()->setPath(QString::fromStdString(pics_ + "/sub"));
        test::Click(again.get(), "cmOK_0");
        QCOMPARE(list_.Count(), 3);
        QCOMPARE(ReadIntSetting(ini_, keys::SubDir), 0);
        QCOMPARE(ReadTextSetting(ini_, keys::LastAddDir), pics_ + "/sub/");
        QVERIFY(!SubDirs(*Open())->isChecked());
    }

    void cancelOrANodeThatIsNoFolderWritesAndAddsNothing() {
        const std::string before = dir_->read("Lumar.ini");
        auto dialog = Open();
        SubDirs(*dialog)->setChecked(false);
        test::Click(dialog.get(), "cmOK_1");
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        auto computer = Open();
        computer->Tree()->Tree()->setCurrentItem(computer->Tree()->FindNode(DirTree::kComputerKey));
        test::Click(computer.get(), "cmOK_0");
        QVERIFY(list_.Empty());
        QCOMPARE(dir_->read("Lumar.ini"), before);
    }
};

QTEST_MAIN(FolderBrowserTest)
#include "folder_browser_test.moc"
