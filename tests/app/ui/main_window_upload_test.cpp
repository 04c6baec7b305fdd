// A whole upload from a click on cmUpload to the posting in the code panel, against the
// hoster emulator on 127.0.0.1; cancel and quit during a run; the upload panel's timer; what
// the window says while it waits and about images that failed. The program runs under a
// German locale, as a German desktop session starts it, so the C library reads and writes
// numbers with a decimal comma.
#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <clocale>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <utility>

#include "history/ui/history_window.h"
#include "hoster_emulator/hoster_emulator.h"
#include "imagelist/row_text.h"
#include "imagelist/ui/image_list_panel.h"
#include "main_window_fakes.h"
#include "shell/file_io.h"
#include "shell/settings_store.h"
#include "shell/ui/qt_text.h"
#include "support/jpeg_maker.h"
#include "support/test_http_server.h"
#include "upload/ui/upload_panel.h"

using namespace lumar;
using ui::FromQ;
using ui::ToQ;

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
        StartWithImages(extraIni, {"a.jpg", "b.jpg"});
    }
    void StartWithImages(const std::string& extraIni, const std::vector<std::string>& names) {
        f_->dir.write("hosters.ini", emulator_->HostersIni());
        f_->dir.write("Lumar.ini", "[Bilder]\r\nTimeout=10\r\n" + extraIni);
        w_ = f_->Start();
        w_->show();
        // Each picture its own bytes: copies of one picture would go up once.
        int width = 64;
        for (const std::string& name : names)
            test::WriteJpeg(f_->dir.file("pics/" + name), width++, 48);
        w_->ListPanel()->AddDroppedPaths({QString::fromStdString(f_->dir.file("pics"))});
    }
    // The definition "today" for a server of the test's, and the shipped texts of a language
    // ("de", "en") as the settings folder's own.
    void UseHostAndLanguage(const test::TestHttpServer& host, const QString& language) {
        f_->dir.write("hosters.d/today.sxcu",
                      "{\"DestinationType\": \"ImageUploader\", \"RequestURL\": \"" +
                          host.Url("/up") +
                          "\", \"FileFormName\": \"f\", \"URL\": \"{json:url}\", "
                          "\"ErrorMessage\": \"{json:error}\"}");
        const std::string lang = std::string(LUMAR_SOURCE_DIR) + "/data/lang/" + FromQ(language);
        f_->dir.write("language.ini", ReadFileBytes(lang + ".ini").value_or(""));
    }
    // A JSON answer of the test's hosts.
    static test::TestAnswer Json(const std::string& status, const std::string& json) {
        const std::string head = "HTTP/1.1 " + status + "\r\nContent-Length: ";
        return test::TestAnswer{head + std::to_string(json.size()) + "\r\n\r\n" + json};
    }
    QString Str(int entry) const { return ToQ(w_->Strings().Get(entry)); }
    // Saves a picture of the window for the documentation when LUMAR_SCREENSHOT_DIR is set.
    void Screenshot(const char* name) {
        const QByteArray dir = qgetenv("LUMAR_SCREENSHOT_DIR");
        if (!dir.isEmpty()) w_->grab().save(QString::fromLocal8Bit(dir) + "/" + name);
    }
    // The same for the end message as the real box shows it.
    void MessageScreenshot(const QString& name, const QString& message) {
        const QByteArray dir = qgetenv("LUMAR_SCREENSHOT_DIR");
        if (dir.isEmpty()) return;
        QMessageBox box(QMessageBox::Information, Str(kStrNotAllUploadedTitle), message);
        box.show();
        box.grab().save(QString::fromLocal8Bit(dir) + "/" + name);
    }

    // A click on cmUpload; returns once the run it started is over.
    void Upload() {
        test::Click(w_.get(), "cmUpload");
        QTRY_VERIFY_WITH_TIMEOUT(!w_->UploadRunning(), 120000);
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

    void AWholeRunEndsWithThePostingInTheCodePanel() {
        StartWithTwoImages("[Stat]\r\nFiles=10\r\nSize=1572864.0\r\n");
        Screenshot("main-window.png");
        Find<QLabel>("lbFTP_6")->setText("-");  // as a run without any estimate would leave it
        Upload();
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

    void StoppingARunWhileTheHostIsSilent_data() {
        QTest::addColumn<QString>("control");
        QTest::newRow("cancel") << "cmAbbruch";
        QTest::newRow("quit") << "imWin_1";
    }
    // Cancel ends the run after the current image, which shows the code panel and reports the
    // images left; quitting ends it without further questions, at once when the close comes a
    // second time. A file opened meanwhile joins the list once the run is over, unless the
    // program is ending.
    void StoppingARunWhileTheHostIsSilent() {
        QFETCH(QString, control);
        emulator_->SetMisbehaviour(tools::Misbehaviour::NeverCloseSilent);
        StartWithTwoImages();
        double kb = 0;
        for (int p = 1; p <= 2; ++p) kb += Kilobytes(w_->List().Row(p).bytes);
        QString remaining, closing;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, this, [&] {
            if (!w_->UploadRunning() || emulator_->ConnectionCount() < 1) return;
            poll.stop();
            Screenshot("upload-panel.png");
            remaining = Find<QLabel>("lbFTP_4")->text();
            w_->OpenPaths({QString::fromStdString(f_->dir.file("pics/a.jpg"))});
            QCOMPARE(w_->List().Count(), 2);
            test::Click(w_.get(), control);
            if (control != "imWin_1") return;
            QVERIFY(w_->UploadRunning());  // the first close waits for the answer
            closing = Find<QLabel>("lblstatus")->text();
            test::Click(w_.get(), control);
        });
        poll.start(50);
        Upload();
        QCOMPARE(remaining, QLocale().toString(kb, 'f', 1) + " KB");
        QVERIFY(!w_->UploadRunning());
        QCOMPARE(emulator_->ConnectionCount(), 1);  // the second image was never tried
        QVERIFY(w_->List().Row(1).checked && w_->List().Row(2).checked);
        const bool quit = control == "imWin_1";
        QCOMPARE(w_->Quitting(), quit);
        QCOMPARE(f_->dialogs->shown.size(), size_t(quit ? 0 : 1));
        QCOMPARE(w_->List().Count(), quit ? 2 : 3);
        if (quit)
            QVERIFY2(closing.startsWith(QString::fromUtf8("Beende … – ")), qPrintable(closing));
        QCOMPARE(w_->isVisible(), !quit);
    }

    // The close image while the host is slow to answer: the window says it is ending and what
    // it waits for; the two images sent get their answers, "busy" for one of them without
    // another try, the other's code reaches the posting and the history; the third image never
    // starts, and nothing is asked.
    void QuittingKeepsTheCodesOfTheImagesSent() {
        std::mutex mutex;
        std::condition_variable released;
        bool closed = false;
        int arrived = 0, served = 0;
        test::TestServerOptions both;
        both.concurrent = true;
        test::TestHttpServer host(
            [&](const std::string&) {
                std::unique_lock lock(mutex);
                ++arrived;
                released.wait_for(lock, std::chrono::seconds(20), [&] { return closed; });
                if (++served == 2) return Json("503 Service Unavailable", "{}");
                return Json("200 OK", "{\"url\":\"http://h.test/a\"}");
            },
            both);
        UseHostAndLanguage(host, "de");
        StartWithImages("AnbieterId=today\r\nConnections=2\r\n[Posting]\r\nOwnThumbs=0\r\n",
                        {"a.jpg", "b.jpg", "c.jpg"});
        QString closing;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, this, [&] {
            const std::lock_guard lock(mutex);
            if (arrived < 2 || !Find<QLabel>("lblstatus")->text().startsWith(Str(kStrWaitingFor)))
                return;
            poll.stop();
            test::Click(w_.get(), "imWin_1");
            closing = Find<QLabel>("lblstatus")->text();
            closed = true;
            released.notify_all();
        });
        poll.start(20);
        Upload();
        QVERIFY(w_->Quitting() && !w_->UploadRunning() && !w_->isVisible());
        QVERIFY2(closing.startsWith(
                     QString::fromUtf8("Beende … – Warte auf Antwort von 127.0.0.1 … ")) &&
                     closing.endsWith(" s"),
                 qPrintable(closing));
        QVERIFY(f_->dialogs->shown.empty());
        QCOMPARE(host.Requests().size(), size_t(2));
        int left = 0;
        for (int row = 1; row <= 3; ++row) left += w_->List().Row(row).checked;
        QCOMPARE(left, 2);
        QVERIFY(w_->Posting().code.find("[IMG]http://h.test/a[/IMG]") != std::string::npos);
        HistoryStore history;
        history.Open(HistoryFile(f_->dir.path()));
        QCOMPARE(history.List({}).size(), size_t(1));
    }

    void ADeletionAndARunBothEndWhicheverStartsFirst_data() {
        QTest::addColumn<bool>("runFirst");
        QTest::newRow("a deletion during a run") << true;
        QTest::newRow("a run during a deletion") << false;
    }
    // Each host holds its answer until the other task went on past an answer of its own, so
    // neither task can wait inside the other: a.jpg's host until the deletion was asked (run
    // first) or was redirected (deletion first), the deletion's host until b.jpg came, which
    // the run sends only after a.jpg's answer (one connection), or until a.jpg came.
    void ADeletionAndARunBothEndWhicheverStartsFirst() {
        QFETCH(bool, runFirst);
        std::mutex mutex;
        std::condition_variable changed;
        std::set<std::string> seen;
        const auto note = [&](const std::string& what) {
            const std::lock_guard lock(mutex);
            seen.insert(what);
            changed.notify_all();
        };
        const auto awaited = [&](const std::string& what) {
            std::unique_lock lock(mutex);
            return changed.wait_for(lock, std::chrono::seconds(20),
                                    [&] { return seen.contains(what); });
        };
        const std::string uploadAwaits = runFirst ? "/delete/a" : "/deleted/a";
        const std::string deletionAwaits = runFirst ? "b.jpg" : "a.jpg";
        test::TestHttpServer host([&](const std::string& request) {
            const size_t at = request.find("filename=\"");
            if (at == std::string::npos) return Json("400 Bad Request", "{}");
            const std::string name = request.substr(at + 10, request.find('"', at + 10) - at - 10);
            note(name);
            if (name == "a.jpg" && !awaited(uploadAwaits))
                return Json("503 Service Unavailable", "{}");
            return Json("200 OK", "{\"url\":\"http://h.test/" + name + "\"}");
        });
        test::TestHttpServer deletions([&](const std::string& request) {
            if (!request.starts_with("GET /delete/a ")) {
                note("/deleted/a");
                return test::TestAnswer{
                    "HTTP/1.1 200 OK\r\nContent-Length: 13\r\n\r\nImage deleted"};
            }
            note("/delete/a");
            if (!awaited(deletionAwaits)) return Json("503 Service Unavailable", "{}");
            return test::TestAnswer{
                "HTTP/1.1 302 Found\r\nLocation: /deleted/a\r\nContent-Length: 0\r\n\r\n"};
        });
        HistoryEntry old;
        old.filePath = f_->dir.file("old.jpg");
        old.hosterId = old.hosterName = "today";
        old.code = "[IMG]http://h.test/old.jpg[/IMG]";
        old.deletionUrl = deletions.Url("/delete/a");
        old.deletionConfirm = "image deleted";
        {
            HistoryStore store;
            QVERIFY(store.Open(HistoryFile(f_->dir.path())) == HistoryOpening::kCreated);
            QVERIFY(store.Record(old));
        }
        UseHostAndLanguage(host, "de");
        StartWithTwoImages(
            "AnbieterId=today\r\nConnections=1\r\nRetries=0\r\n[Posting]\r\nOwnThumbs=0\r\n");
        const auto deleteOld = [&] {
            test::Click(w_.get(), "cmHistory");
            QWidget* history = Find("frmHistory");
            test::Find<QTableView>(history, "lvHistory")->selectRow(0);
            f_->dialogs->answers = {true};
            test::Click(history, "cmDeleteOnHost");
            return static_cast<ui::HistoryWindow*>(history);
        };
        ui::HistoryWindow* history = nullptr;
        if (runFirst) test::Click(w_.get(), "cmUpload");
        history = deleteOld();
        if (!runFirst) test::Click(w_.get(), "cmUpload");
        QVERIFY(w_->UploadRunning() && history->Busy());
        QTRY_VERIFY_WITH_TIMEOUT(!w_->UploadRunning() && !history->Busy(), 60000);

        QCOMPARE(f_->dialogs->Texts("warn"), QStringList{});
        QCOMPARE(f_->dialogs->Texts("inform").size(), 1);
        const std::string& code = w_->Posting().code;
        QVERIFY2(code.find("[IMG]http://h.test/a.jpg[/IMG]") != std::string::npos &&
                     code.find("[IMG]http://h.test/b.jpg[/IMG]") != std::string::npos,
                 code.c_str());
        HistoryStore store;
        store.Open(HistoryFile(f_->dir.path()));
        const std::vector<HistoryEntry> kept = store.List({});
        QCOMPARE(kept.size(), size_t{3});
        QVERIFY(std::ranges::any_of(kept, [&](const HistoryEntry& e) {
            return e.filePath == old.filePath && e.deletedOnHost;
        }));
    }

    void FailedImagesShowTheirReasons_data() {
        QTest::addColumn<QString>("language");
        QTest::newRow("de") << "de";
        QTest::newRow("en") << "en";
    }
    // At the end the message names the failed images with their reasons, the first ten and
    // then how many more; each failed row shows a warning and its reason as its tool tip until
    // it is tried again, and the code panel shows the run's log on request.
    void FailedImagesShowTheirReasons() {
        QFETCH(QString, language);
        std::atomic<bool> healed = false;
        test::TestHttpServer host([&](const std::string& request) {
            if (healed || request.find("filename=\"ok.jpg\"") != std::string::npos)
                return Json("200 OK", "{\"url\":\"http://h.test/ok\"}");
            return Json("500 Internal Server Error", "{\"error\":\"quota exceeded\"}");
        });
        UseHostAndLanguage(host, language);
        std::vector<std::string> names = {"ok.jpg"};
        for (int i = 1; i <= 11; ++i) names.push_back(FromQ(QString::asprintf("f%02d.jpg", i)));
        // The history keeps what the other language's run uploaded: nothing is reused here.
        StartWithImages("AnbieterId=today\r\nRetries=0\r\nReuse=0\r\n", names);
        Upload();

        const QString reason = "HTTP 500 Internal Server Error: quota exceeded";
        QString listed;
        for (int i = 1; i <= 10; ++i)
            listed += QString::fromUtf8("\r\n• f%1.jpg: ").arg(i, 2, 10, QChar('0')) + reason;
        const QStringList messages = f_->dialogs->Texts("inform");
        QCOMPARE(messages,
                 QStringList{Str(kStrNotAllUploaded) + "\r\n\r\n" + Str(kStrNotAllUploadedHint) +
                             "\r\n" + listed + "\r\n" + Str(kStrMoreFailed).replace("%1", "1")});
        test::Click(w_.get(), "cmRunLog");
        QVERIFY(Find<QPlainTextEdit>("txRunLog")->toPlainText().contains(reason));
        test::Click(w_.get(), "cmCode_2");
        const QAbstractItemModel* model = Find<QAbstractItemView>("lvBilder")->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            const QModelIndex name = model->index(row, 0);
            const bool failed = name.data().toString() != "ok.jpg";
            QCOMPARE(name.data(Qt::DecorationRole).isNull(), !failed);
            QCOMPARE(name.data(Qt::ToolTipRole).toString(),
                     name.data().toString() + (failed ? "\n" + reason : QString()));
        }
        Screenshot(qPrintable("failed-rows-" + language + ".png"));
        MessageScreenshot("failed-message-" + language + ".png", messages[0]);

        healed = true;
        Upload();
        QCOMPARE(f_->dialogs->Texts("inform").size(), 1);
        for (int row = 0; row < model->rowCount(); ++row)
            QVERIFY(model->index(row, 0).data(Qt::DecorationRole).isNull());
    }

    // A definition's questions are asked once before the first image; a cancel starts no run.
    // What its answers report through {outputbox} is shown once the run is over.
    void ADefinitionAsksOnceAndReportsAfterTheRun() {
        test::TestHttpServer host([](const std::string& request) {
            const bool tagged = request.find("\r\nX-Tag: mine\r\n") != std::string::npos;
            const std::string json = std::string(R"({"url":"http://h.test/)") +
                                     (tagged ? "a" : "untagged") + R"(","n":7})";
            return Json("200 OK", json);
        });
        f_->dir.write("hosters.d/ask.sxcu",
                      R"({"DestinationType": "ImageUploader", "RequestURL": ")" + host.Url("/up") +
                          R"(", "FileFormName": "f", "Headers": {"X-Tag": "{inputbox:Tag|none}"},
                          "URL": "{json:url}{outputbox:Count|{json:n}}"})");
        // One request per image: no thumbnails of Lumar's own beside them.
        StartWithTwoImages("AnbieterId=ask\r\n[Posting]\r\nOwnThumbs=0\r\n");
        f_->dialogs->typed = std::nullopt;
        Upload();
        QCOMPARE(f_->dialogs->Texts("texts"), QStringList{"Tag"});
        QVERIFY(host.Requests().empty());

        f_->dialogs->typed = QStringList{"mine"};
        Upload();
        QCOMPARE(f_->dialogs->Texts("texts"), (QStringList{"Tag", "Tag"}));
        QCOMPARE(host.Requests().size(), size_t(2));
        QVERIFY2(Find<QPlainTextEdit>("txcode")->toPlainText().contains("http://h.test/a"),
                 qPrintable(Find<QPlainTextEdit>("txcode")->toPlainText()));
        QCOMPARE(f_->dialogs->Texts("inform"), QStringList{"Count: 7\nCount: 7"});
    }

    // A picture deleted after it was added fails as missing in the log, and no message box
    // interrupts the run; the other picture still goes up.
    void APictureGoneSinceItWasAddedIsReportedMissing() {
        test::TestHttpServer host(
            [](const std::string&) { return Json("200 OK", "http://h.test/b"); });
        f_->dir.write("hosters.d/plain.sxcu",
                      R"({"DestinationType": "ImageUploader", "RequestURL": ")" + host.Url("/up") +
                          R"(", "FileFormName": "f", "URL": "{response}"})");
        StartWithTwoImages("Preview=1\r\nAnbieterId=plain\r\n[Posting]\r\nOwnThumbs=0\r\n");
        QVERIFY(QFile::remove(QString::fromStdString(f_->dir.file("pics/a.jpg"))));
        Upload();
        QCOMPARE(f_->dialogs->Texts("warn"), QStringList());
        QVERIFY(w_->UploadPanelWidget()->LogText().contains(
            "...fehlgeschlagen ! (Datei nicht gefunden)"));
        QCOMPARE(host.Requests().size(), size_t(1));
    }

    void TheTimerShowsTheRunsOwnTime() {
        ui::UploadPanel panel;
        panel.RunStarted(3);
        UploadFigures figures;
        figures.runStart = std::chrono::steady_clock::now() - std::chrono::seconds(3725);
        panel.Figures(figures);
        QCOMPARE(panel.findChild<QLabel*>("lbFTP_5")->text(), QString("01:02:05"));
        panel.RunFinished();
        QVERIFY(!panel.Timer()->isActive());
    }
};

int main(int argc, char** argv) {
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    QApplication app(argc, argv);  // takes the C library's locale from the environment
    MainWindowUploadTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "main_window_upload_test.moc"
