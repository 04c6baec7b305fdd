// The code panel on real widgets with a temporary settings file. Where the parts fall and how
// centring wraps them is the core's; here the controls reach it.
#include "posting/ui/code_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

#include "imagelist/image_list.h"
#include "shell/config_paths.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"
#include "support/ui/fake_dialogs.h"
#include "support/ui/find_widget.h"

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

    template <typename T = QWidget>
    T* Find(const char* name) {
        return test::Find<T>(panel_.get(), name);
    }
    void Open() {
        panel_ = std::make_unique<CodePanel>(state_, blocks_, ini_);
        panel_->SetImageList(&list_);
        panel_->SetDialogs(dialogs_);
        panel_->RestoreSettings(ini_);
        panel_->show();
    }
    // Ten images as an upload run leaves them, and the posting the run built.
    void UploadTen() {
        for (int i = 1; i <= 10; ++i) {
            ImageEntry row;
            row.upload = "C" + std::to_string(i);
            row.checked = false;
            list_.Append(row);
        }
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
        dialogs_ = std::make_shared<test::FakeDialogs>();
        Open();
    }
    void cleanup() { panel_.reset(); }

    // While split, the centring box changes the parts and the whole posting alike, so
    // switching splitting off shows the posting as the box says.
    void splitSizeBox() {
        UploadTen();
        auto* size = Find<QLineEdit>("txSplitSize");
        auto* parts = Find<QComboBox>("cbSplit");
        Find<QCheckBox>("ckSplit")->click();
        size->selectAll();
        QTest::keyClicks(size, "4");
        QTest::keyClick(size, Qt::Key_Return);
        parts->setCurrentIndex(1);
        emit parts->activated(1);
        test::Click(panel_.get(), "cmCode_0");
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("[CENTER]C5 C6 C7 C8 [/CENTER]"));
        Find<QCheckBox>("ckCenter")->click();
        QCOMPARE(panel_->ShownText(), QString("C5 C6 C7 C8 "));
        size->selectAll();
        QTest::keyClick(size, Qt::Key_Backspace);
        QVERIFY(!Find<QCheckBox>("ckSplit")->isChecked() && !parts->isEnabled());
        QCOMPARE(panel_->ShownText(), QString("C1 C2 C3 C4 C5 C6 C7 C8 C9 C10 "));
    }

    // Markdown is never centred; the end of a run copies only when asked to.
    void markdownDisablesCentringAndAutoCopyCopiesTheExport() {
        auto* center = Find<QCheckBox>("ckCenter");
        Find<QRadioButton>("opCode_2")->click();
        QVERIFY(!center->isEnabled() && center->isChecked());
        QGuiApplication::clipboard()->setText("before");
        UploadTen();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("before"));
        Find<QCheckBox>("ckAutoCopy")->click();
        panel_->ShowFinishedPosting(ShowSelectedPart(state_, 0));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("C1 C2 C3 C4 C5 C6 C7 C8 C9 C10"));
        Find<QRadioButton>("opCode_0")->click();
        QVERIFY(center->isEnabled());
    }

    // A failed save names the file.
    void failedSaveShowsFileAndReason() {
        UploadTen();
        dialogs_->file = QString::fromStdString(dir_->file("missing/posting.vbc"));
        test::Click(panel_.get(), "cmCode_1");
        QVERIFY(dialogs_->Texts("warn").value(0).contains("missing/posting.vbc"));
    }

    // The next start runs the same handlers a click would.
    void closeWritesItsKeysForTheNextStart() {
        Find<QCheckBox>("ckSplit")->click();
        Find<QLineEdit>("txSplitSize")->setText("7");
        Find<QCheckBox>("ckCenter")->click();
        Find<QRadioButton>("opCode_1")->click();
        test::Click(panel_.get(), "cmCode_2");
        QVERIFY(!panel_->isVisible());
        Open();
        QVERIFY(Find<QRadioButton>("opCode_1")->isChecked());
        UploadTen();
        QCOMPARE(panel_->ShownText(), QString("C1 C2 C3 C4 C5 C6 C7 "));
    }
};

QTEST_MAIN(CodePanelTest)
#include "code_panel_test.moc"
