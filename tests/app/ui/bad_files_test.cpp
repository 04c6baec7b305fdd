// The main window with files that went bad: an image replaced after adding is reported by
// name and never freezes the window, and damaged settings or language files give a working
// window with the built-in texts.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "imagelist/ui/image_list_panel.h"
#include "imagelist/ui/image_list_view.h"
#include "imagelist/ui/preview.h"
#include "main_window_fakes.h"
#include "shell/config_paths.h"
#include "shell/settings_store.h"
#include "shell/ui/settings_warning.h"
#include "support/jpeg_maker.h"

using namespace lumar;

namespace {

// Opens a FIFO for writing once `limit` has passed, which releases a reader stuck in open();
// so a test that would hang fails instead.
class FifoWatchdog {
  public:
    FifoWatchdog(std::string fifo, std::chrono::seconds limit)
        : thread_([this, fifo = std::move(fifo), limit] {
              const auto end = std::chrono::steady_clock::now() + limit;
              while (!done_.load() && std::chrono::steady_clock::now() < end)
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              if (done_.load()) return;
              fired_.store(true);
              const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
              if (fd >= 0) ::close(fd);
          }) {}
    ~FifoWatchdog() {
        done_.store(true);
        thread_.join();
    }
    bool Fired() const { return fired_.load(); }

  private:
    std::atomic<bool> done_{false};
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

}  // namespace

class BadFilesWindowTest : public QObject {
    Q_OBJECT
  private:
    test::WindowFixture* f_ = nullptr;
    std::unique_ptr<ui::MainWindow> w_;

    ui::ImageListView* View() { return w_->listPanel()->listView(); }
    void Start() {
        w_ = f_->Start();
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    }
    std::string Drop(const std::string& name) {
        const std::string path = f_->dir.file("pics/" + name);
        test::WriteJpeg(path, 64, 48);
        w_->listPanel()->AddDroppedPaths({QString::fromStdString(path)});
        return path;
    }
    void ClickRow(int position) {
        const QRect cell = View()->visualRect(View()->model()->index(position - 1, 1));
        QTest::mouseClick(View()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    }
    QString NotAPictureText(const std::string& path) {
        return QString("Die Datei %1 ist kein gültiges Bild !").arg(QString::fromStdString(path));
    }

  private slots:
    void init() { f_ = new test::WindowFixture; }
    void cleanup() {
        w_.reset();
        delete f_;
        f_ = nullptr;
    }

    void anImageReplacedByAFifoOrFolderIsNamedWithoutFreezing() {
        Start();
        Drop("first.jpg");
        const std::string fifo = Drop("fifo.jpg");
        const std::string folder = Drop("folder.jpg");
        ClickRow(1);
        f_->dialogs->shown.clear();

        ::unlink(fifo.c_str());
        QCOMPARE(::mkfifo(fifo.c_str(), 0644), 0);
        {
            FifoWatchdog watchdog(fifo, std::chrono::seconds(20));
            ClickRow(2);
            QVERIFY2(!watchdog.Fired(), "the preview waited for a writer of the FIFO");
        }
        QCOMPARE(f_->dialogs->shown.size(), size_t(1));
        QCOMPARE(f_->dialogs->shown[0].text, NotAPictureText(fifo));
        QVERIFY(w_->listPanel()->preview()->IsEmpty());

        ::unlink(folder.c_str());
        QCOMPARE(::mkdir(folder.c_str(), 0755), 0);
        ClickRow(3);
        QCOMPARE(f_->dialogs->shown.size(), size_t(2));
        QCOMPARE(f_->dialogs->shown[1].text, NotAPictureText(folder));
    }

    void oddNamesAreShownAndPreviewedAsTheyAre() {
        Start();
        const std::string lines = Drop("two\nlines.jpg");
        // A Latin-1 name on disk is no UTF-8 and cannot pass through a QString; it comes in
        // with its folder, and the preview must still find it.
        const std::string latin1 = f_->dir.file("latin/caf\xE9.jpg");
        test::WriteJpeg(latin1, 64, 48);
        w_->listPanel()->AddDroppedPaths({QString::fromStdString(f_->dir.file("latin"))});
        QCOMPARE(w_->List().Count(), 2);
        QCOMPARE(w_->List().Row(1).FullPath(), lines);
        QCOMPARE(w_->List().Row(2).FullPath(), latin1);
        f_->dialogs->shown.clear();
        for (int row : {1, 2}) {
            ClickRow(row);
            QVERIFY(f_->dialogs->shown.empty());
            QVERIFY(!w_->listPanel()->preview()->IsEmpty());
        }
    }

    void damagedSettingsAndLanguageFilesGiveTheBuiltInTexts() {
        std::string garbage;
        for (int i = 0; i < 30000; ++i) garbage += static_cast<char>((i * 7919 + 13) & 0xFF);
        f_->dir.write("Lumar.ini", garbage);
        QCOMPARE(::mkdir(f_->dir.file("language.ini").c_str(), 0755), 0);
        Start();
        QCOMPARE(w_->findChild<QPushButton*>("cmUpload")->text(), QString("Upload starten"));
        QCOMPARE(w_->findChild<QCheckBox*>("ckBilder")->text(), QString("Vorschau"));
        QCOMPARE(w_->findChild<QCheckBox*>("ckBilder")->isChecked(), true);  // Preview's default
        // A setting changed in the window is stored without losing the damaged file's bytes.
        w_->findChild<QCheckBox*>("ckBilder")->click();
        QCOMPARE(ReadValue(f_->Settings(), "Bilder", "Preview", ""), std::string("0"));
        QCOMPARE(f_->dir.read("Lumar.ini").substr(0, garbage.size()), garbage);
    }

    void aSettingsFolderThatCannotBeWrittenIsNamedAtStartUp() {
        Start();
        QVERIFY(
            !ui::WarnIfSettingsUnwritable(w_.get(), *f_->dialogs, w_->Strings(), ConfigFolder()));
        QVERIFY(f_->dialogs->shown.empty());

        const std::string file = f_->dir.write("plain", "a file");
        const std::string folder = file + "/lumar/";
        QVERIFY(ui::WarnIfSettingsUnwritable(w_.get(), *f_->dialogs, w_->Strings(), folder));
        QCOMPARE(f_->dialogs->shown.size(), size_t(1));
        QCOMPARE(f_->dialogs->shown[0].kind, QString("warn"));
        QCOMPARE(
            f_->dialogs->shown[0].text,
            QString(
                "Die Einstellungen können nicht gespeichert werden. Ordner:\n%1\n(Not a directory)")
                .arg(QString::fromStdString(folder)));
    }
};

QTEST_MAIN(BadFilesWindowTest)
#include "bad_files_test.moc"
