#include "imagelist/ui/folder_browser.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include "imagelist/ui/dir_tree.h"
#include "shell/settings_keys.h"
#include "support/jpeg_maker.h"
#include "support/temp_dir.h"

using namespace lumar;
using namespace lumar::ui;

class FolderBrowserTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::TempDir> dir;
    std::string ini;
    std::string language;
    std::string pics;

    std::unique_ptr<frmBrowseFolder> Open(ImageList& list) {
        return std::make_unique<frmBrowseFolder>(list, ini, AddOptions{}, language);
    }
    static void Click(frmBrowseFolder& dialog, const char* name) {
        auto* button = dialog.findChild<QPushButton*>(name);
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
    }

  private slots:
    void init() {
        dir = std::make_unique<test::TempDir>();
        pics = dir->file("pics");
        test::WriteJpeg(pics + "/a.jpg", 800, 600);
        test::WriteJpeg(pics + "/sub/b.JpE", 64, 48);
        ini = dir->file("Lumar.ini");
        language = dir->file("language.ini");
        WriteSetting(ini, keys::LastAddDir, pics + "/");
    }

    void opensAtTheLastFolderWithCaptionsFromTheLanguageFile() {
        dir->write("language.ini", "[frame4]\n001=with subfolders\n");
        ImageList list;
        auto dialog = Open(list);
        QCOMPARE(dialog->Tree()->Path(), QString::fromStdString(pics + "/"));
        QCOMPARE(dialog->findChild<QCheckBox*>("ckSubDir")->text(),
                 QStringLiteral("with subfolders"));
    }

    // What a folder adds is the core's; here the box and the tree reach it and are kept.
    void okAddsTheChosenFolderAndRemembersTheChoices() {
        ImageList list;
        auto dialog = Open(list);
        Click(*dialog, "cmOK_0");
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(dialog->AddedRows(), 2);
        QCOMPARE(ReadIntSetting(ini, keys::SubDir), 1);
        auto again = Open(list);
        again->findChild<QCheckBox*>("ckSubDir")->setChecked(false);
        again->Tree()->setPath(QString::fromStdString(pics + "/sub"));
        Click(*again, "cmOK_0");
        QCOMPARE(list.Count(), 3);
        QCOMPARE(ReadIntSetting(ini, keys::SubDir), 0);
        QCOMPARE(ReadTextSetting(ini, keys::LastAddDir), pics + "/sub/");
        QVERIFY(!Open(list)->findChild<QCheckBox*>("ckSubDir")->isChecked());
    }

    void cancelOrANodeThatIsNoFolderWritesAndAddsNothing() {
        const std::string before = dir->read("Lumar.ini");
        ImageList list;
        auto dialog = Open(list);
        dialog->findChild<QCheckBox*>("ckSubDir")->setChecked(false);
        Click(*dialog, "cmOK_1");
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        auto computer = Open(list);
        computer->Tree()->Tree()->setCurrentItem(computer->Tree()->FindNode(DirTree::kComputerKey));
        Click(*computer, "cmOK_0");
        QVERIFY(list.Empty());
        QCOMPARE(dir->read("Lumar.ini"), before);
    }
};

QTEST_MAIN(FolderBrowserTest)
#include "folder_browser_test.moc"
