#include "shell/ui/file_dialog.h"

#include <QFileDialog>
#include <QtTest>

#include "shell/multi_file_name.h"
#include "shell/ui/dialogs.h"

using namespace lumar;
using namespace lumar::ui;

namespace {

// Answers with what the test put in and remembers what it was asked.
struct ScriptedBackend : FileDialogBackend {
    ScriptedBackend(FileDialogAnswer a, FileDialogRequest* r) : answer(std::move(a)), asked(r) {}
    FileDialogAnswer Run(const FileDialogRequest& request) override {
        *asked = request;
        return answer;
    }
    FileDialogAnswer answer;
    FileDialogRequest* asked;
};

}  // namespace

class FileDialogTest : public QObject {
    Q_OBJECT

  private:
    FileDialogRequest asked_;
    cFileDialog Answering(FileDialogAnswer answer) {
        return cFileDialog(std::make_unique<ScriptedBackend>(std::move(answer), &asked_));
    }

  private slots:
    // Files from two folders still come back whole; a filter without pattern is dropped.
    void MultiSelectionGivesTheFormatTheListReads() {
        const QStringList files{"/a/x.jpg", "/b/y.jpg"};
        cFileDialog dialog = Answering({true, files, 0});
        dialog.setFlags(kFileMustExist | kAllowMultiSelect);
        dialog.SetFilter("JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg|without pattern");
        QVERIFY(dialog.ShowOpen());
        QStringList paths;
        for (const std::string& path : ParseMultiFileName(dialog.Filename()).FullPaths())
            paths << QString::fromStdString(path);
        QCOMPARE(paths, files);
        QVERIFY(asked_.multiple && asked_.mustExist && !asked_.save);
        QCOMPARE(asked_.nameFilters, QStringList{"JPEG (*.jpg;*.jpeg) (*.jpg *.jpeg)"});
    }

    // A cancel leaves name and filter as they were. A save offers the first name of a
    // multi-selection and reports the chosen filter 1-based.
    void SaveReportsPathAndChosenFilter() {
        const std::string offered("/x/a.jpg\0b.jpg\0\0", 17);
        cFileDialog dialog = Answering({});
        dialog.SetFilter("VBCode (*.vbc)|*.vbc|Text (*.txt)|*.txt");
        dialog.SetFilterIndex(2);
        dialog.SetFilename(offered);
        dialog.setFlags(kAllowMultiSelect);
        QVERIFY(!dialog.ShowSave());
        QVERIFY(dialog.Filename() == offered && dialog.FilterIndex() == 2);
        QVERIFY(asked_.save && !asked_.multiple && asked_.filterIndex == 1);
        QCOMPARE(asked_.fileName, QStringLiteral("/x/a.jpg"));
        dialog.SetBackend(
            std::make_unique<ScriptedBackend>(FileDialogAnswer{true, {"/t/p.txt"}, 0}, &asked_));
        QVERIFY(dialog.ShowSave());
        QVERIFY(dialog.Filename() == "/t/p.txt" && dialog.FilterIndex() == 1);
    }

    // Every file question of the program goes through the one object; each use sets what it
    // needs, so a name left by another window is neither offered nor taken for a choice.
    void DialogsServiceAsksThroughTheSharedObject() {
        cFileDialog shared = Answering({true, {"/m/klang.wav"}, 0});
        const std::shared_ptr<Dialogs> dialogs = ModalDialogs(shared);
        shared.SetFilename("left over from another window");
        QWidget owner;
        QCOMPARE(dialogs->ChooseOpenFile(&owner, {"Sound", "/m/", "Sound|*.wav", {}, false}),
                 QString("/m/klang.wav"));
        QVERIFY(asked_.mustExist && !asked_.save && asked_.fileName.isEmpty());
        QVERIFY(asked_.owner == &owner && shared.hwnd() == nullptr);
        // A name to save under is asked before replacing a file and gets the suffix.
        dialogs->ChooseSaveFile(nullptr, {"Save", "/f/", "VBCode (*.vbc)|*.vbc", "vbc", false});
        QVERIFY(asked_.save && asked_.confirmOverwrite && asked_.defaultSuffix == "vbc");
        shared.SetBackend(std::make_unique<ScriptedBackend>(FileDialogAnswer{}, &asked_));
        QCOMPARE(dialogs->ChooseOpenFile(nullptr, {}), QString());
    }

    // The desktop's dialog, set up and read without being shown.
    void QtDialogTakesTheRequest() {
        FileDialogRequest request;
        request.nameFilters = QtNameFilters("PNG|*.png|JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg");
        request.filterIndex = 1;
        request.multiple = true;
        QFileDialog dialog;
        QtFileDialogBackend::Configure(dialog, request);
        dialog.selectFile("/tmp/a.jpg");
        QCOMPARE(dialog.fileMode(), QFileDialog::ExistingFiles);
        QCOMPARE(QtFileDialogBackend::Answer(dialog, true).filterIndex, 1);
        QVERIFY(!QtFileDialogBackend::Answer(dialog, false).accepted);
    }
};

QTEST_MAIN(FileDialogTest)
#include "file_dialog_test.moc"
