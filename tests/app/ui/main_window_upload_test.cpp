// A whole upload from a click on cmUpload to the posting in the code panel, against the
// hoster emulator on 127.0.0.1; cancel and quit during a run; the upload panel's timer. The program
// runs under a German locale, as a German desktop session starts it, so the C library reads and
// writes numbers with a decimal comma.
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "hoster_emulator/hoster_emulator.h"
#include "imagelist/row_text.h"
#include "imagelist/ui/image_list_panel.h"
#include "main_window_fakes.h"
#include "shell/settings_store.h"
#include "support/jpeg_maker.h"
#include "support/test_http_server.h"
#include "upload/ui/upload_panel.h"

using namespace lumar;

class MainWindowUploadTest : public QObject {
    Q_OBJECT
  private:
    test::WindowFixture* f_ = nullptr;
    tools::HosterEmulator* emulator_ = nullptr;
    std::unique_ptr<ui::MainWindow> w_;

    template <typename T = QWidget>
    T* Find(const char* name) {
        return test::Find<T>(w_.get(), name);
    }
    // A window on the emulator's hosters with the images a.jpg and b.jpg in its list.
    void StartWithTwoImages(const std::string& extraIni = "") {
        f_->dir.write("hosters.ini", emulator_->HostersIni());
        f_->dir.write("Lumar.ini", "[Bilder]\r\nTimeout=10\r\n" + extraIni);
        w_ = f_->Start();
        w_->show();
        for (const char* name : {"pics/a.jpg", "pics/b.jpg"})
            test::WriteJpeg(f_->dir.file(name), 64, 48);
        w_->listPanel()->AddDroppedPaths({QString::fromStdString(f_->dir.file("pics"))});
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
        StartWithTwoImages("[Stat]\r\nFiles=10\r\nSize=1572864.0\r\n");
        Screenshot("main-window.png");
        Find<QLabel>("lbFTP_6")->setText("-");  // as a run without any estimate would leave it
        test::Click(w_.get(), "cmUpload");
        QCOMPARE(Find<QLabel>("lbFTP_6")->text(), QString("00:00:00"));
        QVERIFY(f_->dialogs->shown.empty());
        Screenshot("code-panel.png");

        const QString posting = Find<QPlainTextEdit>("txcode")->toPlainText();
        QVERIFY2(posting.contains(QString::fromStdString(emulator_->Uploads().at(1).code)),
                 qPrintable(posting));
        QCOMPARE(ReadValue(f_->Settings(), "Stat", "Files", ""), std::string("12"));
        QCOMPARE(w_->StatusPanelText(3), QString("Upload: 12 - Size: 1,50 MB"));
        for (const auto& [option, picture] : {std::pair("opCode_1", "code-panel-html.png"),
                                              std::pair("opCode_2", "code-panel-markdown.png")}) {
            test::Click(w_.get(), option);
            Screenshot(picture);
        }
    }

    void stoppingARunWhileTheHostIsSilent_data() {
        QTest::addColumn<QString>("control");
        QTest::newRow("cancel") << "cmAbbruch";
        QTest::newRow("quit") << "imWin_1";
    }
    // Cancel ends the run after the current image, which shows the code panel and reports the
    // images left; quitting ends it without further questions. A file opened meanwhile joins
    // the list once the run is over, unless the program is ending.
    void stoppingARunWhileTheHostIsSilent() {
        QFETCH(QString, control);
        emulator_->SetMisbehaviour(tools::Misbehaviour::NeverCloseSilent);
        StartWithTwoImages();
        double kb = 0;
        for (int p = 1; p <= 2; ++p) kb += Kilobytes(w_->List().Row(p).bytes);
        QString remaining;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, this, [&] {
            if (!w_->UploadRunning() || emulator_->ConnectionCount() < 1) return;
            poll.stop();
            Screenshot("upload-panel.png");
            remaining = Find<QLabel>("lbFTP_4")->text();
            w_->OpenPaths({QString::fromStdString(f_->dir.file("pics/a.jpg"))});
            QCOMPARE(w_->List().Count(), 2);
            test::Click(w_.get(), control);
        });
        poll.start(50);
        test::Click(w_.get(), "cmUpload");
        QCOMPARE(remaining, QLocale().toString(kb, 'f', 1) + " KB");
        QVERIFY(!w_->UploadRunning());
        QCOMPARE(emulator_->ConnectionCount(), 1);  // the second image was never tried
        QVERIFY(w_->List().Row(1).checked && w_->List().Row(2).checked);
        const bool quit = control == "imWin_1";
        QCOMPARE(w_->Quitting(), quit);
        QCOMPARE(f_->dialogs->shown.size(), size_t(quit ? 0 : 1));
        QCOMPARE(w_->List().Count(), quit ? 2 : 3);
    }

    // A definition's questions are asked once before the first image; a cancel starts no run.
    // What its answers report through {outputbox} is shown once the run is over.
    void aDefinitionAsksOnceAndReportsAfterTheRun() {
        test::TestHttpServer host([](const std::string& request) {
            const bool tagged = request.find("\r\nX-Tag: mine\r\n") != std::string::npos;
            const std::string json = std::string(R"({"url":"http://h.test/)") +
                                     (tagged ? "a" : "untagged") + R"(","n":7})";
            return test::TestAnswer{"HTTP/1.1 200 OK\r\nContent-Length: " +
                                    std::to_string(json.size()) + "\r\n\r\n" + json};
        });
        f_->dir.write("hosters.d/ask.sxcu",
                      R"({"DestinationType": "ImageUploader", "RequestURL": ")" + host.Url("/up") +
                          R"(", "FileFormName": "f", "Headers": {"X-Tag": "{inputbox:Tag|none}"},
                          "URL": "{json:url}{outputbox:Count|{json:n}}"})");
        // One request per image: no thumbnails of Lumar's own beside them.
        StartWithTwoImages("AnbieterId=ask\r\n[Posting]\r\nOwnThumbs=0\r\n");
        f_->dialogs->typed = std::nullopt;
        test::Click(w_.get(), "cmUpload");
        QCOMPARE(f_->dialogs->Texts("texts"), QStringList{"Tag"});
        QVERIFY(host.Requests().empty());

        f_->dialogs->typed = QStringList{"mine"};
        test::Click(w_.get(), "cmUpload");
        QCOMPARE(f_->dialogs->Texts("texts"), (QStringList{"Tag", "Tag"}));
        QCOMPARE(host.Requests().size(), size_t(2));
        QVERIFY2(Find<QPlainTextEdit>("txcode")->toPlainText().contains("http://h.test/a"),
                 qPrintable(Find<QPlainTextEdit>("txcode")->toPlainText()));
        QCOMPARE(f_->dialogs->Texts("inform"), QStringList{"Count: 7\nCount: 7"});
    }

    void theTimerShowsTheRunsOwnTime() {
        ui::UploadPanel panel;
        panel.RunStarted(3);
        UploadFigures figures;
        figures.runStart = std::chrono::steady_clock::now() - std::chrono::seconds(3725);
        panel.Figures(figures);
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
