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

    // The tags and the stored choices are the core's; here the controls reach them.
    void buttonsOnTheTextBox() {
        dir_->write("language.ini", "[Frame6]\r\n005=set font\r\n");
        Open();
        QCOMPARE(Find<QPushButton>("cmdFont_3")->text(), QString("set font"));
        Box()->setPlainText(QString::fromUtf8("Grüße Hallo"));
        Select(6, 5);
        Click("cmdFont_0");
        QCOMPARE(Box()->toPlainText(), QString::fromUtf8("Grüße [B]Hallo[/B]"));
        QCOMPARE(Box()->textCursor().selectedText(), QString("Hallo"));
        Box()->undo();  // the whole change is one undo step
        QCOMPARE(Box()->toPlainText(), QString::fromUtf8("Grüße Hallo"));

        Find<QComboBox>("cbColor")->setCurrentIndex(16);
        Box()->clear();
        Click("cmdFont_3");
        QVERIFY(Box()->toPlainText().startsWith("[FONT=Arial][SIZE=3][COLOR=Red]"));
        Box()->clear();
        Click("cmdPaste_1");
        QTest::keyClicks(Box(), "lumar.de");
        QCOMPARE(Box()->toPlainText(), QString("[URL=http://lumar.de][/URL]"));
    }

    void takeOverStoresTheBlockCloseBoxNothing() {
        Open();
        QTest::keyClicks(Box(), "eins");
        QTest::keyClick(Box(), Qt::Key_Return);
        QTest::keyClicks(Box(), "zwei");
        Find<QRadioButton>("opAusrichung_1")->click();
        Click("cmOK_2");
        QCOMPARE(editor_->StoredBlock(), std::optional<int>(1));
        QCOMPARE(blocks_.Get(1), std::optional<std::string>("eins\r\nzwei"));
        QCOMPARE(editor_->Placement(), TextBlockPlacement::After);

        Open(TextBlockEditMode::Change, 1);
        QCOMPARE(Box()->toPlainText(), QString("eins\nzwei"));
        QVERIFY(Find<QRadioButton>("opAusrichung_1")->isChecked());
        const std::string settings = dir_->read("Lumar.ini");
        Box()->setPlainText("neu");
        editor_->close();
        QCOMPARE(editor_->StoredBlock(), std::nullopt);
        QCOMPARE(blocks_.Get(1), std::optional<std::string>("eins\r\nzwei"));
        QCOMPARE(dir_->read("Lumar.ini"), settings);
    }

    // How files are written and read is the core's; here the questions and the text box.
    void saveAndLoadAskAndReportFailures() {
        Open();
        Box()->setPlainText("Zeile");
        dialogs_->file = QString::fromStdString(dir_->file("missing/a.vbc"));
        Click("cmOK_0");
        QCOMPARE(dialogs_->Texts("warn").size(), 1);
        QVERIFY(dialogs_->Texts("warn")[0].contains("missing/a.vbc"));

        dialogs_->file = QString::fromStdString(dir_->file("blocks/a.vbc"));
        dir_->write("blocks/keep", "");
        Click("cmOK_0");
        QCOMPARE(dir_->read("blocks/a.vbc"), std::string("Zeile\r\n"));
        QCOMPARE(ReadValue(ini_, "VBCode", "SavePath", ""), dir_->file("blocks/"));

        // "No" keeps the text and appends the file; a file that cannot be read is reported;
        // "Yes" replaces the text.
        Box()->setPlainText("vorher ");
        dialogs_->answers = {false, false, true};
        Click("cmOK_1");
        QCOMPARE(dialogs_->Texts("file").value(2), QString::fromStdString(dir_->file("blocks/")));
        QCOMPARE(Box()->toPlainText(), QString("vorher Zeile\n"));
        dialogs_->file = QString::fromStdString(dir_->file("missing/a.vbc"));
        Click("cmOK_1");
        QCOMPARE(dialogs_->Texts("warn").size(), 2);
        dialogs_->file = QString::fromStdString(dir_->file("blocks/a.vbc"));
        Click("cmOK_1");
        QCOMPARE(Box()->toPlainText(), QString("Zeile\n"));
        QCOMPARE(dialogs_->Texts("ask").size(), 3);
    }
};

QTEST_MAIN(VbCodeEditorTest)
#include "vbcode_editor_test.moc"
