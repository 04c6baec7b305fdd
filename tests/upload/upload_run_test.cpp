#include "upload/upload_run.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

#include "shell/settings_keys.h"
#include "shell/settings_store.h"
#include "support/jpeg_maker.h"
#include "support/upload_fixture.h"
#include "upload/socket_layer.h"

namespace lumar {
namespace {

using tools::Misbehaviour;

class UploadRunTest : public ::testing::Test, protected test::UploadFixture {};

TEST_F(UploadRunTest, EveryHosterRowUploadsEachImageAndKeepsItsCode) {
    for (int hoster = 1; hoster <= 7; ++hoster) {
        SCOPED_TRACE(hoster);
        std::vector<ImageEntry> rows = {Image("one.jpg"), Image("two.jpg")};
        const size_t before = emulator.Uploads().size();
        RunUpload(rows, hoster);
        const std::vector<std::string> codes = Codes();
        ASSERT_EQ(codes.size(), before + 2);
        EXPECT_EQ(rows[0].upload, codes[before]);
        EXPECT_EQ(rows[1].upload, codes[before + 1]);
        EXPECT_NE(rows[1].upload.find("two.jpg"), std::string::npos);
        EXPECT_FALSE(rows[0].checked || rows[1].checked);
        EXPECT_EQ(recorder->log, (std::vector<std::string>{Line("one.jpg", "erfolgreich !"),
                                                           Line("two.jpg", "erfolgreich !")}));
        EXPECT_TRUE(recorder->messages.empty());
        EXPECT_EQ(recorder->changedRows, (std::vector<int>{1, 2}));
    }
    // The file name sent is the full path, and the file arrives byte for byte.
    const tools::ReceivedUpload first = emulator.Uploads()[0];
    EXPECT_EQ(first.fileName, dir.path() + "/one.jpg");
    EXPECT_EQ(first.fileBytes, dir.read("one.jpg"));
    EXPECT_NE(emulator.Uploads()[13].requestLine.find("/newupload.php"), std::string::npos);

    // The totals grow with every success and are written at once.
    const double bytes =
        7.0 * static_cast<double>(dir.read("one.jpg").size() + dir.read("two.jpg").size());
    EXPECT_EQ(ReadValue(settings, "Stat", "Files", ""), "14");
    EXPECT_EQ(ReadValue(settings, "Stat", "Size", ""), FormatCount(bytes));
    EXPECT_EQ(recorder->stats.first, 14);
    EXPECT_EQ(recorder->totalsNotSaved, 0);

    // When the settings cannot be written the shown totals still grow with every image, and
    // the run says so once.
    settings = dir.file("one.jpg/Lumar.ini");
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
    ASSERT_GE(recorder->statuses.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(recorder->statuses.begin(), recorder->statuses.begin() + 4),
              (std::vector<std::string>{"Verbinde zu 127.0.0.1", "Sende Request...",
                                        "Warte auf Antwort von 127.0.0.1... ",
                                        "Rückmeldung von 127.0.0.1 erhalten"}));
    EXPECT_EQ(recorder->progress, (std::vector<std::pair<int, int>>{{0, 2}, {1, 2}, {2, 2}}));
    ASSERT_FALSE(recorder->figures.empty());
    EXPECT_EQ(recorder->figures.front().remainingCount, 2);
    EXPECT_DOUBLE_EQ(recorder->figures.front().remainingKB, 8);
    EXPECT_EQ(recorder->figures.back().remainingCount, 0);
    EXPECT_DOUBLE_EQ(recorder->figures.back().remainingKB, 0);
    EXPECT_FALSE(rows[1].checked);  // the rebuild clears marker rows

    WriteValue(settings, "Sound", "Soundfile", "");
    WriteValue(settings, "Bilder", "Form", "0");
    std::vector<ImageEntry> none = {MarkerRow("*UMBRUCH*")};
    RunUpload(none, 4);
    EXPECT_EQ(recorder->events,
              (std::vector<std::string>{"started 0", "collect", "finished", "finish"}));
    EXPECT_EQ(recorder->progress, (std::vector<std::pair<int, int>>{{0, 0}}));
}

// The run builds the posting from all rows with the code panel's options (how each option
// shapes it is the posting builder's to show).
TEST_F(UploadRunTest, PostingIsBuiltFromAllRowsWithThePanelsOptions) {
    blocks.Add("Hallo");
    std::vector<ImageEntry> rows = {Image("a.jpg"), MarkerRow("*UMBRUCH*"), MarkerRow("*VBCode_1*"),
                                    Image("b.jpg"), Image("c.jpg")};
    const std::string shown =
        RunUpload(rows, 4, PostingOptions{PostingFormat::Html, true, true, 2, 0});
    const std::vector<std::string> c = Codes();
    ASSERT_TRUE(state.isSplit);
    EXPECT_EQ(state.parts,
              (std::vector<std::string>{
                  "<CENTER>" + ConvertToHtml(c[0] + " \r\nHallo" + c[1] + " ") + "</CENTER>",
                  "<CENTER>" + ConvertToHtml(c[2] + " ") + "</CENTER>"}));
    EXPECT_EQ(shown, state.parts[0]);
    EXPECT_EQ(rows[0].upload, c[0]);  // the rows keep the host's code as it came
}

// Files that went bad after they were added each fail with their own line and stay checked;
// the run goes on, waits on none of them, and a second run uploads only what failed.
TEST_F(UploadRunTest, UnreadableFilesFailAloneAndASecondRunUploadsOnlyThem) {
    std::vector<ImageEntry> rows = {
        Image("first.jpg"), Image("vanished.jpg"), Image("folder.jpg"), Image("dangling.jpg"),
        Image("fifo.jpg"),  Image("empty.jpg"),    Image("locked.jpg"), Image("last.jpg")};
    for (const char* name : {"vanished.jpg", "folder.jpg", "dangling.jpg", "fifo.jpg"})
        ::unlink(dir.file(name).c_str());
    ::mkdir(dir.file("folder.jpg").c_str(), 0755);
    ::symlink(dir.file("gone.jpg").c_str(), dir.file("dangling.jpg").c_str());
    ::mkfifo(dir.file("fifo.jpg").c_str(), 0644);
    dir.write("empty.jpg", "");
    ::chmod(dir.file("locked.jpg").c_str(), 0);  // root reads it all the same
    const bool lockedFails = ::geteuid() != 0;
    RunUpload(rows, 1);

    const std::string unreadable = "fehlgeschlagen ! (Datei nicht lesbar)";
    ASSERT_EQ(recorder->log.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].text);
        const bool fails =
            i > 0 && i + 1 < rows.size() && (rows[i].text != "locked.jpg" || lockedFails);
        EXPECT_EQ(recorder->log[i], Line(rows[i].text, fails ? unreadable : "erfolgreich !"));
        EXPECT_EQ(rows[i].checked, fails);  // kept for a later try
        EXPECT_EQ(rows[i].upload.empty(), fails);
    }
    ASSERT_EQ(recorder->messages.size(), 1u);
    EXPECT_EQ(recorder->messages[0].first, "Lumar V1 - Information");
    EXPECT_EQ(
        recorder->messages[0].second,
        "Es wurden nicht alle Bilder erfolgreich hochgeladen....\r\n\r\nDu kannst diese "
        "nachträglich "
        "hochladen ohne den Code der bisher hochgeladenen Bildern zuverlieren. Schliesse dazu das "
        "Codefenster und starte den Upload erneut !");
    EXPECT_EQ(run->FailedCount(), lockedFails ? 6 : 5);

    // A second run uploads what is checked; a retry that fails keeps the row's earlier code.
    std::vector<ImageEntry> again = {rows[0], rows[1], rows[7]};
    again[0].checked = true;
    ::unlink(dir.file("first.jpg").c_str());
    test::WriteJpeg(dir.file("vanished.jpg"), 8, 8);
    const std::string posting = RunUpload(again, 1);
    EXPECT_EQ(recorder->log, (std::vector<std::string>{Line("first.jpg", unreadable),
                                                       Line("vanished.jpg", "erfolgreich !")}));
    EXPECT_EQ(again[0].upload, rows[0].upload);
    EXPECT_EQ(posting, rows[0].upload + " " + Codes().back() + " " + rows[7].upload + " ");
}

TEST_F(UploadRunTest, UnusualNamesArriveWholeAndCannotBreakTheRequest) {
    struct Case {
        std::string name, logged, sent;  // sent in the host's code page where it fits
    } cases[] = {
        {"caf\xE9.jpg", "caf\xE9.jpg", "caf\xE9.jpg"},
        // A line break or quote would end the part's header line or its quoted value early:
        // they go out escaped as browsers send them, and the log writes them out.
        {"two\r\nContent-Type: text/html.jpg", "two\\r\\nContent-Type: text/html.jpg",
         "two%0D%0AContent-Type: text/html.jpg"},
        {"quote\"d.jpg", "quote\"d.jpg", "quote%22d.jpg"},
    };
    std::vector<ImageEntry> rows;
    for (const Case& c : cases) rows.push_back(Image(c.name));
    RunUpload(rows, 1);
    const std::vector<tools::ReceivedUpload> uploads = emulator.Uploads();
    ASSERT_EQ(uploads.size(), std::size(cases));
    ASSERT_EQ(recorder->log.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(recorder->log[i], Line(cases[i].logged, "erfolgreich !"));
        EXPECT_EQ(uploads[i].fileName, dir.path() + "/" + cases[i].sent);
        EXPECT_EQ(uploads[i].fileBytes, dir.read(cases[i].name));
        EXPECT_EQ(uploads[i].parts.back().contentType, "image/jpeg");
    }
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
    RunUpload(rows, 3);
    EXPECT_EQ(recorder->log,
              (std::vector<std::string>{Line("a.jpg", "fehlgeschlagen ! (abgebrochen)")}));
    EXPECT_EQ(run->DoneCount(), 1);
    EXPECT_EQ(emulator.ConnectionCount(), 1);
    EXPECT_TRUE(rows[0].checked && rows[1].checked && rows[2].checked);
    EXPECT_EQ(recorder->messages.size(), 1u);
    EXPECT_EQ(recorder->events.back(), "front");
}

// Host names go through the run's resolver (the lookup's own cancel and time-out are tested
// where it lives).
TEST_F(UploadRunTest, NamedHostIsLookedUpThroughTheResolver) {
    std::string ini = emulator.HostersIni();
    for (size_t at; (at = ini.find("127.0.0.1")) != std::string::npos;)
        ini.replace(at, 9, "pics.lumar-test");
    hosters = LoadHostersFromText(ini);
    auto asked = std::make_shared<std::atomic<int>>(0);
    resolver = [asked](const std::string& host) {
        ++*asked;
        return host == "pics.lumar-test" ? htonl(INADDR_LOOPBACK) : kAddressNone;
    };
    std::vector<ImageEntry> rows = {Image("a.jpg")};
    RunUpload(rows, 2);
    EXPECT_EQ(asked->load(), 1);
    EXPECT_EQ(rows[0].upload, Codes().at(0));
}

TEST_F(UploadRunTest, TimeoutIsReadAnewForEveryImage) {
    WriteValue(settings, "Bilder", "Timeout", "0");
    emulator.SetMisbehaviour(Misbehaviour::NeverClose);
    std::vector<ImageEntry> rows = {Image("a.jpg"), Image("b.jpg")};
    onStatus = [&] {  // after the first image's wait, before the second image begins
        if (recorder->statuses.back().rfind("Rückmeldung", 0) == 0)
            WriteValue(settings, "Bilder", "Timeout", "2");
    };
    RunUpload(rows, 1);
    ASSERT_EQ(recorder->log.size(), 2u);
    EXPECT_NE(recorder->log[0].find("(Zeitüberschreitung)"), std::string::npos);
    EXPECT_TRUE(rows[0].checked);
    EXPECT_FALSE(rows[1].checked);  // waited 2 s, long enough for the answer
    EXPECT_EQ(rows[1].upload, Codes().back());

    WriteValue(settings, "Bilder", "Timeout", "soon");  // no number: the default of 120 s
    emulator.SetMisbehaviour(Misbehaviour::None);
    rows[0].checked = true;
    RunUpload(rows, 1);
    EXPECT_FALSE(rows[0].checked);
}

// Every link a demo posting holds leads somewhere: the thumbnail's page link to a page showing
// the picture, and the picture to the bytes uploaded.
TEST_F(UploadRunTest, EmulatorServesEveryLinkItHandsOut) {
    const std::string base = "http://127.0.0.1:" + std::to_string(emulator.Port());
    auto get = [&](const std::string& path) {
        UploadConnection c;
        const WaitControl within{
            std::chrono::steady_clock::now() + std::chrono::seconds(10), {}, nullptr};
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
        RunUpload(rows, hoster);
        const std::string page = get(link(rows[0].upload, base + "/v/"));
        const std::string picture = link(rows[0].upload, base + "/i/");
        EXPECT_NE(page.find("<img src=\"" + picture + "\""), std::string::npos)
            << hoster << ": " << page;
        EXPECT_EQ(get(picture), dir.read("pic " + std::to_string(hoster) + ".jpg")) << hoster;
    }
    EXPECT_NE(get("/v/7").find("pic_7.jpg"), std::string::npos);
    for (const char* missing : {"/v/8", "/v/x1"})
        EXPECT_EQ(get(missing), "<html><body>not found</body></html>\n");
    EXPECT_EQ(emulator.Uploads().size(), 7u);  // looking is not uploading
}

// A cut that is no code (too long, or empty because the markers meet), or no hoster chosen,
// fails with its reason and counts nowhere.
TEST_F(UploadRunTest, NoCodeOrNoHosterFailsWithItsReason) {
    const HosterTable fromEmulator = hosters;
    HosterTable markersMeet = hosters;
    markersMeet.Hosters[6].EndMarker = "[URL=";
    struct Case {
        int hoster;
        const HosterTable& table;
        std::string raw, line;
    } cases[] = {
        {6, fromEmulator,
         "HTTP/1.0 200 OK\r\n\r\n<textarea>[URL=" + std::string(70000, 'x') + "</textarea>",
         Line("a.jpg", "fehlgeschlagen ! (Code zu lang)")},
        {6, markersMeet, "", Line("a.jpg", "fehlgeschlagen ! (leerer Code)")},
        {0, fromEmulator, "",
         "Verbindung zu  fehlgeschlagen ! (Host nicht gefunden)"},  // the empty row
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        if (c.raw.empty())
            emulator.SetMisbehaviour(Misbehaviour::None);
        else
            emulator.SetRawAnswer(c.raw, {});
        hosters = c.table;
        std::vector<ImageEntry> rows = {Image("a.jpg")};
        RunUpload(rows, c.hoster);
        EXPECT_EQ(recorder->log, std::vector<std::string>{c.line});
        EXPECT_TRUE(rows[0].checked);
        EXPECT_EQ(recorder->messages.size(), 1u);
        EXPECT_EQ(ReadValue(settings, "Stat", "Files", "none"), "none");
    }
}

TEST(UploadFigures, ClockPercentAndSizes) {
    EXPECT_EQ(SecondsToClock(59.9), "00:00:59");
    EXPECT_EQ(SecondsToClock(90000), "25:00:00");
    EXPECT_EQ(SecondsToClock(-4), "00:00:00");
    EXPECT_EQ(ProgressPercent(0, 0, 0), 100);
    EXPECT_EQ(ProgressPercent(2, 0, 3), 67);
    EXPECT_EQ(ProgressPercent(9, 0, 3), 100);
    EXPECT_EQ(ProgressPercent(-1, 0, 3), 0);
    std::vector<ImageEntry> rows(3);
    rows[0].bytes = 1536;
    rows[1].bytes = 2560;
    rows[1].checked = false;
    rows[2].bytes = 4096;
    EXPECT_DOUBLE_EQ(TotalCheckedSize(rows), 5.5);
    EXPECT_EQ(FormatRemainingKB(0), "0.0 KB");
}

}  // namespace
}  // namespace lumar
