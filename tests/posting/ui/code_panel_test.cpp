// The code panel and the BBCode editor on real widgets with a temporary settings file. Where
// the parts fall, how centring wraps them, the tags, the stored choices and the .vbc files are
// the core's; here the controls reach them.
#include "posting/ui/code_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

#include "imagelist/image_list.h"
#include "posting/ui/vbcode_editor.h"
#include "shell/config_paths.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"
#include "support/ui/fake_dialogs.h"
#include "support/ui/find_widget.h"

using namespace lumar;
using namespace lumar::ui;

namespace {

struct Editor {
    test::TempDir dir;
    TextBlocks blocks;
    std::shared_ptr<test::FakeDialogs> dialogs = std::make_shared<test::FakeDialogs>();
    std::unique_ptr<VbCodeEditor> dialog;
    QPlainTextEdit* box = nullptr;

    void Open(TextBlockEditMode mode = TextBlockEditMode::kNew, int index = 0) {
        dialog = std::make_unique<VbCodeEditor>(
            blocks, mode, index,
            VbCodeEditorEnv{dir.file("Lumar.ini"), dir.file("language.ini"), nullptr, dialogs});
        dialog->show();
        box = test::Find<QPlainTextEdit>(dialog.get(), "txInfo");
    }
    // Chooses `file` in the file dialog of `button` ("" cancels).
    void ClickWithFile(const char* button, const std::string& file) {
        dialogs->file = file.empty() ? QString() : QString::fromStdString(dir.file(file));
        test::Click(dialog.get(), button);
    }
};

}  // namespace

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
    void UploadTen(const std::string& code = "C") {
        for (int i = 1; i <= 10; ++i) {
            ImageEntry row;
            row.upload = code + std::to_string(i);
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

    // The size box splits, the part chosen is the one copied (and the status line says which),
    // and an emptied box switches splitting off and shows the whole posting again.
    void SplitSizeBox() {
        QSignalSpy said(panel_.get(), &CodePanel::StatusMessage);
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
        QCOMPARE(said.value(0).value(0).toString(),
                 QString("Posting kopiert (Teil 2 von 3, 29 Zeichen)"));
        size->selectAll();
        QTest::keyClick(size, Qt::Key_Backspace);
        QVERIFY(!Find<QCheckBox>("ckSplit")->isChecked() && !parts->isEnabled());
        QCOMPARE(panel_->ShownText(), QString("[CENTER]C1 C2 C3 C4 C5 C6 C7 C8 C9 C10 [/CENTER]"));
    }

    // Markdown is never centred; the end of a run copies only when asked to.
    void MarkdownDisablesCentringAndAutoCopyCopiesTheExport() {
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

    // A save says what it wrote, numbers grouped as the interface's locale groups them, and
    // leaves nothing beside the file; a failed save names the file and claims nothing.
    void SavesSayWhatTheyWroteOrWhyNot() {
        QSignalSpy said(panel_.get(), &CodePanel::StatusMessage);
        UploadTen(std::string(120, 'x'));
        for (const char* file : {"missing/posting.vbc", "posting.vbc"}) {
            dialogs_->file = QString::fromStdString(dir_->file(file));
            QLocale::setDefault(QLocale(QLocale::English));
            test::Click(panel_.get(), "cmCode_1");
            QLocale::setDefault(QLocale::c());
        }
        QVERIFY(dialogs_->Texts("warn").value(0).contains("missing/posting.vbc"));
        QCOMPARE(said.count(), 1);
        QCOMPARE(said.value(0).value(0).toString(), QString("Posting gespeichert (1,238 Zeichen)"));
        QVERIFY(!QFileInfo::exists(dir_->file("posting.vbc.lock").c_str()));
    }

    // The next start runs the same handlers a click would.
    void CloseWritesItsKeysForTheNextStart() {
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

    void TakeOverStoresTheBlockCloseBoxNothing() {
        Editor e;
        e.Open();
        e.box->setPlainText("eins\nzwei");
        test::Find<QRadioButton>(e.dialog.get(), "opAusrichung_1")->click();
        test::Click(e.dialog.get(), "cmOK_2");
        QVERIFY(e.dialog->StoredBlock() == 1 &&
                e.dialog->Placement() == TextBlockPlacement::kAfter);

        e.Open(TextBlockEditMode::kChange, 1);
        QCOMPARE(e.box->toPlainText(), QString("eins\nzwei"));
        const std::string settings = e.dir.read("Lumar.ini");
        e.box->setPlainText("neu");
        e.dialog->close();
        QVERIFY(!e.dialog->StoredBlock() && e.dir.read("Lumar.ini") == settings);
        QCOMPARE(e.blocks.Get(1), std::optional<std::string>("eins\r\nzwei"));
    }

    // Failures say whether saving or reading failed; "Yes" to replacing the text loses it
    // only once a file has been read; "No" appends the file.
    void SaveAndLoadAskAndReportFailures() {
        Editor e;
        e.Open();
        e.box->setPlainText("Zeile");
        e.ClickWithFile("cmOK_0", "missing/a.vbc");
        e.dir.write("blocks/keep", "");
        e.ClickWithFile("cmOK_0", "blocks/a.vbc");
        QCOMPARE(e.dir.read("blocks/a.vbc"), std::string("Zeile\r\n"));
        e.dialogs->answers = {true, true, false, true};
        e.ClickWithFile("cmOK_1", "");
        e.ClickWithFile("cmOK_1", "missing/a.vbc");
        QCOMPARE(e.box->toPlainText(), QString("Zeile"));
        e.ClickWithFile("cmOK_1", "blocks/a.vbc");
        QCOMPARE(e.box->toPlainText(), QString("ZeileZeile\n"));
        e.ClickWithFile("cmOK_1", "blocks/a.vbc");
        QCOMPARE(e.box->toPlainText(), QString("Zeile\n"));
        const QStringList warned = e.dialogs->Texts("warn");
        QVERIFY(warned.size() == 2 && warned[0].contains("gespeichert") &&
                warned[0].contains("missing/a.vbc") && warned[1].contains("gelesen"));
    }
};

QTEST_MAIN(CodePanelTest)
#include "code_panel_test.moc"
