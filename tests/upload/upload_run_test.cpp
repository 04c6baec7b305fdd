#include "upload/upload_run.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "imagelist/image_info.h"
#include "shell/settings_store.h"
#include "shell/text_codec.h"
#include "support/jpeg_maker.h"
#include "support/test_http_server.h"
#include "support/upload_fixture.h"
#include "upload/answer_evaluator.h"
#include "upload/socket_layer.h"

namespace lumar {
namespace {

using tools::Misbehaviour;
using Clock = std::chrono::steady_clock;
using Failures = std::vector<std::pair<int, std::string>>;

class UploadRunTest : public ::testing::Test, protected test::UploadFixture {};

// How often a file in a folder was opened since the last call, as the kernel reports it.
class OpenCount {
  public:
    explicit OpenCount(const std::string& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        // With the closes between them, two opens in a row are not merged into one event.
        EXPECT_GE(::inotify_add_watch(fd_, folder.c_str(), IN_OPEN | IN_CLOSE), 0);
    }
    ~OpenCount() { ::close(fd_); }
    OpenCount(const OpenCount&) = delete;
    OpenCount& operator=(const OpenCount&) = delete;
    int Of(const std::string& name) {
        alignas(inotify_event) char buffer[4096];
        for (ssize_t got; (got = ::read(fd_, buffer, sizeof buffer)) > 0;)
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 && (event->mask & IN_OPEN) != 0) ++opens_[event->name];
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        return std::exchange(opens_[name], 0);
    }

  private:
    int fd_;
    std::map<std::string, int> opens_;
};

// Every row uploads each image and keeps its code; every link that code holds leads somewhere:
// the thumbnail's page link to a page showing the picture, and the picture to the bytes sent.
TEST_F(UploadRunTest, EveryHosterRowUploadsEachImageAndKeepsItsCode) {
    // Rows that cut whole codes between markers never get thumbnails of Lumar's own.
    configure = [](UploadRunOptions& o) { o.ownThumbSide = 350; };
    const std::string base = "http://127.0.0.1:" + std::to_string(emulator.Port());
    auto get = [&](const std::string& path) {
        UploadConnection c;
        EXPECT_TRUE(c.ConnectTo("127.0.0.1", emulator.Port(), std::chrono::seconds(10), {}));
        EXPECT_GT(c.SendData("GET " + path + " HTTP/1.0\r\n\r\n", {}), 0);
        EXPECT_EQ(c.WaitForAnswer({}), WaitEnd::kClosed);
        return c.Response().Answer();
    };
    // The address in `code` that starts with `prefix`, up to the next bracket or quote.
    auto link = [&](const std::string& code, const std::string& prefix) {
        const size_t at = code.find(prefix);
        if (at == std::string::npos) return std::string("(no link)");
        return code.substr(at + base.size(), code.find_first_of("[]\"", at) - at - base.size());
    };
    for (int hoster = 1; hoster <= 7; ++hoster) {
        SCOPED_TRACE(hoster);
        std::vector<ImageEntry> rows = {Image("pic one.jpg"), Image("two.jpg")};
        RunUpload(rows, hoster);
        EXPECT_EQ(rows[1].upload, Codes().back());
        EXPECT_FALSE(rows[0].checked || rows[1].checked);
        EXPECT_EQ(recorder->changedRows, (std::vector<int>{1, 2}));
        const std::string picture = link(rows[0].upload, base + "/i/");
        EXPECT_NE(get(link(rows[0].upload, base + "/v/")).find("<img src=\"" + picture + "\""),
                  std::string::npos);
        EXPECT_EQ(get(picture), dir.read("pic one.jpg"));
    }
    EXPECT_EQ(emulator.Uploads()[0].fileName, dir.path() + "/pic one.jpg");  // the full path
    // The totals grow with every success and are written at once.
    EXPECT_EQ(ReadValue(settings, "Stat", "Files", ""), "14");

    // When the settings cannot be written the shown totals still grow with every image, and
    // the run says so once.
    settings = dir.file("two.jpg/Lumar.ini");
    std::vector<ImageEntry> rows = {Image("three.jpg"), Image("four.jpg")};
    RunUpload(rows, 1);
    EXPECT_EQ(recorder->stats.first, 2);
    EXPECT_EQ(recorder->totalsNotSaved, 1);
}

TEST_F(UploadRunTest, StatusLinesFiguresProgressAndTheEndInOrder) {
    std::vector<ImageEntry> rows = {Image("a.jpg", 3), MarkerRow("*UMBRUCH*"), Image("b.jpg", 5)};
    WriteValue(settings, "Sound", "SoundAn", "1");
    WriteValue(settings, "Sound", "Soundfile", "/sounds/done.wav");
    WriteValue(settings, "Bilder", "Form", "1");
    RunUpload(rows, 4);
    EXPECT_EQ(recorder->events,
              (std::vector<std::string>{"started 2", "collect", "finished", "finish",
                                        "sound /sounds/done.wav", "front"}));
    EXPECT_EQ(recorder->progress, (std::vector<std::pair<int, int>>{{0, 2}, {1, 2}, {2, 2}}));
    EXPECT_DOUBLE_EQ(recorder->figures.at(0).remainingKB, 8);
    EXPECT_DOUBLE_EQ(recorder->figures.back().remainingKB, 0);
}

// A classic row sends the next picture before it tells the success of the one before, so the
// host works on one while the other's entry is written; the log keeps the images' order.
TEST_F(UploadRunTest, TheNextRequestGoesOutWhileTheSuccessBeforeIsRecorded) {
    HistoryStore store;
    ASSERT_EQ(store.Open(dir.file("history.sqlite")), HistoryOpening::kCreated);
    configure = [&](UploadRunOptions& o) { o.history = &store; };
    std::vector<size_t> linesAtSending;  // the log's finished lines as each request goes out
    onStatus = [&] {
        if (recorder->statuses.back() == "Sende Request...")
            linesAtSending.push_back(recorder->log.size());
    };
    // A PNG, which the row does not take, is passed over after the success before it is told.
    std::vector<ImageEntry> rows = {Image("a.jpg"), Image("b.jpg"), Image("c.png"), Image("d.jpg")};
    dir.write("c.png", test::MakePngHead(16, 16));
    RunUpload(rows, 1);
    EXPECT_EQ(linesAtSending, (std::vector<size_t>{0, 0, 3}));
    EXPECT_EQ(recorder->log, (std::vector<std::string>{
                                 Line("a.jpg", "erfolgreich !"), Line("b.jpg", "erfolgreich !"),
                                 Line("c.png", "übersprungen: dieser Hoster nimmt nur JPEG"),
                                 Line("d.jpg", "erfolgreich !")}));
    EXPECT_EQ(recorder->progress.size(), 5u);
    EXPECT_EQ(store.List({}).size(), 3u);
    // The writer's thread grows the totals after each entry, as the loop does without one.
    EXPECT_EQ(ReadValue(settings, "Stat", "Files", ""), "3");
    EXPECT_EQ(recorder->stats.first, 3);

    // Another program holding the settings' lock holds up the totals, not the reports: every
    // success is told while the lock is held, and the totals follow once it is let go.
    const int lock = ::open(dir.file("Lumar.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    std::vector<ImageEntry> held = {Image("g.jpg"), Image("h.jpg")};
    std::pair<double, double> statsWhileHeld{-1, -1};
    onLine = [&] {
        if (recorder->log.size() == 2) {
            statsWhileHeld = recorder->stats;
            ::close(lock);
        }
    };
    RunUpload(held, 1);
    onLine = nullptr;
    EXPECT_EQ(statsWhileHeld.first, 0);
    EXPECT_EQ(recorder->stats.first, 5);
    EXPECT_EQ(ReadValue(settings, "Stat", "Files", ""), "5");

    settings = dir.file("a.jpg/Lumar.ini");  // cannot be written
    std::vector<ImageEntry> more = {Image("e.jpg"), Image("f.jpg")};
    RunUpload(more, 1);
    EXPECT_EQ(recorder->stats.first, 2);
    EXPECT_EQ(recorder->totalsNotSaved, 1);
}

// Files that went bad after they were added each fail with their own line and stay checked,
// as does a PNG, which a built-in host does not take; the run goes on, waits on none of them,
// and a second run uploads only what failed.
TEST_F(UploadRunTest, UnreadableFilesFailAloneAndASecondRunUploadsOnlyThem) {
    std::vector<ImageEntry> rows = {Image("first.jpg"), Image("vanished.jpg"), Image("fifo.jpg"),
                                    Image("shot.png"),  Image("huge.jpg"),     Image("last.jpg")};
    for (const char* name : {"vanished.jpg", "fifo.jpg"}) ::unlink(dir.file(name).c_str());
    ::mkfifo(dir.file("fifo.jpg").c_str(), 0644);
    dir.write("shot.png", test::MakePngHead(16, 16));
    // Over the general cap of 200 MB without taking the disk space: it must never be read.
    ASSERT_EQ(::truncate(dir.file("huge.jpg").c_str(), 201 << 20), 0);
    RunUpload(rows, 1);

    const std::string unreadable = "fehlgeschlagen ! (Datei nicht lesbar)";
    const std::string skipped = "übersprungen: dieser Hoster nimmt nur JPEG";
    const std::string huge = "fehlgeschlagen ! (Bild zu groß: 201 MB, höchstens 200 MB)";
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].text);
        const bool fails = i > 0 && i + 1 < rows.size();
        const std::string failure = rows[i].text == "shot.png"   ? skipped
                                    : rows[i].text == "huge.jpg" ? huge
                                                                 : unreadable;
        EXPECT_EQ(recorder->log.at(i), Line(rows[i].text, fails ? failure : "erfolgreich !"));
        EXPECT_EQ(rows[i].checked, fails);  // kept for a later try
    }
    EXPECT_EQ(std::count(recorder->events.begin(), recorder->events.end(), "message"), 1);
    // The front end hears each failure with its reason alone.
    EXPECT_EQ(WordedFailures(), (Failures{{2, "Datei nicht lesbar"},
                                          {3, "Datei nicht lesbar"},
                                          {4, skipped},
                                          {5, "Bild zu groß: 201 MB, höchstens 200 MB"}}));

    // A second run uploads what is checked; a retry that fails keeps the row's earlier code.
    std::vector<ImageEntry> again = {rows[0], rows[1], rows[5]};
    again[0].checked = true;
    ::unlink(dir.file("first.jpg").c_str());
    test::WriteJpeg(dir.file("vanished.jpg"), 8, 8);
    const std::string posting = RunUpload(again, 1);
    EXPECT_EQ(recorder->log, (std::vector<std::string>{Line("first.jpg", unreadable),
                                                       Line("vanished.jpg", "erfolgreich !")}));
    EXPECT_EQ(again[0].upload, rows[0].upload);
    EXPECT_EQ(posting, rows[0].upload + " " + Codes().back() + " " + rows[5].upload + " ");

    // A row that lists the types it takes names the one it refused, classic or standard, and
    // sends nothing.
    hosters = LoadHostersFromText(
        emulator.HostersIni() + "[Hoster8]\nName=S\nRequest=standard\nUploadUrl=http://127.0.0.1:" +
        std::to_string(emulator.Port()) + "/up\nFileField=f\nAccepts=jpeg,gif\n");
    hosters.Hosters[1].Accepts = "jpeg,gif";
    const size_t sent = emulator.Uploads().size();
    for (const int hoster : {1, 8}) {
        std::vector<ImageEntry> png = {rows[3]};
        RunUpload(png, hoster);
        EXPECT_EQ(recorder->log,
                  (std::vector<std::string>{
                      Line("shot.png", "übersprungen: dieser Hoster nimmt keine PNG-Dateien")}))
            << hoster;
    }
    EXPECT_EQ(emulator.Uploads().size(), sent);

    // A standard row names a file gone since it was added as missing, in one line, before
    // anything is sent; the observer gets the same reason for its row.
    std::vector<ImageEntry> gone = {rows[0]};
    gone[0].checked = true;
    RunUpload(gone, 8);
    EXPECT_EQ(recorder->log, std::vector<std::string>{
                                 Line("first.jpg", "fehlgeschlagen ! (Datei nicht gefunden)")});
    EXPECT_EQ(recorder->failures, (std::vector<std::pair<int, Reason>>{
                                      {1, {ReasonCode::kFileMissing, {dir.file("first.jpg")}}}}));
    EXPECT_EQ(emulator.Uploads().size(), sent);
}

// A name goes out in the host's code page where it fits; a line break, which would end the
// part's header line early, goes out escaped as browsers send it, and the log writes it out.
// A picture that holds the request's boundary arrives whole all the same.
TEST_F(UploadRunTest, UnusualNamesArriveWholeAndCannotBreakTheRequest) {
    std::vector<ImageEntry> rows = {Image("caf\xE9.jpg"), Image("two\r\nContent-Type: x.jpg"),
                                    Image("inside.jpg")};
    const std::string inside = test::MakeJpeg(16, 16) + "\r\n--ZoBaRmInTeRiX--\r\nafter";
    dir.write("inside.jpg", inside);
    RunUpload(rows, 1);
    EXPECT_EQ(recorder->log.at(1), Line("two\\r\\nContent-Type: x.jpg", "erfolgreich !"));
    ASSERT_EQ(emulator.Uploads().size(), 3u);
    EXPECT_EQ(emulator.Uploads()[0].fileName, dir.path() + "/caf\xE9.jpg");
    EXPECT_EQ(emulator.Uploads()[1].fileName, dir.path() + "/two%0D%0AContent-Type: x.jpg");
    EXPECT_EQ(emulator.Uploads()[2].fileBytes, inside);
}

// A stored time-out of 0 once failed every image at once; it is used as one second, long
// enough for the answer of a host that keeps the connection open.
TEST_F(UploadRunTest, AStoredTimeoutOfZeroStillWaits) {
    WriteValue(settings, "Bilder", "Timeout", "0");
    emulator.SetMisbehaviour(Misbehaviour::NeverClose);
    std::vector<ImageEntry> rows = {Image("a.jpg"), Image("b.jpg")};
    RunUpload(rows, 1);
    EXPECT_FALSE(rows[0].checked || rows[1].checked);
}

// A cut that is no code, or no hoster chosen (the empty row),
// fails with its reason and counts nowhere.
TEST_F(UploadRunTest, NoCodeOrNoHosterFailsWithItsReason) {
    emulator.SetRawAnswer(
        "HTTP/1.0 200 OK\r\n\r\n<textarea>[URL=" + std::string(70000, 'x') + "</textarea>", {});
    for (const auto& [hoster, line] :
         {std::pair{6, Line("a.jpg", "fehlgeschlagen ! (Code zu lang)")},
          std::pair<int, std::string>{0,
                                      "Verbindung zu  fehlgeschlagen ! (Host nicht gefunden)"}}) {
        std::vector<ImageEntry> rows = {Image("a.jpg")};
        RunUpload(rows, hoster);
        EXPECT_EQ(recorder->log, std::vector<std::string>{line});
        EXPECT_EQ(ReadValue(settings, "Stat", "Files", "none"), "none");
    }
}

// A standard row (row 8) on a server of the test's that may answer several uploads at once:
// `answer` gets the file name and how often that file was sent so far, and returns the whole
// HTTP answer, held back until its `ready` holds (checked whenever the run pumps or a request
// arrives; after 20 s it goes out anyway, so a wrong order fails instead of hanging).
class StandardRunTest : public UploadRunTest {
  protected:
    struct Reply {
        std::string http;
        std::function<bool()> ready = nullptr;  // called with `mutex` held
    };
    std::function<Reply(const std::string& name, int attempt)> answer =
        [](const std::string& name, int) { return Link(name); };

    ~StandardRunTest() override {
        {
            const std::lock_guard lock(mutex);
            released = true;
        }
        changed.notify_all();
        server.reset();
    }

    void Serve(bool concurrent, const std::string& rowKeys = "") {
        test::TestServerOptions options;
        options.concurrent = concurrent;
        server = std::make_unique<test::TestHttpServer>(
            [this](const std::string& request) {
                const size_t at = request.find("filename=\"") + 10;
                const std::string name = request.substr(at, request.find('"', at) - at);
                std::unique_lock lock(mutex);
                const size_t from = request.find(' ') + 1;
                target = request.substr(from, request.find(' ', from) - from);
                const Reply reply = answer(name, ++tries[name]);
                mostInFlight = std::max(mostInFlight, ++inFlight);
                changed.notify_all();
                if (reply.ready)
                    changed.wait_for(lock, std::chrono::seconds(20),
                                     [&] { return released || reply.ready(); });
                --inFlight;
                return test::TestAnswer{reply.http};
            },
            options);
        hosters = LoadHostersFromText(TodayRow("/up", "f") + rowKeys);
        configure = [](UploadRunOptions& o) { o.retryBaseDelay = std::chrono::milliseconds(10); };
        pump = [this] {
            {
                const std::lock_guard lock(mutex);
                logged = recorder->log.size();
            }
            changed.notify_all();
        };
    }
    static Reply Link(const std::string& name, std::function<bool()> ready = nullptr) {
        return {"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(name.size() + 9) +
                    "\r\n\r\nhttp://h/" + name,
                std::move(ready)};
    }
    static std::string Code(const std::string& name) { return "[IMG]http://h/" + name + "[/IMG]"; }
    // The emulator's rows and row 8 on this test's server.
    std::string TodayRow(const std::string& path, const std::string& field) const {
        return emulator.HostersIni() +
               "[Hoster8]\nName=Today\nRequest=standard\nUploadUrl=" + server->Url(path) +
               "\nFileField=" + field + "\n";
    }
    // The run keeps its history in history.sqlite; `more` sets what else a case needs.
    void KeepHistory(std::function<void(UploadRunOptions&)> more = nullptr) {
        if (!historyOpen) {
            ASSERT_EQ(history.Open(dir.file("history.sqlite")), HistoryOpening::kCreated);
            historyOpen = true;
        }
        configure = [this, more](UploadRunOptions& o) {
            o.history = &history;
            if (more) more(o);
        };
    }

    HistoryStore history;
    bool historyOpen = false;

    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::string, int> tries;
    std::string target;  // of the request being answered
    int inFlight = 0, mostInFlight = 0;
    size_t logged = 0;      // log lines the run had written when it last pumped
    bool released = false;  // every held answer goes out
    std::unique_ptr<test::TestHttpServer> server;
};

// The first image answers last, yet every code lands in its own row and the posting keeps the
// list's order; one image failing among the others fails alone.
TEST_F(StandardRunTest, AnswersInAnyOrderLandInTheirRows) {
    Serve(true);
    // No answer goes out before three pictures are at the host together, whichever three the
    // pool sends first; a's waits until the other three are logged. A run that sent them in
    // turn would see a answered first, when its hold runs out.
    answer = [this](const std::string& name, int) {
        const auto ready = [this, first = name == "a.jpg"] {
            return mostInFlight >= 3 && (!first || logged >= 3);
        };
        return name == "c.jpg" ? Reply{"HTTP/1.1 403 Forbidden\r\n\r\n", ready} : Link(name, ready);
    };
    std::vector<ImageEntry> rows = {Image("a.jpg"), Image("b.jpg"), Image("c.jpg"), Image("d.jpg")};
    const std::string posting = RunUpload(rows, 8);
    EXPECT_EQ(mostInFlight, 3);  // the row's three, never more
    EXPECT_EQ(posting, Code("a.jpg") + " " + Code("b.jpg") + " " + Code("d.jpg") + " ");
    ASSERT_EQ(recorder->log.size(), 4u);
    EXPECT_EQ(recorder->log.back(), Line("a.jpg", "erfolgreich !"));
    EXPECT_EQ(
        std::multiset<std::string>(recorder->log.begin(), recorder->log.end() - 1),
        (std::multiset<std::string>{Line("b.jpg", "erfolgreich !"), Line("d.jpg", "erfolgreich !"),
                                    Line("c.jpg", "fehlgeschlagen ! (HTTP 403 Forbidden)")}));
    EXPECT_TRUE(rows[2].checked);
}

// Cancel ends every image in flight without waiting for its answer, and nothing more starts:
// the host holds every answer until the run has returned.
TEST_F(StandardRunTest, CancelEndsAllImagesInFlight) {
    Serve(true);
    answer = [this](const std::string& name, int) {
        return Link(name, [this] { return released; });
    };
    pump = [&] {
        const std::lock_guard lock(mutex);
        if (inFlight == 3) run->Abort();
    };
    std::vector<ImageEntry> rows = {Image("a.jpg"), Image("b.jpg"), Image("c.jpg"), Image("d.jpg")};
    RunUpload(rows, 8);
    ASSERT_EQ(recorder->log.size(), 3u);
    for (const std::string& line : recorder->log)
        EXPECT_NE(line.find("fehlgeschlagen ! (abgebrochen)"), std::string::npos) << line;
    for (const ImageEntry& row : rows) EXPECT_TRUE(row.checked);
    const std::lock_guard lock(mutex);
    EXPECT_EQ(tries.size(), 3u);  // the fourth never went out
}

// The answer is read on the evaluator's thread: while that thread is held, the job waits with
// its answer in; once read, the evaluator's wake ends the loop's wait (a slice far longer than
// the test may take), and the job ends with its code.
TEST_F(StandardRunTest, AnAnswerIsReadOffTheLoopAndItsReadingWakesIt) {
    Serve(false);
    Image("a.jpg");
    const WakeFd wake;
    AnswerEvaluator evaluator(wake);
    StandardUploadOptions options;
    options.evaluator = &evaluator;
    StandardUploadJob job(hosters.Row(8), dir.file("a.jpg"), dir.read("a.jpg"), options);
    std::promise<void> hold;  // gone first, so a failed case lets go of the thread too
    evaluator.Read([held = hold.get_future().share()] { held.wait(); });
    StandardUploadJob* const one[] = {&job};
    const std::span<StandardUploadJob* const> tasks(one);
    const net::RunControl control{nullptr, nullptr, std::chrono::minutes(10), wake.Fd()};
    while (!job.Evaluating()) ASSERT_TRUE(net::PollTurn(tasks, control));
    hold.set_value();
    while (!job.Finished()) {
        ASSERT_TRUE(net::PollTurn(tasks, control));
        wake.Drain();
        job.Collect();
    }
    EXPECT_EQ(job.Result().code, Code("a.jpg"));
}

// Each passing failure is tried again and recovers; a lasting one is not; Retry-After sets
// the wait within its bound; retries never go past the setting.
TEST_F(StandardRunTest, TransientFailuresAreRetriedWithinTheirLimits) {
    struct Case {
        const char* first;  // the first answer ("" = closed without one)
        int sends;          // requests the image takes in all
        bool uploads;
        double atLeastSeconds = 0;  // the host's wait, which no retry may cut short
        const char* retries = "";   // Bilder/Retries; "" = its default
    };
    const auto status = [](const std::string& line) {
        return "HTTP/1.1 " + line + "\r\nContent-Length: 0\r\n\r\n";
    };
    // What a host says goes into the log cut to a line's worth, never inside a character.
    std::string chatty = "404 xxx";
    for (int i = 0; i < 2500; ++i) chatty += "\xC3\xBC";  // ü
    // A wait past its bound (an hour, or 2099) shows as a run still waiting at the deadline.
    for (const Case& c :
         {Case{"429 Too Many Requests", 2, true}, Case{"503 Service Unavailable", 2, true},
          Case{"", 2, true}, Case{"404 Not Found", 1, false}, Case{chatty.c_str(), 1, false},
          Case{"200 OK", 1, false},  // an empty answer: no code
          Case{"503 Service Unavailable\r\nRetry-After: 1", 2, true, 0.9},
          Case{"503 Service Unavailable\r\nRetry-After: 3600", 2, true},
          Case{"503 Service Unavailable\r\nRetry-After: Thu, 01 Jan 2099 00:00:00 GMT", 2, true},
          Case{"always 503", 2, false, 0, "1"}}) {
        SCOPED_TRACE(c.first);
        tries.clear();
        WriteValue(settings, "Bilder", "Retries", c.retries);
        Serve(false, "Retries=5\n");
        configure = [](UploadRunOptions& o) {
            o.retryBaseDelay = std::chrono::milliseconds(10);
            o.retryWaitLimit = std::chrono::milliseconds(1000);
        };
        answer = [&, first = std::string(c.first)](const std::string& name, int attempt) {
            if (first == "always 503") return Reply{status("503 Service Unavailable")};
            if (attempt > 1) return Link(name);
            return Reply{first.empty() ? "" : status(first)};
        };
        const auto start = Clock::now();
        pump = [&] {
            if (Clock::now() - start > std::chrono::seconds(30)) run->Abort();
        };
        std::vector<ImageEntry> rows = {Image("a.jpg")};
        RunUpload(rows, 8);
        EXPECT_GE(std::chrono::duration<double>(Clock::now() - start).count(), c.atLeastSeconds);
        EXPECT_EQ(tries["a.jpg"], c.sends);
        EXPECT_EQ(rows[0].checked, !c.uploads);
        ASSERT_EQ(recorder->log.size(), 1u);
        EXPECT_EQ(recorder->log[0].ends_with(" (2. Versuch)"), c.sends == 2);
        // The pause before it was reported, for the status line to count down.
        const auto retry =
            std::ranges::find(recorder->waits, UploadWait::Kind::kRetry, &UploadWait::kind);
        ASSERT_EQ(retry != recorder->waits.end(), c.sends == 2);
        if (c.sends == 2) {
            EXPECT_EQ(WaitText(*retry, strings, retry->at - std::chrono::milliseconds(2500)),
                      "2. Versuch in 3 s");
        }
        EXPECT_LE(recorder->log[0].size(), 1024u);
        EXPECT_TRUE(IsValidUtf8(recorder->log[0])) << recorder->log[0];
    }
}

// Stripping sends the picture without its comment, the file left as it was; the history keys
// it on the original's hash and keeps the sent bytes' hash beside it. A standard row reuses
// that code unless told not to; a classic row, stripped the same way, never reuses one.
TEST_F(StandardRunTest, StrippedPicturesGoOutAndTheHistoryKeepsBothHashes) {
    Serve(true);
    std::string jpeg = test::MakeJpeg(16, 16);
    jpeg.insert(20, std::string("\xFF\xFE\x00\x0DHOMECOMMENT", 15));
    struct Case {
        int hoster;
        bool reuse;
        int sendsAfter;  // uploads that reached a host in all, this case's included
    };
    for (const Case& c : {Case{8, true, 1}, Case{8, true, 1}, Case{8, false, 2}, Case{1, true, 3},
                          Case{1, true, 4}}) {
        SCOPED_TRACE(c.hoster * 10 + c.reuse);
        KeepHistory([&](UploadRunOptions& o) {
            o.reuse = c.reuse;
            o.processing.strip = true;
        });
        std::vector<ImageEntry> rows = {Image("phone.jpg")};
        dir.write("phone.jpg", jpeg);
        OpenCount opens(dir.path());
        RunUpload(rows, c.hoster);
        EXPECT_FALSE(rows[0].checked);
        // Read once for the hashes, the stripping and the request alike.
        EXPECT_EQ(opens.Of("phone.jpg"), 1);
        std::vector<std::string> sent = server->Requests();
        for (const tools::ReceivedUpload& upload : emulator.Uploads()) sent.push_back(upload.body);
        ASSERT_EQ(sent.size(), static_cast<size_t>(c.sendsAfter));
        EXPECT_EQ(sent.back().find("HOMECOMMENT"), std::string::npos);
        EXPECT_NE(sent.back().find("\xFF\xD8"), std::string::npos);
    }
    EXPECT_EQ(dir.read("phone.jpg"), jpeg);
    const std::vector<HistoryEntry> entries = history.List({});
    ASSERT_EQ(entries.size(), 4u);
    for (const HistoryEntry& entry : entries) {
        EXPECT_EQ(entry.originalSha256, Sha256Hex(jpeg));
        EXPECT_NE(entry.sentSha256, entry.originalSha256);
        EXPECT_EQ(entry.processing, "strip");
        EXPECT_EQ(entry.fileBytes, 1024);  // the original's size as the list has it, not the sent
    }
}

// The file part of an upload named `name` among the requests, "" when none came.
std::string FilePart(const std::vector<std::string>& requests, const std::string& name) {
    for (const std::string& request : requests) {
        const size_t at = request.find("filename=\"" + name + "\"");
        if (at == std::string::npos) continue;
        const size_t begin = request.find("\r\n\r\n", at) + 4;
        return request.substr(begin, request.find("\r\n--", begin) - begin);
    }
    return "";
}

// A row whose answer gives the picture's address but no thumbnail gets one Lumar makes: both
// files arrive, the code links the thumbnail to the picture, and the image counts once. A
// thumbnail the host refuses leaves the picture inline, and the log says so; the history
// keeps both addresses and a second run reuses them.
TEST_F(StandardRunTest, RowsWithoutThumbnailsGetLinkedThumbnailsOfTheirOwn) {
    Serve(true);
    answer = [](const std::string& name, int) {
        return name == "b-thumb.jpg" ? Reply{"HTTP/1.1 403 Forbidden\r\n\r\n"} : Link(name);
    };
    KeepHistory([](UploadRunOptions& o) { o.ownThumbSide = 64; });
    std::vector<ImageEntry> rows = {Image("a.jpg"), Image("b.jpg"), Image("dot.gif")};
    test::WriteJpeg(dir.file("a.jpg"), 300, 200);
    test::WriteJpeg(dir.file("b.jpg"), 300, 210);
    // 1x1, its one colour transparent.
    dir.write("dot.gif", std::string("GIF89a\x01\0\x01\0\x80\0\0\xFF\xFF\xFF\0\0\0!\xF9\x04\x01"
                                     "\0\0\0\0,\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;",
                                     43));
    const std::string linked = "[URL=http://h/a.jpg][IMG]http://h/a-thumb.jpg[/IMG][/URL] " +
                               Code("b.jpg") +
                               " [URL=http://h/dot.gif][IMG]http://h/dot-thumb.png[/IMG][/URL] ";
    EXPECT_EQ(RunUpload(rows, 8), linked);
    EXPECT_EQ(std::multiset<std::string>(recorder->log.begin(), recorder->log.end()),
              (std::multiset<std::string>{
                  Line("a.jpg", "erfolgreich !"), Line("dot.gif", "erfolgreich !"),
                  Line("b.jpg",
                       "erfolgreich ! (Vorschaubild nicht hochgeladen: HTTP 403 "
                       "Forbidden; das Bild steht in voller Größe im Posting)")}));
    EXPECT_EQ(recorder->progress.size(), 4u);
    EXPECT_EQ(ReadValue(settings, "Stat", "Files", ""), "3");
    const ImageInfo thumb = ReadImageInfoFromBytes(FilePart(server->Requests(), "a-thumb.jpg"));
    EXPECT_EQ(thumb.Type, ImageType::kJpeg);
    EXPECT_EQ(std::pair(thumb.Width, thumb.Height), std::pair(64, 43));
    EXPECT_EQ(ReadImageInfoFromBytes(FilePart(server->Requests(), "dot-thumb.png")).Type,
              ImageType::kPng);
    const std::vector<HistoryEntry> entries = history.List({});
    const auto a = std::ranges::find(entries, dir.file("a.jpg"), &HistoryEntry::filePath);
    ASSERT_NE(a, entries.end());
    EXPECT_EQ(a->url + " " + a->thumbnailUrl, "http://h/a.jpg http://h/a-thumb.jpg");

    const size_t sent = server->Requests().size();
    for (ImageEntry& row : rows) row.checked = true;
    EXPECT_EQ(RunUpload(rows, 8), linked);
    EXPECT_EQ(server->Requests().size(), sent);

    // A row that cuts the host's whole code between markers keeps that code as it came.
    hosters = LoadHostersFromText(TodayRow("/cut", "f") + "StartMarker=[IMG]\nEndMarker=</b>\n");
    answer = [](const std::string& name, int) {
        return Reply{"HTTP/1.1 200 OK\r\n\r\n<b>[IMG]http://h/" + name + "[/IMG]</b>"};
    };
    rows = {Image("a.jpg")};
    EXPECT_EQ(RunUpload(rows, 8), Code("a.jpg") + " ");
    EXPECT_EQ(server->Requests().size(), sent + 1);
}

// An image the chosen row, standard or classic, refuses for good goes to the fallback row: the
// log says so, the posting keeps the list's order and the history names the row that took it.
// There is one fallback: when it fails too, the image fails with both reasons. A fallback that
// is the chosen row is refused.
TEST_F(StandardRunTest, AFallbackRowTakesWhatTheChosenRowRefused) {
    struct Case {
        const char* fallback;
        const char* spare;  // the fallback's answer to a.jpg; "" = a link
        const char* line;   // of a.jpg
        int chosen = 8;     // 1: the emulator's classic row, refusing a.jpg alone
    };
    int runs = 0;
    for (const Case& c :
         {Case{"Hoster9", "", "erfolgreich ! (über Spare hochgeladen; Today: HTTP 403 Forbidden)"},
          Case{"Hoster9", "HTTP/1.1 404 Not Found\r\n\r\n",
               "fehlgeschlagen ! (HTTP 403 Forbidden; auch über Spare fehlgeschlagen: HTTP 404 "
               "Not Found)"},
          Case{"Hoster8", "", "fehlgeschlagen ! (HTTP 403 Forbidden)"},
          Case{"Hoster9", "",
               "erfolgreich ! (über Spare hochgeladen; imagevenue: HTTP 403 Forbidden)", 1}}) {
        SCOPED_TRACE(c.spare + std::string(c.fallback));
        Serve(false);
        hosters = LoadHostersFromText(TodayRow("/up", "f") +
                                      "[Hoster9]\nName=Spare\nRequest=standard\nUploadUrl=" +
                                      server->Url("/spare") + "\nFileField=f\n");
        answer = [&](const std::string& name, int) {
            if (target == "/up")
                return name == "a.jpg" ? Reply{"HTTP/1.1 403 Forbidden\r\n\r\n"} : Link(name);
            return *c.spare ? Reply{c.spare} : Link("spare-" + name);
        };
        tries.clear();
        bool reuse = false;
        HistoryStore store;  // one of its own per case
        ASSERT_EQ(store.Open(dir.file("history" + std::to_string(++runs) + ".sqlite")),
                  HistoryOpening::kCreated);
        configure = [&](UploadRunOptions& o) {
            o.fallbackId = c.fallback;
            o.history = &store;
            o.reuse = reuse;
        };
        onFile = [&](const std::string& path) {
            if (path.ends_with("a.jpg"))
                return emulator.SetRawAnswer("HTTP/1.0 403 Forbidden\r\n\r\n", {});
            emulator.SetMisbehaviour(Misbehaviour::None);
        };
        // Different pictures, so none is taken for the other's earlier upload.
        std::vector<ImageEntry> rows = {Image("a.jpg", 1, 1), Image("b.jpg")};
        const std::string posting = RunUpload(rows, c.chosen);
        std::vector<std::string> lines = {Line("a.jpg", c.line), Line("b.jpg", "erfolgreich !")};
        const bool spareAsked = c.fallback == std::string("Hoster9");
        if (!spareAsked) lines.push_back("Kein Ersatz: Today ist der gewählte Hoster selbst");
        EXPECT_EQ(std::multiset<std::string>(recorder->log.begin(), recorder->log.end()),
                  std::multiset<std::string>(lines.begin(), lines.end()));
        const bool taken = std::string(c.line).starts_with("erfolgreich");
        const std::string b = c.chosen == 8 ? Code("b.jpg") : Codes().back();
        EXPECT_EQ(posting, (taken ? Code("spare-a.jpg") + " " : "") + b + " ");
        EXPECT_EQ(rows[0].checked, !taken);
        EXPECT_EQ(recorder->progress.size(), 3u);  // each image counted once
        const int sentHere = c.chosen == 8 && spareAsked ? 2 : 1;
        EXPECT_EQ(tries["a.jpg"], sentHere);
        if (taken) {
            const std::vector<HistoryEntry> entries = store.List({});
            const auto a = std::ranges::find(entries, dir.file("a.jpg"), &HistoryEntry::filePath);
            ASSERT_NE(a, entries.end());
            EXPECT_EQ(a->hosterId + " " + a->hosterName, "Hoster9 Spare");
            // A second run finds what the fallback took.
            reuse = true;
            std::vector<ImageEntry> again = {Image("a.jpg", 1, 1)};
            RunUpload(again, 8);
            EXPECT_EQ(again[0].upload, Code("spare-a.jpg"));
            EXPECT_EQ(tries["a.jpg"], sentHere);
        }
    }
}

// A code is reused only for the same picture sent where it went before: after the row's
// address or file field changed under the same ID the picture goes to the new host. Classic
// rows are recorded under their rows' IDs.
TEST_F(StandardRunTest, TheHistoryReusesACodeOnlyWhereThePictureWent) {
    Serve(true);
    KeepHistory();
    const struct {
        const char* path;
        const char* field;
        bool sent;
    } cases[] = {{"/up", "f", true},     {"/up", "f", false}, {"/other", "f", true},
                 {"/up", "image", true}, {"/up", "f", false}, {"/other", "f", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " " + c.field);
        hosters = LoadHostersFromText(TodayRow(c.path, c.field));
        const size_t before = server->Requests().size();
        std::vector<ImageEntry> rows = {Image("same.jpg")};
        EXPECT_EQ(RunUpload(rows, 8), Code("same.jpg") + " ");
        EXPECT_EQ(server->Requests().size() - before, c.sent ? 1u : 0u);
        if (c.sent) {
            EXPECT_TRUE(server->Requests().back().starts_with(std::string("POST ") + c.path));
        }
    }
    std::vector<ImageEntry> rows = {Image("classic.jpg")};
    RunUpload(rows, 1);
    const std::vector<HistoryEntry> entries = history.List({});
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].hosterId, "Hoster1");
    EXPECT_EQ(entries[0].reuseKey,
              "http://127.0.0.1:" + std::to_string(emulator.Port()) + "/upload.php|userfile[]");
    EXPECT_EQ(entries[1].hosterId, "Hoster8");
    EXPECT_EQ(entries[1].reuseKey, server->Url("/up") + "|image");
    // Two copies of one picture in one run: whichever is prepared second takes the other's code
    // once recorded.
    hosters = LoadHostersFromText(TodayRow("/copies", "f"));
    const size_t before = server->Requests().size();
    std::vector<ImageEntry> copies = {Image("copy1.jpg"), Image("copy2.jpg")};
    RunUpload(copies, 8);
    EXPECT_EQ(server->Requests().size() - before, 1u);
    EXPECT_FALSE(copies[0].upload.empty());
    EXPECT_EQ(copies[0].upload, copies[1].upload);
}

// A success the history cannot keep (the file locked by another program) is still a success,
// with its code in the posting; the log says so with the image and once more at the end, and a
// later run, the lock gone, sends the picture again.
TEST_F(StandardRunTest, ASuccessTheHistoryCannotKeepIsSaidWithItsImageAndAtTheEnd) {
    Serve(true);
    const std::string file = dir.file("history.sqlite");
    KeepHistory();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const std::string locked =
        "Upload-Verlauf " + file + " ist von einem anderen Programm gesperrt";
    const std::string notKept = "hochgeladen, aber nicht im Verlauf gespeichert";
    for (const int hoster : {8, 1}) {
        SCOPED_TRACE(hoster);
        std::vector<ImageEntry> rows = {Image("a.jpg")};
        const std::string posting = RunUpload(rows, hoster);
        EXPECT_FALSE(rows[0].checked);
        EXPECT_EQ(posting, rows[0].upload + " ");
        EXPECT_EQ(recorder->log,
                  (std::vector<std::string>{
                      Line("a.jpg", "erfolgreich ! (" + notKept + ": " + locked + ")"),
                      "1 Bild(er) " + notKept + ": " + locked}));
        EXPECT_EQ(run->UnrecordedCount(), 1);
    }
    HistoryStore opening;  // the next run's: opening only reads, which waits for no writer
    EXPECT_EQ(opening.Open(file), HistoryOpening::kOpened);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    for (const size_t sent : {2u, 2u}) {  // sent again, then reused
        std::vector<ImageEntry> rows = {Image("a.jpg")};
        RunUpload(rows, 8);
        EXPECT_EQ(server->Requests().size(), sent);
        EXPECT_EQ(run->UnrecordedCount(), 0);
    }
    EXPECT_EQ(history.List({}).size(), 1u);
}

// Two runs at once: a picture another running process claimed is waited for and that run's
// code reused once recorded, a claim held past the time-out skips the picture with a line in
// the log, and a claim left by a process that is gone is taken over.
TEST_F(StandardRunTest, APictureAnotherRunIsSendingIsWaitedForNotSentTwice) {
    Serve(true);
    const std::string file = dir.file("history.sqlite");
    KeepHistory([](UploadRunOptions& o) { o.timeoutSeconds = 1; });
    const ImageEntry shared = Image("shared.jpg");
    const std::string sha = Sha256Hex(dir.read("shared.jpg"));
    const std::string key = ReuseKey(hosters.Row(8));
    int claimed[2], go[2];
    ASSERT_EQ(::pipe(claimed), 0);
    ASSERT_EQ(::pipe(go), 0);
    // The other run: claims the picture, and records and releases it when told to.
    const pid_t other = ::fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        HistoryStore store;
        store.Open(file);
        char c = store.Claim(sha, "", key).taken ? 'c' : 'x';
        if (::write(claimed[1], &c, 1) != 1 || ::read(go[0], &c, 1) != 1) ::_exit(1);
        HistoryEntry e;
        e.hosterId = "Hoster8";
        e.reuseKey = key;
        e.originalSha256 = sha;
        e.code = "[IMG]http://h/other.jpg[/IMG]";
        const bool recorded = store.Record(e).Ok();
        store.Release(sha, "", key);
        ::_exit(recorded ? 0 : 1);
    }
    char c = 0;
    ASSERT_EQ(::read(claimed[0], &c, 1), 1);
    ASSERT_EQ(c, 'c');
    std::vector<ImageEntry> rows = {shared};
    RunUpload(rows, 8);
    EXPECT_EQ(recorder->log,
              (std::vector<std::string>{Line(
                  "shared.jpg", "übersprungen: ein anderer Lauf (Prozess " + std::to_string(other) +
                                    ") lädt dieses Bild gerade zum selben Ziel hoch")}));
    EXPECT_TRUE(rows[0].checked);

    // Once this run met the claim (its first status line), the other one finishes.
    pump = [&] {
        if (!recorder->statuses.empty() && c == 'c') {
            EXPECT_EQ(::write(go[1], &c, 1), 1);
            c = 0;
        }
    };
    KeepHistory();
    RunUpload(rows, 8);
    int status = -1;
    ASSERT_EQ(::waitpid(other, &status, 0), other);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(rows[0].upload, "[IMG]http://h/other.jpg[/IMG]");
    ASSERT_EQ(recorder->log.size(), 1u);
    EXPECT_TRUE(recorder->log[0].ends_with("Code wiederverwendet")) << recorder->log[0];
    EXPECT_TRUE(server->Requests().empty());
    for (int fd : {claimed[0], claimed[1], go[0], go[1]}) ::close(fd);

    // A claim whose process is gone is taken over, and released once the picture went up.
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(gone, &status, 0), gone);
    std::vector<ImageEntry> left = {Image("left.jpg", 1, 7)};  // another picture
    const std::string plant = "INSERT INTO claims VALUES ('" + Sha256Hex(dir.read("left.jpg")) +
                              "', '', '" + key + "', " + std::to_string(gone) + ", 1, 0)";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, plant.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    RunUpload(left, 8);
    EXPECT_EQ(server->Requests().size(), 1u);
    EXPECT_FALSE(left[0].checked);
    EXPECT_EQ(sqlite3_exec(
                  db, "SELECT 1 FROM claims", [](void*, int, char**, char**) { return 1; }, nullptr,
                  nullptr),
              SQLITE_OK);  // no row left: the callback would abort the query
    sqlite3_close(db);
}

}  // namespace
}  // namespace lumar
