// The code panel on real widgets, found by objectName, with a temporary settings file.
#include "posting/ui/code_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

#include "imagelist/image_list.h"
#include "shell/config_paths.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"
#include "support/ui/fake_dialogs.h"

using namespace lumar;
using namespace lumar::ui;

class CodePanelTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempDir> dir_;
    std::string ini_;
    PostingState state_;
    TextBlocks blocks_;
    ImageList list_;
    std::unique_ptr<CodePanel> panel_;
    std::shared_ptr<test::FakeDialogs> dialogs_;

    static ImageEntry Image(int n) {
        ImageEntry row;
        row.text = "p" + std::to_string(n) + ".jpg";
        row.upload = "C" + std::to_string(n);
        row.checked = false;
        return row;
    }
    template <typename T>
    T* Find(const char* name) {
        T* w = panel_->findChild<T*>(name);
        if (!w) qFatal("no control %s", name);
        return w;
    }

    // Ten uploaded images, as an upload run would leave them, and the posting it built.
    void UploadTen() {
        for (int i = 1; i <= 10; ++i) list_.Append(Image(i));
        std::vector<ImageEntry> rows = list_.Rows();
        CollectPosting(state_, rows, blocks_);
        panel_->ShowFinishedPosting(
            FinishPosting(state_, rows, blocks_, panel_->Options(), PostingTexts{}));
    }

  private slots:
    void init() {
        dir_ = std::make_unique<test::TempDir>();
        InitConfigFolder(dir_->path());
        ini_ = dir_->file("Lumar.ini");
        QVERIFY(WriteValue(ini_, "Bilder", "Werbung", "0"));
        state_ = PostingState{};
        list_.Clear();
        panel_ = std::make_unique<CodePanel>(state_, blocks_, ini_);
        dialogs_ = std::make_shared<test::FakeDialogs>();
        dialogs_->otherwise = true;
        panel_->SetImageList(&list_);
        panel_->SetDialogs(dialogs_);
        panel_->RestoreSettings(ini_);
        panel_->show();
    }
    void cleanup() {
        panel_.reset();
        dir_.reset();
    }

    void splitSizeBox() {
        UploadTen();
        auto* split = Find<QCheckBox>("ckSplit");
        auto* size = Find<QLineEdit>("txSplitSize");
        auto* parts = Find<QComboBox>("cbSplit");
        QTest::mouseClick(split, Qt::LeftButton, {}, QPoint(5, split->height() / 2));
        QVERIFY(split->isChecked());
        QVERIFY(size->isEnabled());
        QCOMPARE(parts->count(), 0);  // 20 per part: ten images stay whole

        size->setFocus();
        size->selectAll();
        QTest::keyClicks(size, "a4b");
        QCOMPARE(size->text(), QString("4"));  // letters do not appear
        QCOMPARE(parts->count(), 0);           // nothing happens before Enter
        QTest::keyClick(size, Qt::Key_Return);
        QCOMPARE(parts->count(), 3);
        QCOMPARE(parts->currentIndex(), 0);
        QCOMPARE(panel_->ShownText(), QString("[CENTER]C1 C2 C3 C4 [/CENTER]"));

        // Choosing part 2 shows it; centring off unwraps the parts and the whole posting.
        parts->setCurrentIndex(1);
        emit parts->activated(1);
        QCOMPARE(panel_->ShownText(), QString("[CENTER]C5 C6 C7 C8 [/CENTER]"));
        // The clipboard gets that part and the advertising line, as the setting is now.
        WriteValue(ini_, "Bilder", "Werbung", "1");
        Find<QPushButton>("cmCode_0")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QString("[CENTER]C5 C6 C7 C8 [/CENTER]\r\n\r\n") +
                     QString::fromStdString(AdvertisingLine(true, false, kDefaultAdvertisingText,
                                                            kBuiltInAddresses.homePage)));
        Find<QCheckBox>("ckCenter")->click();
        QCOMPARE(panel_->ShownText(), QString("C5 C6 C7 C8 "));

        // Emptying the box switches splitting off and shows the whole posting as the box says.
        size->selectAll();
        QTest::keyClick(size, Qt::Key_Backspace);
        QVERIFY(!split->isChecked());
        QVERIFY(!size->isEnabled());
        QVERIFY(!parts->isEnabled());
        QCOMPARE(panel_->ShownText(), QString("C1 C2 C3 C4 C5 C6 C7 C8 C9 C10 "));
        QVERIFY(!state_.isSplit);
    }

    void outputOptionRebuildsFromTheListAndClearsMarkerChecks() {
        blocks_.Add("[B]Hallo[/B]");
        list_.Append(Image(1));
        list_.InsertMarkerRow(2, TextBlockRowText(1));
        list_.InsertMarkerRow(2, std::string(kBreakRowText));
        QVERIFY(list_.Row(2).checked && list_.Row(3).checked);
        QSignalSpy changed(panel_.get(), &CodePanel::rowChecksChanged);
        Find<QRadioButton>("opCode_1")->click();
        QCOMPARE(panel_->ShownText(), QString("<CENTER>C1 \n<B>Hallo</B></CENTER>"));
        QCOMPARE(state_.code, std::string("<CENTER>C1 \r\n<B>Hallo</B></CENTER>"));
        QVERIFY(!list_.Row(2).checked && !list_.Row(3).checked);
        QCOMPARE(changed.count(), 1);
        Find<QRadioButton>("opCode_0")->click();
        QCOMPARE(state_.code, std::string("[CENTER]C1 \r\n[B]Hallo[/B][/CENTER]"));
    }

    void codeBoxNeverKeepsTheFocus() {
        auto* code = Find<QPlainTextEdit>("txcode");
        panel_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(panel_.get()));
        Find<QPushButton>("cmCode_0")->setFocus();
        QTest::mouseClick(code->viewport(), Qt::LeftButton);
        QVERIFY(!code->hasFocus());
        code->setFocus();
        QVERIFY(!code->hasFocus());
        QVERIFY(Find<QLineEdit>("txdummy")->hasFocus());
    }

    void saveWritesFileOrShowsFileAndReason() {
        UploadTen();
        dialogs_->file = QString::fromStdString(dir_->file("missing/posting.vbc"));
        Find<QPushButton>("cmCode_1")->click();
        QCOMPARE(dialogs_->Texts("warn").size(), 1);
        QVERIFY(dialogs_->Texts("warn")[0].contains("missing/posting.vbc"));
        QVERIFY(dialogs_->Texts("warn")[0].contains("No such file or directory"));
        QCOMPARE(ReadValue(ini_, "VBCode", "SavePathCode", "none"), std::string("none"));

        dialogs_->file = QString::fromStdString(dir_->file("out/posting.vbc"));
        dir_->write("out/keep", "");
        Find<QPushButton>("cmCode_1")->click();
        QCOMPARE(QString::fromStdString(dir_->read("out/posting.vbc")),
                 QString("[CENTER]C1 C2 C3 C4 C5 C6 C7 C8 C9 C10 [/CENTER]\r\n"));
        QCOMPARE(ReadValue(ini_, "VBCode", "SavePathCode", ""), dir_->file("out/"));
        QCOMPARE(dialogs_->Texts("warn").size(), 1);
        // The next dialog opens there; a cancelled one writes nothing and keeps the folder.
        dialogs_->file.clear();
        Find<QPushButton>("cmCode_1")->click();
        QCOMPARE(dialogs_->Texts("file").value(2), QString::fromStdString(dir_->file("out/")));
        QCOMPARE(ReadValue(ini_, "VBCode", "SavePathCode", ""), dir_->file("out/"));
    }

    void closeWritesFourKeysInOrderForTheNextStart() {
        // No keys stored: splitting off.
        QVERIFY(!Find<QLineEdit>("txSplitSize")->isEnabled() &&
                !Find<QComboBox>("cbSplit")->isEnabled());
        bool stopped = false;
        panel_->SetStopSound([&] {
            stopped = true;
            QVERIFY(dir_->read("Lumar.ini").find("Split") == std::string::npos);
        });
        QSignalSpy closed(panel_.get(), &CodePanel::closeRequested);
        Find<QCheckBox>("ckSplit")->click();
        Find<QLineEdit>("txSplitSize")->setText("7");
        Find<QCheckBox>("ckCenter")->click();
        Find<QRadioButton>("opCode_1")->click();
        Find<QPushButton>("cmCode_2")->click();
        QCOMPARE(closed.count(), 1);
        QVERIFY(stopped);
        QVERIFY(!panel_->isVisible());
        QCOMPARE(ReadValue(ini_, "Posting", "Split", ""), std::string("1"));
        QCOMPARE(ReadValue(ini_, "Posting", "SplitSize", ""), std::string("7"));
        QCOMPARE(ReadValue(ini_, "Bilder", "Center", ""), std::string("0"));
        QCOMPARE(ReadValue(ini_, "Posting", "Code", ""), std::string("1"));
        const std::string file = dir_->read("Lumar.ini");
        QVERIFY(file.find("Split=") < file.find("SplitSize="));
        QVERIFY(file.find("SplitSize=") < file.find("Code="));
        QVERIFY(file.find("Center=") != std::string::npos);

        // The next start runs the same handlers a click would.
        panel_ = std::make_unique<CodePanel>(state_, blocks_, ini_);
        panel_->RestoreSettings(ini_);
        QVERIFY(Find<QLineEdit>("txSplitSize")->isEnabled() &&
                Find<QComboBox>("cbSplit")->isEnabled());
        QVERIFY(Find<QRadioButton>("opCode_1")->isChecked());
        UploadTen();
        QCOMPARE(Find<QComboBox>("cbSplit")->itemText(1), QString::fromUtf8("Postingteilstück #2"));
        QCOMPARE(panel_->ShownText(), QString("C1 C2 C3 C4 C5 C6 C7 "));
    }
};

QTEST_MAIN(CodePanelTest)
#include "code_panel_test.moc"
