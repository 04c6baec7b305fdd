#include "upload/upload_run.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <thread>

#include <gtest/gtest.h>

#include "hoster_emulator/hoster_emulator.h"
#include "shell/settings_keys.h"
#include "shell/settings_store.h"
#include "support/jpeg_maker.h"
#include "support/temp_dir.h"
#include "session/posting_hand_over.h"
#include "upload/socket_layer.h"

namespace lumar {
namespace {

using tools::HosterEmulator;
using tools::Misbehaviour;

// Records everything the run shows, in order.
class Recorder : public PostingHandOver {
public:
    using PostingHandOver::PostingHandOver;
    std::function<void()> onStatus;  // runs after every status line

    void RunStarted(int count) override { events.push_back("started " + std::to_string(count)); }
    void StatusLine(const std::string& text) override {
        statuses.push_back(text);
        if (onStatus) onStatus();
    }
    void AppendLog(const std::string& text, bool lineEnd) override {
        pending += text;
        if (!lineEnd) return;
        log.push_back(pending);
        pending.clear();
    }
    void Figures(const UploadFigures& f) override { figures.push_back(f); }
    void Progress(int value, int maximum) override { progress.emplace_back(value, maximum); }
    void RowChanged(int position) override { changedRows.push_back(position); }
    void StatsChanged(double files, double bytes) override { stats = {files, bytes}; }
    void TotalsNotSaved(const std::string&, const std::string&) override { ++totalsNotSaved; }
    void CollectPosting(std::span<ImageEntry> rows) override {
        events.push_back("collect");
        PostingHandOver::CollectPosting(rows);
    }
    void RunFinished() override { events.push_back("finished"); }
    void ShowMessage(const std::string& title, const std::string& text) override {
        events.push_back("message");
        messages.emplace_back(title, text);
    }
    void FinishPosting(std::span<const ImageEntry> rows) override {
        events.push_back("finish");
        PostingHandOver::FinishPosting(rows);
    }
    void PlaySound(const std::string& file) override { events.push_back("sound " + file); }
    void BringToFront() override { events.push_back("front"); }

    std::vector<std::string> events, statuses, log;
    std::string pending;
    std::vector<UploadFigures> figures;
    std::vector<std::pair<int, int>> progress;
    std::vector<int> changedRows;
    std::pair<double, double> stats{0, 0};
    int totalsNotSaved = 0;
    std::vector<std::pair<std::string, std::string>> messages;
};

class UploadRunTest : public ::testing::Test {
protected:
    UploadRunTest()
        : hosters(LoadHostersFromText(emulator.HostersIni())), strings(LoadUiStrings(dir.file("none.ini"), "")) {
        settings = dir.file("Lumar.ini");
        WriteValue(settings, "Bilder", "Timeout", "20");
    }

    ImageEntry Image(const std::string& name, int kb = 1) {
        ImageEntry row;
        row.folder = dir.path() + "/";
        row.text = name;
        row.kB = std::to_string(kb) + ".0";
        test::WriteJpeg(dir.file(name), 16, 16);
        return row;
    }
    static ImageEntry Marker(const std::string& text) { return MarkerRow(text); }

    std::string Run(std::vector<ImageEntry>& rows, int hoster, PostingOptions posting = {}) {
        recorder = std::make_unique<Recorder>(state, blocks, posting, PostingTexts{});
        recorder->onStatus = onStatus;
        run = std::make_unique<UploadRun>(hosters, strings, *recorder);
        UploadRunOptions options;
        options.hosterIndex = hoster;
        options.settingsFile = settings;
        options.pump = pump;
        options.resolver = resolver;
        run->Run(rows, options);
        return recorder->View().shownText;
    }

    std::vector<std::string> Codes() const {
        std::vector<std::string> codes;
        for (const tools::ReceivedUpload& u : emulator.Uploads()) codes.push_back(u.code);
        return codes;
    }

    test::TempDir dir;
    HosterEmulator emulator;
    HosterTable hosters;
    UiStrings strings;
    std::string settings;
    PostingState state;
    TextBlocks blocks;
    PumpEvents pump;
    HostResolver resolver;
    std::function<void()> onStatus;
    std::unique_ptr<Recorder> recorder;
    std::unique_ptr<UploadRun> run;
};

TEST_F(UploadRunTest, EveryHosterRowUploadsEachImageAndKeepsItsCode) {
    for (int hoster = 1; hoster <= 7; ++hoster) {
        std::vector<ImageEntry> rows = {Image("one.jpg"), Image("two.jpg")};
        const size_t before = emulator.Uploads().size();
        Run(rows, hoster);
        const std::vector<std::string> codes = Codes();
        ASSERT_EQ(codes.size(), before + 2) << "hoster " << hoster;
        EXPECT_EQ(rows[0].upload, codes[before]) << "hoster " << hoster;
        EXPECT_EQ(rows[1].upload, codes[before + 1]);
        EXPECT_NE(rows[1].upload.find("two.jpg"), std::string::npos);
        EXPECT_FALSE(rows[0].checked);
        EXPECT_FALSE(rows[1].checked);
        ASSERT_EQ(recorder->log.size(), 2u);
        EXPECT_EQ(recorder->log[0], "Upload von Bild: " + dir.path() + "/one.jpg...erfolgreich !");
        EXPECT_TRUE(recorder->messages.empty());
        EXPECT_EQ(recorder->changedRows, (std::vector<int>{1, 2}));
    }
    // The file name sent is the full path, and the file arrives byte for byte.
    const tools::ReceivedUpload first = emulator.Uploads()[0];
    EXPECT_EQ(first.fileName, dir.path() + "/one.jpg");
    EXPECT_EQ(first.fileBytes, dir.read("one.jpg"));
    EXPECT_NE(emulator.Uploads()[13].requestLine.find("/newupload.php"), std::string::npos);

    // The totals grow with every success and are written at once.
    const double bytes = 7.0 * static_cast<double>(dir.read("one.jpg").size() + dir.read("two.jpg").size());
    EXPECT_EQ(ReadValue(settings, "Stat", "Files", ""), "14");
    EXPECT_EQ(ReadValue(settings, "Stat", "Size", ""), FormatCount(bytes));
    EXPECT_EQ(recorder->stats.first, 14);
    EXPECT_EQ(recorder->totalsNotSaved, 0);

    // When the settings cannot be written the shown totals still grow with every image, and
    // the run says so once.
    settings = dir.file("one.jpg/Lumar.ini");
    std::vector<ImageEntry> rows = {Image("three.jpg"), Image("four.jpg")};
    Run(rows, 1);
    EXPECT_EQ(recorder->stats.first, 2);
    EXPECT_EQ(recorder->totalsNotSaved, 1);
}

TEST_F(UploadRunTest, StatusLinesFiguresProgressAndTheEndInOrder) {
    std::vector<ImageEntry> rows = {Image("a.jpg", 3), Marker("*UMBRUCH*"), Image("b.jpg", 5)};
    WriteValue(settings, "Sound", "SoundAn", "1");
    WriteValue(settings, "Sound", "Soundfile", "/sounds/done.wav");
    WriteValue(settings, "Bilder", "Form", "1");
    Run(rows, 4);
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"started 2", "collect", "finished", "finish",
                                                           "sound /sounds/done.wav", "front"}));
    ASSERT_GE(recorder->statuses.size(), 5u);
    EXPECT_EQ(recorder->statuses[0], "Verbinde zu 127.0.0.1");
    EXPECT_EQ(recorder->statuses[1], "Sende Request...");
    EXPECT_EQ(recorder->statuses[2], "Warte auf Antwort von 127.0.0.1... ");
    EXPECT_EQ(recorder->statuses[3], "Rückmeldung von 127.0.0.1 erhalten");
    EXPECT_EQ(recorder->progress, (std::vector<std::pair<int, int>>{{0, 2}, {1, 2}, {2, 2}}));
    ASSERT_FALSE(recorder->figures.empty());
    EXPECT_EQ(recorder->figures.front().remainingCount, 2);
    EXPECT_DOUBLE_EQ(recorder->figures.front().remainingKB, 8);
    EXPECT_EQ(recorder->figures.back().remainingCount, 0);
    EXPECT_DOUBLE_EQ(recorder->figures.back().remainingKB, 0);
    EXPECT_FALSE(rows[1].checked);  // the rebuild clears marker rows

    WriteValue(settings, "Sound", "Soundfile", "");
    WriteValue(settings, "Bilder", "Form", "0");
    std::vector<ImageEntry> none = {Marker("*UMBRUCH*")};
    Run(none, 4);
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"started 0", "collect", "finished", "finish"}));
    EXPECT_EQ(recorder->progress, (std::vector<std::pair<int, int>>{{0, 0}}));
}

TEST_F(UploadRunTest, PostingIsBuiltFromAllRowsCentredConvertedOrSplit) {
    blocks.Add("Hallo");
    std::vector<ImageEntry> rows = {Image("a.jpg"), Marker("*UMBRUCH*"), Marker("*VBCode_1*"), Image("b.jpg"),
                                    Image("c.jpg")};
    PostingOptions centred;
    centred.center = true;
    const std::string text = Run(rows, 4, centred);
    const std::vector<std::string> c = Codes();
    EXPECT_EQ(text, "[CENTER]" + c[0] + " \r\nHallo" + c[1] + " " + c[2] + " [/CENTER]");

    PostingOptions html;
    html.html = true;
    for (ImageEntry& row : rows) row.checked = row.IsImage();
    Run(rows, 5, html);
    EXPECT_EQ(rows[0].upload.rfind("[URL=", 0), 0u);
    EXPECT_EQ(recorder->View().shownText.rfind("<a href=", 0), 0u);
    EXPECT_NE(recorder->View().shownText.find(" border=0></a> "), std::string::npos);

    PostingOptions split;
    split.split = true;
    split.splitSizeText = "2";
    for (ImageEntry& row : rows) row.checked = row.IsImage();
    Run(rows, 6, split);
    ASSERT_TRUE(state.isSplit);
    ASSERT_EQ(state.parts.size(), 2u);
    EXPECT_EQ(state.parts[1], rows[4].upload + " ");
    EXPECT_EQ(recorder->View().shownText, state.parts[0]);
}

TEST_F(UploadRunTest, FailedImagesStayCheckedAndASecondRunUploadsOnlyThem) {
    std::vector<ImageEntry> rows = {Image("a.jpg"), Image("b.jpg"), Image("c.jpg")};
    rows[1].text = "missing.jpg";
    Run(rows, 1);
    ASSERT_EQ(recorder->log.size(), 3u);
    EXPECT_EQ(recorder->log[1], "Upload von Bild: " + dir.path() + "/missing.jpg...fehlgeschlagen ! (Datei nicht lesbar)");
    EXPECT_TRUE(rows[1].checked);
    EXPECT_EQ(rows[1].upload, "");
    ASSERT_EQ(recorder->messages.size(), 1u);
    EXPECT_EQ(recorder->messages[0].first, "Lumar V1 - Information");
    EXPECT_EQ(recorder->messages[0].second,
              "Es wurden nicht alle Bilder erfolgreich hochgeladen....\r\n\r\nDu kannst diese nachträglich "
              "hochladen ohne den Code der bisher hochgeladenen Bildern zuverlieren. Schliesse dazu das "
              "Codefenster und starte den Upload erneut !");
    EXPECT_EQ(run->FailedCount(), 1);

    test::WriteJpeg(dir.file("missing.jpg"), 8, 8);
    const std::string posting = Run(rows, 1);
    const std::vector<std::string> c = Codes();
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(recorder->log.size(), 1u);
    EXPECT_TRUE(recorder->messages.empty());
    EXPECT_EQ(posting, c[0] + " " + c[2] + " " + c[1] + " ");  // codes of both runs in row order
}

TEST_F(UploadRunTest, CancelDuringAWaitStopsAfterThatImage) {
    emulator.SetMisbehaviour(Misbehaviour::NeverCloseSilent);
    std::vector<ImageEntry> rows = {Image("a.jpg"), Image("b.jpg"), Image("c.jpg")};
    int pumps = 0;
    bool waiting = false;
    onStatus = [&] { waiting = recorder->statuses.back().rfind("Warte", 0) == 0; };
    pump = [&] {
        if (waiting && ++pumps == 3) run->Abort();
    };
    Run(rows, 3);
    ASSERT_EQ(recorder->log.size(), 1u);
    EXPECT_EQ(recorder->log[0], "Upload von Bild: " + dir.path() + "/a.jpg...fehlgeschlagen ! (abgebrochen)");
    EXPECT_EQ(run->DoneCount(), 1);
    EXPECT_EQ(emulator.ConnectionCount(), 1);
    EXPECT_TRUE(rows[0].checked && rows[1].checked && rows[2].checked);
    EXPECT_EQ(recorder->messages.size(), 1u);
    EXPECT_EQ(recorder->events.back(), "front");
}

// Host names are looked up off the window's thread: a name server that does not answer keeps
// the window pumping, and cancel ends the image at once with its own log line.
TEST_F(UploadRunTest, NamedHostIsLookedUpAndAStalledLookupCanBeCancelled) {
    std::string ini = emulator.HostersIni();
    for (size_t at; (at = ini.find("127.0.0.1")) != std::string::npos;) ini.replace(at, 9, "pics.lumar-test");
    hosters = LoadHostersFromText(ini);
    auto asked = std::make_shared<std::atomic<int>>(0);
    resolver = [asked](const std::string& host) {
        ++*asked;
        return host == "pics.lumar-test" ? htonl(INADDR_LOOPBACK) : kAddressNone;
    };
    std::vector<ImageEntry> rows = {Image("a.jpg")};
    Run(rows, 2);
    EXPECT_EQ(asked->load(), 1);
    EXPECT_EQ(rows[0].upload, Codes().at(0));

    // The stalled lookup holds only shared state, so the run may return before it does.
    auto gate = std::make_shared<std::atomic<bool>>(false);
    resolver = [gate](const std::string&) {
        for (int i = 0; i < 300 && !gate->load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return htonl(INADDR_LOOPBACK);
    };
    rows.push_back(Image("b.jpg"));
    rows[0].checked = true;
    int pumps = 0;
    bool connecting = false;
    onStatus = [&] { connecting = recorder->statuses.back().rfind("Verbinde", 0) == 0; };
    pump = [&] {
        if (connecting && ++pumps == 3) run->Abort();
    };
    Run(rows, 2);
    EXPECT_FALSE(gate->load());
    ASSERT_EQ(recorder->log.size(), 1u);
    EXPECT_EQ(recorder->log[0], "Verbindung zu pics.lumar-test fehlgeschlagen ! (abgebrochen)");
    EXPECT_TRUE(rows[0].checked && rows[1].checked);
    EXPECT_EQ(emulator.ConnectionCount(), 1);
    gate->store(true);
}

TEST_F(UploadRunTest, HostThatNeverClosesIsGivenUpAfterTheTimeout) {
    WriteValue(settings, "Bilder", "Timeout", "1");
    emulator.SetMisbehaviour(Misbehaviour::NeverClose);
    std::vector<ImageEntry> rows = {Image("a.jpg")};
    Run(rows, 5);
    EXPECT_EQ(rows[0].upload, Codes()[0]);  // the answer that arrived is still searched
    EXPECT_FALSE(rows[0].checked);

    emulator.SetMisbehaviour(Misbehaviour::NeverCloseSilent);
    rows[0].checked = true;
    Run(rows, 5);
    EXPECT_EQ(recorder->log[0], "Upload von Bild: " + dir.path() + "/a.jpg...fehlgeschlagen ! (Zeitüberschreitung)");
    EXPECT_TRUE(rows[0].checked);
    EXPECT_EQ(rows[0].upload, Codes()[0]);  // the earlier code stays
}

TEST_F(UploadRunTest, TimeoutIsReadAnewForEveryImage) {
    WriteValue(settings, "Bilder", "Timeout", "0");
    emulator.SetMisbehaviour(Misbehaviour::NeverClose);
    std::vector<ImageEntry> rows = {Image("a.jpg"), Image("b.jpg")};
    onStatus = [&] {  // after the first image's wait, before the second image begins
        if (recorder->statuses.back().rfind("Rückmeldung", 0) == 0) WriteValue(settings, "Bilder", "Timeout", "2");
    };
    Run(rows, 1);
    ASSERT_EQ(recorder->log.size(), 2u);
    EXPECT_NE(recorder->log[0].find("(Zeitüberschreitung)"), std::string::npos);
    EXPECT_TRUE(rows[0].checked);
    EXPECT_FALSE(rows[1].checked);  // waited 2 s, long enough for the answer
    EXPECT_EQ(rows[1].upload, Codes().back());

    WriteValue(settings, "Bilder", "Timeout", "soon");  // no number: the default of 120 s
    emulator.SetMisbehaviour(Misbehaviour::None);
    rows[0].checked = true;
    Run(rows, 1);
    EXPECT_FALSE(rows[0].checked);
}

// Every link a demo posting holds leads somewhere: the thumbnail's page link to a page showing
// the picture, and the picture to the bytes uploaded.
TEST_F(UploadRunTest, EmulatorServesEveryLinkItHandsOut) {
    const std::string base = "http://127.0.0.1:" + std::to_string(emulator.Port());
    auto get = [&](const std::string& path) {
        UploadConnection c;
        const WaitControl within{std::chrono::steady_clock::now() + std::chrono::seconds(10), {}, nullptr};
        EXPECT_TRUE(c.ConnectTo("127.0.0.1", emulator.Port(), within));
        EXPECT_GT(c.SendData("GET " + path + " HTTP/1.0\r\n\r\n", within), 0);
        EXPECT_EQ(c.WaitForAnswer(within), WaitEnd::Closed);
        return c.Response().Answer();
    };
    // The address in `code` that starts with `prefix`, up to the next bracket or quote.
    auto link = [&](const std::string& code, const std::string& prefix) {
        const size_t at = code.find(prefix);
        if (at == std::string::npos) return std::string("(no link)");
        return code.substr(at + base.size(), code.find_first_of("[]\"", at) - at - base.size());
    };
    for (int hoster = 1; hoster <= 7; ++hoster) {
        std::vector<ImageEntry> rows = {Image("pic " + std::to_string(hoster) + ".jpg")};
        Run(rows, hoster);
        const std::string code = rows[0].upload;
        const std::string page = get(link(code, base + "/v/"));
        const std::string picture = link(code, base + "/i/");
        EXPECT_NE(page.find("<img src=\"" + picture + "\""), std::string::npos) << hoster << ": " << page;
        EXPECT_EQ(get(picture), dir.read("pic " + std::to_string(hoster) + ".jpg")) << hoster;
    }
    EXPECT_NE(get("/v/7").find("pic_7.jpg"), std::string::npos);
    EXPECT_EQ(get("/v/8"), "<html><body>not found</body></html>\n");  // no such image
    EXPECT_EQ(get("/v/x1"), "<html><body>not found</body></html>\n");
    EXPECT_EQ(emulator.Uploads().size(), 7u);  // looking is not uploading
}

TEST_F(UploadRunTest, RefusedConnectionAnswerWithoutMarkersAndNoHosterFail) {
    std::vector<ImageEntry> rows = {Image("a.jpg")};
    emulator.SetMisbehaviour(Misbehaviour::NoMarkers);
    Run(rows, 2);
    EXPECT_EQ(recorder->log[0], "Upload von Bild: " + dir.path() + "/a.jpg...fehlgeschlagen ! (kein Code in der Antwort)");

    HosterTable refused = LoadHostersFromText("[Hoster1]\nConnectHost=127.0.0.1\nPort=1\n");
    hosters = refused;
    Run(rows, 1);
    EXPECT_EQ(recorder->log[0], "Verbindung zu 127.0.0.1 fehlgeschlagen ! (Verbindung fehlgeschlagen)");

    Run(rows, 0);  // no hoster chosen: the empty row has no host
    EXPECT_EQ(recorder->log[0], "Verbindung zu  fehlgeschlagen ! (Host nicht gefunden)");
    EXPECT_TRUE(rows[0].checked);
    EXPECT_EQ(ReadValue(settings, "Stat", "Files", "none"), "none");
}

// A cut that is no code (too long, or empty because the markers meet) fails with its reason
// and counts nowhere.
TEST_F(UploadRunTest, OverlongOrEmptyCodesFailWithTheirReason) {
    std::vector<ImageEntry> rows = {Image("a.jpg")};
    const std::string line = "Upload von Bild: " + dir.path() + "/a.jpg...";
    emulator.SetMisbehaviour(Misbehaviour::Raw);
    emulator.SetRawAnswer(
        "HTTP/1.0 200 OK\r\n\r\n<textarea>[URL=" + std::string(70000, 'x') + "</textarea>", {});
    Run(rows, 6);
    EXPECT_EQ(recorder->log[0], line + "fehlgeschlagen ! (Code zu lang)");

    emulator.SetMisbehaviour(Misbehaviour::None);
    hosters.Hosters[6].EndMarker = "[URL=";
    Run(rows, 6);
    EXPECT_EQ(recorder->log[0], line + "fehlgeschlagen ! (leerer Code)");
    EXPECT_TRUE(rows[0].checked);
    EXPECT_EQ(recorder->messages.size(), 1u);
    EXPECT_EQ(ReadValue(settings, "Stat", "Files", "none"), "none");
}

TEST(UploadFigures, ClockPercentAndSizes) {
    EXPECT_EQ(SecondsToClock(59), "00:00:59");
    EXPECT_EQ(SecondsToClock(59.9), "00:00:59");
    EXPECT_EQ(SecondsToClock(3725), "01:02:05");
    EXPECT_EQ(SecondsToClock(90000), "25:00:00");
    EXPECT_EQ(SecondsToClock(-4), "00:00:00");
    EXPECT_EQ(ProgressPercent(0, 0, 0), 100);
    EXPECT_EQ(ProgressPercent(1, 0, 3), 33);
    EXPECT_EQ(ProgressPercent(2, 0, 3), 67);
    EXPECT_EQ(ProgressPercent(9, 0, 3), 100);
    EXPECT_EQ(ProgressPercent(-1, 0, 3), 0);
    EXPECT_EQ(ParseKbText("  150.0"), 150.0);
    EXPECT_EQ(ParseKbText(",5"), 0.5);
    EXPECT_EQ(ParseKbText(""), std::nullopt);
    EXPECT_EQ(ParseKbText("1e3"), std::nullopt);
    std::vector<ImageEntry> rows(3);
    rows[0].kB = "1.5";
    rows[1].kB = "2.5";
    rows[1].checked = false;
    rows[2].kB = "  4.0";
    EXPECT_DOUBLE_EQ(TotalCheckedSize(rows), 5.5);
    EXPECT_EQ(FormatRemainingKB(5.5), "5.5 KB");
    EXPECT_EQ(FormatRemainingKB(0), "0.0 KB");
}

}  // namespace
}  // namespace lumar
