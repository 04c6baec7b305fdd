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
        dir->write("pics/fake.jpg", std::string("\x89PNG\r\n\x1a\n", 8));
        dir->write("pics/notes.txt", "x");
        ini = dir->file("Lumar.ini");
        language = dir->file("language.ini");
        WriteSetting(ini, keys::LastAddDir, pics + "/");
    }

    void opensAtTheLastFolderWithCaptionsFromTheLanguageFile() {
        ImageList list;
        auto dialog = Open(list);
        QCOMPARE(dialog->Tree()->Path(), QString::fromStdString(pics + "/"));
        QCOMPARE(dialog->Tree()->objectName(), QStringLiteral("DirTree1"));
        auto* subDirs = dialog->findChild<QCheckBox*>("ckSubDir");
        QVERIFY(subDirs && subDirs->isChecked());  // SubDir defaults to 1
        QCOMPARE(subDirs->text(), QStringLiteral("inklusive Unterverzeichnisse"));
        QCOMPARE(dialog->findChild<QPushButton*>("cmOK_1")->text(), QStringLiteral("Abbrechen"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Bildverzeichnis suchen..."));

        // Section names in any case; a quoted value keeps its leading blanks.
        dir->write("language.ini",
                   "[frame4]\n001=\"  with subfolders\"\n002=Okay\n004=Pick a folder\n");
        auto translated = Open(list);
        QCOMPARE(translated->findChild<QCheckBox*>("ckSubDir")->text(),
                 QStringLiteral("  with subfolders"));
        QCOMPARE(translated->findChild<QPushButton*>("cmOK_0")->text(), QStringLiteral("Okay"));
        QCOMPARE(translated->windowTitle(), QStringLiteral("Pick a folder"));
    }

    void okAddsTheFolderWithSubfolders() {
        ImageList list;
        auto dialog = Open(list);
        Click(*dialog, "cmOK_0");
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(list.Count(), 2);
        QCOMPARE(list.Row(2).FullPath(), pics + "/sub/b.JpE");
        QCOMPARE(dialog->AddedRows(), 2);
        QCOMPARE(ReadTextSetting(ini, keys::LastAddDir), pics + "/");
        QCOMPARE(ReadIntSetting(ini, keys::SubDir), 1);
    }

    void okWithoutSubfoldersAddsTheTopFilesAndRemembersTheChoice() {
        ImageList list;
        list.Append(ImageEntry{"old.jpg", "/x/", "1", "1", ".5", "", "", "", true});
        auto dialog = Open(list);
        dialog->findChild<QCheckBox*>("ckSubDir")->setChecked(false);
        Click(*dialog, "cmOK_0");
        QCOMPARE(list.Count(), 2);
        QCOMPARE(list.Row(2).text, std::string("a.jpg"));
        QCOMPARE(ReadIntSetting(ini, keys::SubDir), 0);
        // Next time the box starts unchecked; another folder is added and stored.
        auto again = Open(list);
        QVERIFY(!again->findChild<QCheckBox*>("ckSubDir")->isChecked());
        again->Tree()->setPath(QString::fromStdString(pics + "/sub"));
        Click(*again, "cmOK_0");
        QCOMPARE(list.Count(), 3);
        QCOMPARE(ReadTextSetting(ini, keys::LastAddDir), pics + "/sub/");
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
