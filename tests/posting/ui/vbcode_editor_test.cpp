// The BBCode editor on real widgets with a temporary settings file. The tags, the stored
// choices and the .vbc files are the core's; here the controls reach them.
#include "posting/ui/vbcode_editor.h"

#include <QPlainTextEdit>
#include <QRadioButton>
#include <QtTest>

#include "support/temp_dir.h"
#include "support/ui/fake_dialogs.h"
#include "support/ui/find_widget.h"

using namespace lumar;
using namespace lumar::ui;
using test::Click;
using test::Find;

namespace {

struct Editor {
    test::TempDir dir;
    TextBlocks blocks;
    std::shared_ptr<test::FakeDialogs> dialogs = std::make_shared<test::FakeDialogs>();
    std::unique_ptr<VbCodeEditor> dialog;
    QPlainTextEdit* box = nullptr;

    void Open(TextBlockEditMode mode = TextBlockEditMode::New, int index = 0) {
        dialog = std::make_unique<VbCodeEditor>(
            blocks, mode, index,
            VbCodeEditorEnv{dir.file("Lumar.ini"), dir.file("language.ini"), nullptr, dialogs});
        dialog->show();
        box = Find<QPlainTextEdit>(dialog.get(), "txInfo");
    }
    // Chooses `file` in the file dialog of `button` ("" cancels).
    void ClickWithFile(const char* button, const std::string& file) {
        dialogs->file = file.empty() ? QString() : QString::fromStdString(dir.file(file));
        Click(dialog.get(), button);
    }
};

}  // namespace

class VbCodeEditorTest : public QObject {
    Q_OBJECT
  private slots:
    void takeOverStoresTheBlockCloseBoxNothing() {
        Editor e;
        e.Open();
        QTest::keyClicks(e.box, "eins");
        QTest::keyClick(e.box, Qt::Key_Return);
        QTest::keyClicks(e.box, "zwei");
        Find<QRadioButton>(e.dialog.get(), "opAusrichung_1")->click();
        Click(e.dialog.get(), "cmOK_2");
        QVERIFY(e.dialog->StoredBlock() == 1 && e.dialog->Placement() == TextBlockPlacement::After);

        e.Open(TextBlockEditMode::Change, 1);
        QCOMPARE(e.box->toPlainText(), QString("eins\nzwei"));
        const std::string settings = e.dir.read("Lumar.ini");
        e.box->setPlainText("neu");
        e.dialog->close();
        QVERIFY(!e.dialog->StoredBlock() && e.dir.read("Lumar.ini") == settings);
        QCOMPARE(e.blocks.Get(1), std::optional<std::string>("eins\r\nzwei"));
    }

    // Failures say whether saving or reading failed; "Yes" to replacing the text loses it
    // only once a file has been read; "No" appends the file.
    void saveAndLoadAskAndReportFailures() {
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

QTEST_MAIN(VbCodeEditorTest)
#include "vbcode_editor_test.moc"
