// The history window opened from the main window over a real history file: searching, copying
// codes, a posting in the window itself, and a deletion asked of a server on the loopback.
#include "history/ui/history_window.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTest>
#include <QUrl>
#include <cstring>

#include "app/ui/main_window_fakes.h"
#include "history/ui/history_model.h"
#include "shell/ui/desktop_services.h"
#include "support/test_http_server.h"

using namespace lumar;

class HistoryWindowTest : public QObject {
    Q_OBJECT
  private:
    test::WindowFixture* f_ = nullptr;
    std::unique_ptr<ui::MainWindow> w_;

    // Records the entries (oldest first), then opens the window from the main window.
    QWidget* Open(std::vector<HistoryEntry> entries) {
        HistoryStore store;
        store.Open(HistoryFile(f_->dir.path()));
        for (HistoryEntry& entry : entries)
            if (!store.Record(entry)) return nullptr;
        w_ = f_->Start();
        w_->show();
        test::Click(w_.get(), "cmHistory");
        return test::Find(w_.get(), "frmHistory");
    }
    HistoryEntry Entry(const std::string& file, const std::string& hoster, std::int64_t at,
                       const std::string& deletionUrl = "") {
        HistoryEntry entry;
        entry.filePath = f_->dir.file(file);
        entry.hosterId = entry.hosterName = hoster;
        entry.uploadedAt = at;
        entry.code = "[IMG]" + file + "[/IMG]";
        entry.deletionUrl = deletionUrl;
        return entry;
    }
    static QStringList Files(QWidget* window) {
        auto* model = window->findChild<ui::HistoryModel*>();
        QStringList files;
        for (int row = 0; row < model->rowCount(); ++row)
            files << model->data(model->index(row, ui::HistoryModel::kFile), Qt::DisplayRole)
                         .toString();
        return files;
    }

  private slots:
    void init() { f_ = new test::WindowFixture; }
    void cleanup() {
        w_.reset();
        delete f_;
    }

    void SearchCopyAndPosting() {
        const std::int64_t day = 86400;
        QWidget* history = Open({Entry("beach.jpg", "imgbb", 20000 * day),
                                 Entry("dog.jpg", "catbox", 20001 * day + 43200),
                                 Entry("cat.jpg", "imgbb", 20002 * day + 43200)});
        QCOMPARE(Files(history), QStringList({"cat.jpg", "dog.jpg", "beach.jpg"}));
        auto* search = test::Find<QLineEdit>(history, "txSearch");
        const struct {
            QString text;
            QStringList files;
        } searches[] = {{"BEACH", {"beach.jpg"}},
                        {"cat", {"cat.jpg", "dog.jpg"}},
                        {ui::HistoryDateText(20001 * day + 43200).left(10), {"dog.jpg"}},
                        {"", {"cat.jpg", "dog.jpg", "beach.jpg"}}};
        for (const auto& s : searches) {
            search->setText(s.text);
            QCOMPARE(Files(history), s.files);
        }

        if (const QByteArray dir = qgetenv("LUMAR_SCREENSHOT_DIR"); !dir.isEmpty()) {
            QImage picture(320, 240, QImage::Format_RGB32);
            picture.fill(QColor(90, 140, 200));
            picture.save(QString::fromStdString(f_->dir.file("cat.jpg")));
            test::Find<QTableView>(history, "lvHistory")->selectRow(0);
            QTest::qWait(200);  // the preview is loaded once the choice rests
            history->grab().save(QString::fromLocal8Bit(dir) + "/history-window.png");
        }
        test::Find<QTableView>(history, "lvHistory")->selectAll();
        test::Click(history, "cmCopyCodes");
        QCOMPARE(QApplication::clipboard()->text(),
                 QString("[IMG]cat.jpg[/IMG]\n[IMG]dog.jpg[/IMG]\n[IMG]beach.jpg[/IMG]"));
        // The posting lists them as they were uploaded, in the history window, which covers
        // the main window; its copy button copies it, and the code panel keeps its own.
        auto* code = test::Find<QPlainTextEdit>(w_.get(), "txcode");
        const QString panel = code->toPlainText();
        test::Click(history, "cmPosting");
        const QString posting = test::Find<QPlainTextEdit>(history, "txPosting")->toPlainText();
        QVERIFY2(posting.indexOf("beach.jpg") < posting.indexOf("dog.jpg") &&
                     posting.indexOf("dog.jpg") < posting.indexOf("cat.jpg") &&
                     posting.indexOf("beach.jpg") >= 0,
                 qPrintable(posting));
        QVERIFY(test::Find(history, "pHistoryPosting")->isVisible());
        test::Click(history, "cmCopyPosting");
        QCOMPARE(QApplication::clipboard()->text().remove('\r'), posting);
        QCOMPARE(code->toPlainText(), panel);
    }

    // The host's answer may come while a search hides the entry: it is marked all the same.
    void ADeletionMarksAnEntryTheSearchHides() {
        std::vector<HistoryEntry> entries = {Entry("a.jpg", "imgbb", 1000),
                                             Entry("b.jpg", "imgbb", 2000)};
        entries[0].id = 1;
        entries[1].id = 2;
        ui::HistoryModel model;
        model.SetEntries(entries);
        model.Filter("b.jpg");
        model.MarkDeletedOnHost(1);
        model.Filter("");
        QVERIFY(model.EntryAt(0).deletedOnHost && !model.EntryAt(1).deletedOnHost);
    }

    // "Deleted" only when the answer is 2xx and shows what the row said a deletion shows; a
    // row that does not say has its deletion page opened in the browser, and the entry is
    // never reused. The history keeps the entry either way.
    void DeleteOnHostSaysDeletedOnlyWhenTheHostConfirms() {
        const struct {
            const char* status;
            const char* body;
            const char* confirm;
            bool deleted, opened;
            const char* box;
        } cases[] = {
            {"200 OK", "<p>Image deleted</p>", "image\\s+deleted", true, false, "inform"},
            {"200 OK", "<form>Really delete?</form>", "image\\s+deleted", false, false, "warn"},
            {"404 Not Found", "Image deleted", "image deleted", false, false, "warn"},
            {"200 OK", "<form>Really delete?</form>", "", false, true, "inform"},
        };
        for (const auto& c : cases) {
            cleanup();
            init();
            test::TestHttpServer server([&c](const std::string&) {
                return test::TestAnswer{std::string("HTTP/1.1 ") + c.status +
                                        "\r\nContent-Length: " + std::to_string(strlen(c.body)) +
                                        "\r\nConnection: close\r\n\r\n" + c.body};
            });
            QStringList opened;
            ui::SetDesktopOpener([&opened](const QUrl& url) {
                opened << url.toString();
                return true;
            });
            HistoryEntry entry = Entry("a.jpg", "imgbb", 1000, server.Url("/delete/a"));
            entry.deletionConfirm = c.confirm;
            QWidget* history = Open({entry});
            test::Find<QTableView>(history, "lvHistory")->selectRow(0);
            f_->dialogs->answers = {true};
            test::Click(history, "cmDeleteOnHost");
            QTRY_VERIFY_WITH_TIMEOUT(!static_cast<ui::HistoryWindow*>(history)->Busy(), 30000);
            ui::SetDesktopOpener({});
            QCOMPARE(server.Requests().size(), size_t{c.opened ? 0u : 1u});
            if (!c.opened) QVERIFY(server.Requests()[0].starts_with("GET /delete/a HTTP/1.1"));
            QCOMPARE(opened, c.opened ? QStringList{QString::fromStdString(entry.deletionUrl)}
                                      : QStringList{});
            HistoryStore store;
            store.Open(HistoryFile(f_->dir.path()));
            const std::vector<HistoryEntry> kept = store.List({});
            QCOMPARE(kept.size(), size_t{1});
            QCOMPARE(kept[0].deletedOnHost, c.deleted);
            QCOMPARE(kept[0].deletionOpened, c.opened);
            QCOMPARE(f_->dialogs->Texts(c.box).size(), 1);
        }
    }
};

QTEST_MAIN(HistoryWindowTest)
#include "history_window_test.moc"
