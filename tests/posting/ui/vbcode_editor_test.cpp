// The BBCode editor on real widgets, found by objectName, with a temporary settings file.
#include "posting/ui/vbcode_editor.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QtTest>
#include <memory>

#include "shell/settings_store.h"
#include "shell/ui/qt_text.h"
#include "support/temp_dir.h"
#include "support/ui/fake_dialogs.h"

using namespace lumar;
using namespace lumar::ui;

class VbCodeEditorTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempDir> dir_;
    std::string ini_;
    TextBlocks blocks_;
    std::shared_ptr<test::FakeDialogs> dialogs_;
    std::unique_ptr<VbCodeEditor> editor_;

    void Open(TextBlockEditMode mode = TextBlockEditMode::New, int index = 0) {
        VbCodeEditorEnv env;
        env.settingsFile = ini_;
        env.languageFile = dir_->file("language.ini");
        env.dialogs = dialogs_;
        editor_ = std::make_unique<VbCodeEditor>(blocks_, mode, index, env);
        editor_->show();
    }
    template <typename T>
    T* Find(const char* name) {
        T* w = editor_->findChild<T*>(name);
        if (!w) qFatal("no control %s", name);
        return w;
    }
    QPlainTextEdit* Box() { return Find<QPlainTextEdit>("txInfo"); }
    void Select(int start, int length) {
        QTextCursor c = Box()->textCursor();
        c.setPosition(start);
        c.setPosition(start + length, QTextCursor::KeepAnchor);
        Box()->setTextCursor(c);
    }
    void Click(const char* name) { QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton); }

  private slots:
    void init() {
        dir_ = std::make_unique<test::TempDir>();
        ini_ = dir_->file("Lumar.ini");
        blocks_ = TextBlocks{};
        dialogs_ = std::make_shared<test::FakeDialogs>();
        dialogs_->otherwise = true;
    }
    void cleanup() {
        editor_.reset();
        dir_.reset();
    }

    void listsDefaultsAndCaptionsAtOpening() {
        dir_->write("language.ini", "[Frame6]\r\n005=set font\r\n014=before\r\n");
        Open();
        QCOMPARE(Find<QComboBox>("cbColor")->count(), 40);
        QCOMPARE(Find<QComboBox>("cbFont")->count(), 21);
        QCOMPARE(Find<QComboBox>("cbSize")->count(), 7);
        // Black, Arial, 3 are preselected (the font button shows them).
        QVERIFY(Find<QRadioButton>("opAusrichung_0")->isChecked());
        // Captions the file names replace the built-in ones; the others stay.
        QCOMPARE(Find<QPushButton>("cmdFont_3")->text(), QString("set font"));
        QCOMPARE(Find<QRadioButton>("opAusrichung_0")->text(), QString("before"));
        QCOMPARE(Find<QPushButton>("cmdPaste_4")->text(), QString("Center"));
    }

    void buttonsOnTheTextBox() {
        Open();
        Box()->setPlainText(QString::fromUtf8("Grüße Hallo"));
        Select(6, 5);
        Click("cmdFont_0");
        QCOMPARE(Box()->toPlainText(), QString::fromUtf8("Grüße [B]Hallo[/B]"));
        QCOMPARE(Box()->textCursor().selectedText(), QString("Hallo"));
        Click("cmdFont_1");
        QCOMPARE(Box()->toPlainText(), QString::fromUtf8("Grüße [B][I]Hallo[/I][/B]"));
        QCOMPARE(Box()->textCursor().selectedText(), QString("Hallo"));
        // The whole change is one undo step.
        Box()->undo();
        QCOMPARE(Box()->toPlainText(), QString::fromUtf8("Grüße [B]Hallo[/B]"));
        // Ctrl+A selects all of it.
        Box()->setFocus();
        QTest::keyClick(Box(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(Box()->textCursor().selectedText(), QString::fromUtf8("Grüße [B]Hallo[/B]"));

        // The lists' choice goes into the tags (the tags themselves are the core's table).
        Find<QComboBox>("cbColor")->setCurrentIndex(16);
        Box()->clear();
        Click("cmdFont_3");
        QVERIFY(Box()->toPlainText().startsWith("[FONT=Arial][SIZE=3][COLOR=Red]"));

        // "Link" puts the caret after "http://".
        Box()->clear();
        Click("cmdPaste_1");
        QCOMPARE(Box()->toPlainText(), QString("[URL=http://][/URL]"));
        QCOMPARE(Box()->textCursor().position(), 12);
        QTest::keyClicks(Box(), "lumar.de");
        QCOMPARE(Box()->toPlainText(), QString("[URL=http://lumar.de][/URL]"));
    }

    void takeOverNewBlocksChangeOneCloseBoxNone() {
        Open();
        QTest::keyClicks(Box(), "eins");
        QTest::keyClick(Box(), Qt::Key_Return);
        QTest::keyClicks(Box(), "zwei");
        Find<QComboBox>("cbFont")->setCurrentIndex(17);
        Find<QRadioButton>("opAusrichung_1")->click();
        Click("cmOK_2");
        QCOMPARE(editor_->result(), int(QDialog::Accepted));
        QCOMPARE(editor_->StoredBlock(), std::optional<int>(1));
        QCOMPARE(blocks_.Get(1), std::optional<std::string>("eins\r\nzwei"));
        QCOMPARE(editor_->Placement(), TextBlockPlacement::After);

        // The next opening preselects "danach" and the font.
        Open();
        QVERIFY(Find<QRadioButton>("opAusrichung_1")->isChecked());
        QCOMPARE(Find<QComboBox>("cbFont")->currentText(), QString("Tahoma"));

        // Changing block 1 shows its text and keeps its number and the count.
        Open(TextBlockEditMode::Change, 1);
        QCOMPARE(Box()->toPlainText(), QString("eins\nzwei"));
        Box()->setPlainText("neu");
        Click("cmOK_2");
        QCOMPARE(editor_->StoredBlock(), std::optional<int>(1));
        QCOMPARE(blocks_.Get(1), std::optional<std::string>("neu"));
        QCOMPARE(blocks_.Count(), 1);

        // The close box stores nothing, not even the choices.
        const std::string settings = dir_->read("Lumar.ini");
        Open();
        QTest::keyClicks(Box(), "text");
        Find<QComboBox>("cbFont")->setCurrentIndex(3);
        editor_->close();
        QCOMPARE(editor_->StoredBlock(), std::nullopt);
        QCOMPARE(blocks_.Count(), 1);
        QCOMPARE(dir_->read("Lumar.ini"), settings);
    }

    void saveAndLoadKeepClosingCrLfAndReportFailures() {
        Open();
        Box()->setPlainText(QString::fromUtf8("[B]Grüße[/B]\nZeile"));
        dialogs_->file = QString::fromStdString(dir_->file("missing/a.vbc"));
        Click("cmOK_0");
        QCOMPARE(dialogs_->Texts("warn").size(), 1);
        QVERIFY(dialogs_->Texts("warn")[0].contains("missing/a.vbc") &&
                dialogs_->Texts("warn")[0].contains("gespeichert"));
        QCOMPARE(ReadValue(ini_, "VBCode", "SavePath", "none"), std::string("none"));

        dialogs_->file = QString::fromStdString(dir_->file("blocks/a.vbc"));
        dir_->write("blocks/keep", "");
        Click("cmOK_0");
        QCOMPARE(dir_->read("blocks/a.vbc"), std::string("[B]Gr\xFC\xDF"
                                                         "e[/B]\r\nZeile\r\n"));
        QCOMPARE(ReadValue(ini_, "VBCode", "SavePath", ""), dir_->file("blocks/"));

        // "No" keeps the text and appends the file with its closing line break.
        Box()->setPlainText("vorher ");
        dialogs_->otherwise = false;
        Click("cmOK_1");
        QCOMPARE(dialogs_->Texts("ask").value(0),
                 QString::fromUtf8("Die vorhandenen VBCode löschen ?"));
        QCOMPARE(dialogs_->Texts("file").value(2), QString::fromStdString(dir_->file("blocks/")));
        QCOMPARE(Box()->toPlainText(), QString::fromUtf8("vorher [B]Grüße[/B]\nZeile\n"));

        // A file that cannot be read is reported and changes nothing.
        dialogs_->file = QString::fromStdString(dir_->file("missing/a.vbc"));
        Click("cmOK_1");
        QCOMPARE(dialogs_->Texts("warn").size(), 2);
        QVERIFY(dialogs_->Texts("warn")[1].contains("gelesen"));
        QCOMPARE(Box()->toPlainText(), QString::fromUtf8("vorher [B]Grüße[/B]\nZeile\n"));

        // "Yes" then a cancelled dialog keeps the text; "Yes" and a file replace it.
        dialogs_->otherwise = true;
        dialogs_->file.clear();
        Click("cmOK_1");
        QCOMPARE(Box()->toPlainText(), QString::fromUtf8("vorher [B]Grüße[/B]\nZeile\n"));
        QCOMPARE(dialogs_->Texts("ask").size(), 3);
        dialogs_->file = QString::fromStdString(dir_->file("blocks/a.vbc"));
        Click("cmOK_1");
        QCOMPARE(Box()->toPlainText(), QString::fromUtf8("[B]Grüße[/B]\nZeile\n"));
        // Loading never moves the remembered folder.
        QCOMPARE(ReadValue(ini_, "VBCode", "SavePath", ""), dir_->file("blocks/"));
    }
};

QTEST_MAIN(VbCodeEditorTest)
#include "vbcode_editor_test.moc"
