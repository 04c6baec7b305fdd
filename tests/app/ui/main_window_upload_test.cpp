// A whole upload from a click on cmUpload to the posting in the code panel, against the
// hoster emulator on 127.0.0.1; cancel and quit during a run; the upload panel's progress bar
// and timer. The program runs under a German locale, as a German desktop session starts it, so
// the C library reads and writes numbers with a decimal comma.
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "hoster_emulator/hoster_emulator.h"
#include "imagelist/ui/image_list_panel.h"
#include "main_window_fakes.h"
#include "shell/settings_store.h"
#include "support/jpeg_maker.h"
#include "upload/ui/upload_panel.h"

using namespace lumar;

class MainWindowUploadTest : public QObject {
    Q_OBJECT
  private:
    test::WindowFixture* f_ = nullptr;
    tools::HosterEmulator* emulator_ = nullptr;
    std::unique_ptr<ui::MainWindow> w_;

    template <typename T>
    T* Find(const char* name) {
        T* widget = w_->findChild<T*>(name);
        if (!widget) qFatal("no control %s", name);
        return widget;
    }
    bool Showing(const char* name) { return Find<QWidget>(name)->isVisibleTo(w_.get()); }
    void StartWindow(const std::string& extraIni = "") {
        f_->dir.write("hosters.ini", emulator_->HostersIni());
        f_->dir.write("Lumar.ini", "[Bilder]\r\nTimeout=10\r\n" + extraIni);
        w_ = f_->Start();
        w_->show();
    }
    void AddImages(const QStringList& names) {
        QStringList paths;
        for (const QString& n : names) {
            const std::string p = f_->dir.file("pics/" + n.toStdString());
            test::WriteJpeg(p, 120, 80);
            paths << QString::fromStdString(p);
        }
        w_->listPanel()->AddDroppedPaths(paths);
    }
    // Clicks cmUpload and runs `action` once the run waits for the host's first answer;
    // returns when the run is over.
    void UploadWhileWaitingForTheFirstAnswer(const std::function<void()>& action) {
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, this, [this, &poll, &action] {
            if (w_->UploadRunning() && emulator_->ConnectionCount() >= 1) {
                poll.stop();
                action();
            }
        });
        poll.start(50);
        QTest::mouseClick(Find<QPushButton>("cmUpload"), Qt::LeftButton);
    }
    // Saves a picture of the window for the documentation when LUMAR_SCREENSHOT_DIR is set.
    void Screenshot(const char* name) {
        const QByteArray dir = qgetenv("LUMAR_SCREENSHOT_DIR");
        if (!dir.isEmpty()) w_->grab().save(QString::fromLocal8Bit(dir) + "/" + name);
    }

  private slots:
    void initTestCase() {
        // Fails rather than skips: without the German locale the figures below prove nothing.
        QVERIFY2(std::strcmp(std::localeconv()->decimal_point, ",") == 0,
                 "de_DE.UTF-8 is missing; scripts/setup.sh generates it");
    }
    void init() {
        f_ = new test::WindowFixture;
        emulator_ = new tools::HosterEmulator;
        QVERIFY(emulator_->Listening());
    }
    void cleanup() {
        w_.reset();
        delete emulator_;
        delete f_;
    }

    void aWholeRunEndsWithThePostingInTheCodePanel() {
        StartWindow("[Stat]\r\nFiles=10\r\nSize=1572864.0\r\n");
        QCOMPARE(w_->StatusPanelText(3), QString("Upload: 10 - Size: 1,50 MB"));
        AddImages({"a.jpg", "b.jpg"});
        Screenshot("main-window.png");
        w_->List().SelectOnly(2);
        w_->listPanel()->Command(5);            // a break between the two images
        Find<QLabel>("lbFTP_6")->setText("-");  // as a run without any estimate would leave it
        QTest::mouseClick(Find<QPushButton>("cmUpload"), Qt::LeftButton);
        QCOMPARE(Find<QLabel>("lbFTP_6")->text(), QString("00:00:00"));

        // The code panel replaced the upload panel, which replaced the list.
        QVERIFY(Showing("picCode"));
        QVERIFY(!Showing("picTransfer"));
        QVERIFY(!Showing("pBilder"));
        QVERIFY(!w_->UploadRunning());
        QVERIFY(f_->dialogs->shown.empty());
        Screenshot("code-panel.png");

        const std::vector<tools::ReceivedUpload> uploads = emulator_->Uploads();
        QCOMPARE(uploads.size(), size_t(2));
        QVERIFY(QString::fromStdString(uploads[0].fileName).endsWith("/a.jpg"));
        // Each row holds its code and is no longer checked; the break row was collected too.
        const ImageList& list = w_->List();
        QCOMPARE(list.Row(1).upload, uploads[0].code);
        QCOMPARE(list.Row(3).upload, uploads[1].code);
        for (int p = 1; p <= 3; ++p) QVERIFY(!list.Row(p).checked);
        const QString posting = Find<QPlainTextEdit>("txcode")->toPlainText();
        const qsizetype first = posting.indexOf(QString::fromStdString(uploads[0].code));
        const qsizetype second = posting.indexOf(QString::fromStdString(uploads[1].code));
        QVERIFY2(first >= 0 && second > first, qPrintable(posting));
        QVERIFY(posting.mid(first, second - first).contains('\n'));
        QVERIFY(posting.startsWith("[CENTER]"));

        // Log, totals and status bar.
        const QStringList log = w_->uploadPanel()->LogText().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(log.size(), 2);
        for (const QString& line : log) QVERIFY2(line.endsWith("erfolgreich !"), qPrintable(line));
        QCOMPARE(ReadValue(f_->Settings(), "Stat", "Files", ""), std::string("12"));
        QCOMPARE(w_->StatFiles(), 12.0);
        QCOMPARE(w_->StatusPanelText(3), QString("Upload: 12 - Size: 1,50 MB"));
        QCOMPARE(w_->uploadPanel()->progress()->Percent(), 100);

        // "Schliessen" brings the list back (the code panel's own test checks what it stores).
        QTest::mouseClick(Find<QPushButton>("cmCode_2"), Qt::LeftButton);
        QVERIFY(Showing("pBilder"));
        QVERIFY(!Showing("picCode"));
    }

    void aFailedImageStaysCheckedAndIsReportedOnceAtTheEnd() {
        emulator_->SetMisbehaviour(tools::Misbehaviour::NoMarkers);
        StartWindow();
        AddImages({"a.jpg"});
        QTest::mouseClick(Find<QPushButton>("cmUpload"), Qt::LeftButton);
        QVERIFY(Showing("picCode"));
        QVERIFY(w_->List().Row(1).checked);
        QCOMPARE(f_->dialogs->shown.size(), size_t(1));
        QCOMPARE(f_->dialogs->shown[0].kind, QString("inform"));
        QCOMPARE(f_->dialogs->shown[0].title, QString("Lumar V1 - Information"));
        QVERIFY2(w_->uploadPanel()->LogText().contains("fehlgeschlagen !"),
                 qPrintable(w_->uploadPanel()->LogText()));
        QCOMPARE(ReadValue(f_->Settings(), "Stat", "Files", "none"), std::string("none"));
    }

    void cancelEndsTheRunAfterTheCurrentImage() {
        emulator_->SetMisbehaviour(tools::Misbehaviour::NeverCloseSilent);
        StartWindow();
        AddImages({"a.jpg", "b.jpg"});
        double kb = 0;
        for (int p = 1; p <= 2; ++p)
            kb += QLocale().toDouble(QString::fromStdString(w_->List().Row(p).kB).trimmed());
        QVERIFY(kb > 0);
        QString remaining;
        UploadWhileWaitingForTheFirstAnswer([this, &remaining] {
            Screenshot("upload-panel.png");
            remaining = Find<QLabel>("lbFTP_4")->text();
            QTest::mouseClick(Find<QPushButton>("cmAbbruch"), Qt::LeftButton);
        });
        QCOMPARE(remaining, QLocale().toString(kb, 'f', 1) + " KB");
        QVERIFY(!w_->UploadRunning());
        QCOMPARE(emulator_->ConnectionCount(), 1);  // the second image was never tried
        QVERIFY(w_->List().Row(1).checked);
        QVERIFY(w_->List().Row(2).checked);
        QVERIFY(Showing("picCode"));
        QCOMPARE(f_->dialogs->shown.size(), size_t(1));
    }

    void quittingDuringARunEndsItWithoutFurtherQuestions() {
        emulator_->SetMisbehaviour(tools::Misbehaviour::NeverCloseSilent);
        StartWindow();
        AddImages({"a.jpg", "b.jpg"});
        UploadWhileWaitingForTheFirstAnswer(
            [this] { QTest::mouseClick(Find<QLabel>("imWin_1"), Qt::LeftButton); });
        QVERIFY(w_->Quitting());
        QVERIFY(!w_->UploadRunning());
        QVERIFY(!w_->isVisible());
        QCOMPARE(emulator_->ConnectionCount(), 1);
        QVERIFY(f_->dialogs->shown.empty());
        QCOMPARE(ReadValue(f_->Settings(), "Bilder", "Anbieter", ""), std::string("0"));
    }

    void progressBarAndTimerOfTheUploadPanel() {
        ui::UploadPanel panel;
        panel.resize(500, 300);
        ui::ProgressBox* bar = panel.progress();
        bar->resize(300, 22);
        // No images: no bar, the label reads 100 %.
        bar->DrawProgress(0, 0, 0);
        QCOMPARE(bar->Percent(), 100);
        QCOMPARE(bar->FilledWidth(), 0);
        QCOMPARE(bar->LabelText(), QString("100 %"));
        QCOMPARE(bar->LabelColor(), QColor(Qt::black));
        // Half done: the label starts inside the bar and is drawn white.
        bar->DrawProgress(1, 0, 2);
        QCOMPARE(bar->Percent(), 50);
        QCOMPARE(bar->FilledWidth(), 150);
        QCOMPARE(bar->LabelColor(), QColor(Qt::white));
        // A tenth: the label stands beside the bar in black. Values beyond the maximum clamp.
        bar->DrawProgress(1, 0, 10);
        QCOMPARE(bar->FilledWidth(), 30);
        QCOMPARE(bar->LabelColor(), QColor(Qt::black));
        bar->DrawProgress(12, 0, 10);
        QCOMPARE(bar->Percent(), 100);
        QCOMPARE(bar->FilledWidth(), 300);

        // Each tick advances the elapsed time and blinks the status line.
        panel.RunStarted(3);
        QVERIFY(panel.timer()->isActive());
        QCOMPARE(panel.timer()->interval(), 1000);
        const QColor start = panel.StatusColor();
        panel.Tick();
        QCOMPARE(panel.findChild<QLabel*>("lbFTP_5")->text(), QString("00:00:01"));
        QVERIFY(panel.StatusColor() != start);
        panel.Tick();
        QCOMPARE(panel.StatusColor(), start);
        for (int i = 0; i < 3723; ++i) panel.Tick();
        QCOMPARE(panel.findChild<QLabel*>("lbFTP_5")->text(), QString("01:02:05"));
        panel.RunFinished();
        QVERIFY(!panel.timer()->isActive());
    }
};

int main(int argc, char** argv) {
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    QApplication app(argc, argv);  // takes the C library's locale from the environment
    MainWindowUploadTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "main_window_upload_test.moc"
