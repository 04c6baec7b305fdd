#include "shell/ui/file_dialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <QtTest>

#include "shell/multi_file_name.h"
#include "shell/ui/dialogs.h"
#include "support/temp_dir.h"

using namespace lumar;
using namespace lumar::ui;

namespace {

// Answers with what the test put in and remembers what it was asked.
class ScriptedBackend : public FileDialogBackend {
  public:
    explicit ScriptedBackend(FileDialogAnswer answer, FileDialogRequest* asked)
        : answer_(std::move(answer)), asked_(asked) {}
    FileDialogAnswer Run(const FileDialogRequest& request) override {
        *asked_ = request;
        return answer_;
    }

  private:
    FileDialogAnswer answer_;
    FileDialogRequest* asked_;
};

FileDialogAnswer Accepted(QStringList files, int filterIndex = 0) {
    return {true, std::move(files), filterIndex};
}

}  // namespace

class FileDialogTest : public QObject {
    Q_OBJECT

  private:
    FileDialogRequest asked;
    cFileDialog Answering(FileDialogAnswer answer) {
        return cFileDialog(std::make_unique<ScriptedBackend>(std::move(answer), &asked));
    }

  private slots:
    void cancelLeavesFilenameAsItWas() {
        cFileDialog dialog = Answering({});
        dialog.SetFilename("/old/name.vbc");
        dialog.SetFilterIndex(2);
        QVERIFY(!dialog.ShowSave());
        QCOMPARE(dialog.Filename(), std::string("/old/name.vbc"));
        QCOMPARE(dialog.FilterIndex(), 2);
        dialog.SetCancelError(true);
        QVERIFY_THROWS_EXCEPTION(FileDialogCancelled, dialog.ShowOpen());
    }

    void multiSelectionGivesTheFormatTheListReads() {
        cFileDialog dialog = Answering(Accepted({"/home/u/Bilder/a.jpg", "/home/u/Bilder/b.jpg"}));
        dialog.setFlags(kFileMustExist | kAllowMultiSelect);
        dialog.SetFilter("JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg|without pattern");
        dialog.SetInitDir("/home/u/Bilder");
        QVERIFY(dialog.ShowOpen());
        QCOMPARE(dialog.Filename(), std::string("/home/u/Bilder\0a.jpg\0b.jpg\0\0", 28));
        QVERIFY(asked.multiple && asked.mustExist && !asked.save);
        QCOMPARE(asked.initialFolder, QStringLiteral("/home/u/Bilder"));
        QCOMPARE(asked.nameFilters, QStringList{"JPEG (*.jpg;*.jpeg) (*.jpg *.jpeg)"});

        // One file, and files from two folders, still come back whole.
        for (const QStringList& files :
             {QStringList{"/h/a.jpg"}, QStringList{"/a/x.jpg", "/b/y.jpg"}}) {
            dialog = Answering(Accepted(files));
            dialog.setFlags(kAllowMultiSelect);
            QVERIFY(dialog.ShowOpen());
            QStringList paths;
            for (const std::string& path : ParseMultiFileName(dialog.Filename()).FullPaths())
                paths << QString::fromStdString(path);
            QCOMPARE(paths, files);
        }
    }

    void saveReportsPathAndChosenFilter() {
        cFileDialog dialog = Answering(Accepted({"/tmp/posting.txt"}, 1));
        dialog.SetFilter("VBCode (*.vbc)|*.vbc|Text (*.txt)|*.txt");
        dialog.SetFilterIndex(1);
        dialog.SetFilename(std::string("/x/a.jpg\0b.jpg\0\0", 17));
        dialog.setFlags(kOverwritePrompt | kAllowMultiSelect);
        QVERIFY(dialog.ShowSave());
        QCOMPARE(dialog.Filename(), std::string("/tmp/posting.txt"));
        QCOMPARE(dialog.FilterIndex(), 2);
        QVERIFY(asked.save && !asked.multiple && asked.confirmOverwrite);
        QCOMPARE(asked.filterIndex, 0);
        QCOMPARE(asked.fileName, QStringLiteral("/x/a.jpg"));
    }

    // Every file question of the program goes through the one object; each use sets what it
    // needs, so a name left by another window is neither offered nor taken for a choice.
    void dialogsServiceAsksThroughTheSharedObject() {
        cFileDialog shared = Answering(Accepted({"/m/klang.wav"}));
        const std::shared_ptr<Dialogs> dialogs = ModalDialogs(shared);
        shared.SetFilename("left over from another window");
        QWidget owner;
        QCOMPARE(dialogs->ChooseOpenFile(&owner, {"Sound", "/m/", "Sound|*.wav", {}, false}),
                 QString("/m/klang.wav"));
        QVERIFY(asked.mustExist && !asked.save && !asked.multiple);
        QCOMPARE(asked.fileName, QString());
        QCOMPARE(asked.initialFolder, QString("/m/"));
        QCOMPARE(asked.owner, &owner);
        QCOMPARE(shared.hwnd(), nullptr);
        // A name to save under is asked before replacing a file and gets the suffix.
        dialogs->ChooseSaveFile(nullptr, {"Save", "/f/", "VBCode (*.vbc)|*.vbc", "vbc", false});
        QVERIFY(asked.save && asked.confirmOverwrite);
        QCOMPARE(asked.defaultSuffix, QString("vbc"));
        shared.SetBackend(std::make_unique<ScriptedBackend>(FileDialogAnswer{}, &asked));
        QCOMPARE(dialogs->ChooseOpenFile(nullptr, {}), QString());
    }

    // The real dialog, answered by a timer as a user would.
    void qtDialogRoundTrip() {
        test::TempDir dir;
        for (const char* name : {"a.jpg", "b.jpg", "c.png"}) dir.write(name, "x");
        FileDialogRequest request;
        request.initialFolder = QString::fromStdString(dir.path());
        request.nameFilters = QtNameFilters("PNG|*.png|JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg");
        request.filterIndex = 1;
        request.multiple = true;
        request.mustExist = true;
        bool seen = false;
        QFileDialog::FileMode mode = QFileDialog::AnyFile;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            seen = true;
            mode = dialog->fileMode();
            dialog->selectFile("\"a.jpg\" \"b.jpg\"");
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QtFileDialogBackend backend;
        const FileDialogAnswer answer = backend.Run(request);
        QVERIFY(seen);
        QCOMPARE(mode, QFileDialog::ExistingFiles);
        QVERIFY(answer.accepted);
        QCOMPARE(answer.filterIndex, 1);
        QStringList files = answer.files;
        files.sort();
        QCOMPARE(files, (QStringList{QString::fromStdString(dir.file("a.jpg")),
                                     QString::fromStdString(dir.file("b.jpg"))}));

        QTimer::singleShot(
            0, [] { QMetaObject::invokeMethod(QApplication::activeModalWidget(), "reject"); });
        QVERIFY(!backend.Run(request).accepted);
    }
};

QTEST_MAIN(FileDialogTest)
#include "file_dialog_test.moc"
