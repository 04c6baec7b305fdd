// lumar-cli upload and request, run as a script would, against the hoster emulator and an HTTPS
// server of the test's own.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "history/history_store.h"
#include "shell/file_io.h"
#include "shell/settings_store.h"
#include "shell/window_geometry.h"
#include "support/cli_runner.h"
#include "support/jpeg_maker.h"
#include "support/test_http_server.h"
#include "support/test_proxy.h"
#include "support/tls_test_pki.h"
#include "support/upload_fixture.h"

namespace lumar {
namespace {

using test::CliRun;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// lumar-cli started through `timeout`, its process id left in cli.pid for the test to signal.
const std::string kRecordingPid = "-s KILL 60 sh -c 'echo $$ >cli.pid; exec \"$0\" \"$@\"'";

class UploadCliTest : public ::testing::Test {
  protected:
    UploadCliTest() {
        dir.write("cfg/hosters.ini", emulator.HostersIni());
        WriteValue(Ini(), "Bilder", "Werbung", "0");
        test::WriteJpeg(dir.file("pics/a.jpg"), 20, 10);
        test::WriteJpeg(dir.file("pics/sub/b.jpg"), 30, 10);
    }
    std::string Ini() const { return dir.file("cfg/Lumar.ini"); }

    // Runs lumar-cli from the temporary folder, so relative paths start there; `timeout` ends
    // a run that hangs.
    CliRun Run(const std::string& arguments, const std::string& timeout = "-s KILL 60",
               const std::string& locale = "") {
        const std::string command = "cd '" + dir.path() + "' && " + locale + " timeout " + timeout +
                                    " " + LUMAR_CLI_PATH + " --config-dir cfg " + arguments +
                                    " 2>'" + dir.file("stderr.txt") + "'";
        return test::RunShell(command, dir.file("stderr.txt"));
    }
    std::vector<std::string> Codes() const { return test::Codes(emulator); }

    test::TempDir dir;
    tools::HosterEmulator emulator;
};

TEST_F(UploadCliTest, UploadsWhatADropWouldAddAndPrintsThePosting) {
    test::WriteJpeg(dir.file("pics/sub/x*y.jpg"), 30, 10);  // a file name may hold a "*"
    const CliRun run = Run("upload --hoster 4 --no-center pics");
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(Codes().size(), 3u);
    EXPECT_EQ(run.out, Codes()[0] + " " + Codes()[1] + " " + Codes()[2] + " ");
    EXPECT_EQ(Lines(run.err).back(),
              "Upload von Bild: " + dir.file("pics/sub/x*y.jpg") + "...erfolgreich !");

    // Started with standard input closed, the connection may get descriptor 0.
    const CliRun noStdin = Run("upload --hoster 4 --no-center pics <&-");
    ASSERT_EQ(Codes().size(), 6u);
    EXPECT_EQ(noStdin.out, Codes()[3] + " " + Codes()[4] + " " + Codes()[5] + " ");

    // The options given are not kept in Lumar.ini.
    EXPECT_EQ(ReadValue(Ini(), "Bilder", "Anbieter", "unset"), "unset");

    // The history lists the uploads under the row they went to, by number and by ID.
    for (const char* row : {"4", "Hoster4"}) {
        const CliRun listed = Run(std::string("history list --hoster ") + row);
        EXPECT_EQ(Lines(listed.out).size(), 6u) << row << listed.err;
    }
}

TEST_F(UploadCliTest, OptionsLeftOutComeFromLumarIni) {
    WriteValue(Ini(), "Bilder", "Anbieter", "5");  // list index 5 = row 6, paintedover
    WriteValue(Ini(), "Posting", "Code", "1");
    WriteValue(Ini(), "Bilder", "Center", "1");
    const CliRun run = Run("upload pics/a.jpg");
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(emulator.Uploads().size(), 1u);
    EXPECT_EQ(emulator.Uploads()[0].style, tools::HosterStyle::PaintedOver);
    EXPECT_EQ(run.out.rfind("<CENTER><a href=", 0), 0u) << run.out;

    const CliRun split =
        Run("upload --hoster 1 --no-center --split 1 --part 2 --max-size 0 --quality 90 "
            "--no-strip pics");
    ASSERT_EQ(split.status, 0) << split.err;
    EXPECT_NE(split.out.find("/i/3/b.jpg"), std::string::npos);  // part 2: the second image
    EXPECT_EQ(split.out.find("/i/2/a.jpg"), std::string::npos);  // part 1 is not printed
    const CliRun markdown = Run("upload --markdown pics/a.jpg");
    EXPECT_EQ(markdown.out.rfind("[![a](http://", 0), 0u) << markdown.out;
}

TEST_F(UploadCliTest, FailuresAndBadUsageGiveTheirExitCodes) {
    // A disk too full for the totals (a file size limit below Lumar.ini's size) is said once
    // and fails the command, though every image went up.
    WriteValue(Ini(), "Pad", "x", std::string(1000, 'x'));
    const CliRun full =
        test::RunShell("cd '" + dir.path() + "' && (trap '' XFSZ; ulimit -f 1; exec " +
                       LUMAR_CLI_PATH + " --config-dir cfg upload --hoster 3 pics) 2>&1");
    EXPECT_EQ(full.status, 1) << full.out;
    const std::string said = "the upload totals cannot be saved in cfg/Lumar.ini (File too large)";
    EXPECT_NE(full.out.find(said), std::string::npos) << full.out;
    EXPECT_EQ(full.out.find(said), full.out.rfind(said));

    // A posting that cannot reach standard output (a full disk) is lost: it fails the command.
    const CliRun lost = test::RunShell("cd '" + dir.path() + "' && " + LUMAR_CLI_PATH +
                                       " --config-dir cfg upload --hoster 3 pics 2>&1 >/dev/full");
    EXPECT_EQ(lost.status, 1) << lost.out;
    EXPECT_NE(lost.out.find("the posting could not be written"), std::string::npos) << lost.out;

    // One line per image that fails at the host, then the notice that not everything arrived,
    // in the locale's language; German log lines stay what scripts have always read.
    emulator.SetMisbehaviour(tools::Misbehaviour::NoMarkers);
    const std::string titled = "Lumar " + AppVersionText(LUMAR_VERSION) + " - Information: ";
    const std::pair<const char*, std::string> languages[] = {
        {"LANG=C.UTF-8",
         "Lumar V1 - Information: Es wurden nicht alle Bilder erfolgreich hochgeladen...."},
        {"LC_ALL=de_DE.UTF-8", titled + "Es wurden nicht alle Bilder erfolgreich hochgeladen."},
        {"LANG=en_US.UTF-8", titled + "Not all images were uploaded."},
    };
    std::vector<std::string> germanLog;
    for (const auto& [locale, notice] : languages) {
        const CliRun failed = Run("upload --hoster 3 pics", "-s KILL 60", locale);
        EXPECT_EQ(failed.status, 1);
        std::vector<std::string> lines = Lines(failed.err);
        ASSERT_EQ(lines.size(), 3u) << failed.err;
        EXPECT_EQ(lines.back(), notice);
        lines.pop_back();
        if (germanLog.empty()) germanLog = lines;
        EXPECT_EQ(lines == germanLog, notice.find("Es wurden") != std::string::npos) << locale;
    }

    for (const char* usage :
         {"upload --hoster 99 pics", "upload --hoster 1", "upload --part 2 pics",
          "upload --bogus pics", "upload --quality 0 pics", "request pics/a.jpg",
          "upload --hoster 3 --fallback 3 pics", "upload --hoster 3 --fallback Hoster1 pics",
          "upload --hoster 3 --fallback nosuch pics"})
        EXPECT_EQ(Run(usage).status, 2) << usage;
    EXPECT_EQ(Run("upload --hoster 1 nothing-here").status, 1);
}

TEST_F(UploadCliTest, RequestPrintsTheExactBytesOfAnUpload) {
    EXPECT_EQ(Run("request --hoster 4 pics/missing.jpg").status, 1);
    // --connect-to points a built-in row at the emulator; its request stays as it is.
    dir.write("cfg/hosters.ini", "");
    const CliRun redirected =
        Run("upload --hoster 4 --connect-to www.dumpanimage.com:80:127.0.0.1:" +
            std::to_string(emulator.Port()) + " pics/a.jpg");
    EXPECT_EQ(redirected.status, 0) << redirected.err;
    ASSERT_EQ(emulator.Uploads().size(), 1u);
    EXPECT_EQ(emulator.Uploads()[0].header + "\r\n\r\n" + emulator.Uploads()[0].body,
              Run("request --hoster 4 pics/a.jpg").out);
}

// Every file named that is no image is named on stderr and fails the run; inside a folder only
// the scan decides, so there they are skipped without complaint.
TEST_F(UploadCliTest, NamedFilesThatAreNoImageAreNamedAndFailTheRun) {
    dir.write("bad/empty.jpg", "");
    ::mkfifo(dir.file("bad/fifo.jpg").c_str(), 0644);
    ::mkdir(dir.file("bad/folder.jpg").c_str(), 0755);
    test::WriteJpeg(dir.file("bad/good one.jpg"), 20, 10);
    const CliRun run =
        Run("upload --hoster 4 --no-center 'bad/good one.jpg' bad/empty.jpg bad/fifo.jpg "
            "bad/missing.jpg");
    EXPECT_EQ(run.status, 1);
    const std::string good =
        "Upload von Bild: " + dir.file("bad/good one.jpg") + "...erfolgreich !";
    const std::vector<std::string> lines = Lines(run.err);
    ASSERT_EQ(lines.size(), 4u);  // one for each file named
    EXPECT_EQ(lines[2], "lumar-cli: " + dir.file("bad/missing.jpg") +
                            ": not a readable picture (JPEG, PNG, GIF, WebP)");
    EXPECT_EQ(lines[3], good);
    ASSERT_EQ(Codes().size(), 1u);
    EXPECT_EQ(run.out, Codes()[0] + " ");  // the posting of what did arrive

    const CliRun scan = Run("upload --hoster 4 --no-center bad");
    EXPECT_EQ(scan.status, 0) << scan.err;
    EXPECT_EQ(Lines(scan.err), std::vector<std::string>{good});
}

// The first image's answer never comes; the interrupt arrives while the run waits for it.
// --foreground: Ctrl+C comes once, but timeout would send it again to its process group, late
// enough under load to find the default handler back and end the process after its output.
TEST_F(UploadCliTest, InterruptStopsAfterTheCurrentImageAndPrintsThePostingSoFar) {
    emulator.SetMisbehaviour(tools::Misbehaviour::NeverCloseSilent);
    // Interrupted once the first image has reached the host whole: a connection alone may not
    // yet be the program's, which would then stop while connecting.
    std::thread interrupt([&] {
        for (int turn = 0; turn < 6000 && emulator.Uploads().empty(); ++turn)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream pid(dir.file("cli.pid"));
        pid_t cli = 0;
        if (pid >> cli && cli > 0) ::kill(cli, SIGINT);
    });
    const CliRun run = Run("upload --hoster 2 --timeout 60 pics", kRecordingPid);
    interrupt.join();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(emulator.ConnectionCount(), 1);
    EXPECT_NE(run.err.find("a.jpg...fehlgeschlagen ! (abgebrochen)"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "[CENTER][/CENTER]");  // the posting so far: empty, centred by default
}

// A run killed right after it reported a success keeps it: the history holds the entry. Run
// again, it sends only the images the history had not recorded, and takes the others' codes.
TEST_F(UploadCliTest, RunKilledAfterASuccessKeepsItAndSendsOnlyTheMissingImagesAgain) {
    // The killed run may leave a connection that never sent its request.
    test::TestHttpServer host([&](const std::string& request) {
        const size_t at = request.find("filename=\"");
        if (at == std::string::npos) return test::TestAnswer{"HTTP/1.1 400 Bad Request\r\n\r\n"};
        const std::string link =
            "http://h/" + request.substr(at + 10, request.find('"', at + 10) - at - 10);
        return test::TestAnswer{"HTTP/1.1 200 OK\r\nContent-Length: " +
                                std::to_string(link.size()) + "\r\n\r\n" + link};
    });
    // Each run's requests name it in their query, which the history's key of the row leaves out.
    const auto useRun = [&](const std::string& run) {
        dir.write("cfg/hosters.ini",
                  emulator.HostersIni() + "[Hoster8]\nName=Today\nRequest=standard\nUploadUrl=" +
                      host.Url("/up?run=" + run) + "\nFileField=f\nConnections=1\n");
    };
    useRun("1");
    for (int i = 0; i < 8; ++i)
        test::WriteJpeg(dir.file("many/" + std::to_string(i) + ".jpg"), 20 + i, 10);
    // Lines of `text` that hold `word`: one for each image it speaks of.
    const auto count = [](const std::string& text, const std::string& word) {
        return static_cast<size_t>(std::ranges::count_if(Lines(text), [&](const std::string& line) {
            return line.find(word) != std::string::npos;
        }));
    };
    // One request per image: no thumbnails of Lumar's own beside them. Its standard error is
    // read as it comes, and the first success it reports is followed by the kill.
    const std::string command = "cd '" + dir.path() + "' && timeout " + kRecordingPid + " " +
                                LUMAR_CLI_PATH +
                                " --config-dir cfg upload --hoster 8 --no-own-thumbs many "
                                "2>&1 >/dev/null";
    FILE* err = ::popen(command.c_str(), "r");
    ASSERT_NE(err, nullptr);
    std::string killedErr, first;
    for (char line[4096]; std::fgets(line, sizeof line, err);) {
        killedErr += line;
        if (!first.empty() || killedErr.find("erfolgreich !") == std::string::npos) continue;
        first = line;
        std::ifstream pid(dir.file("cli.pid"));
        pid_t cli = 0;
        if (pid >> cli && cli > 0) ::kill(cli, SIGKILL);
    }
    ::pclose(err);
    ASSERT_FALSE(first.empty()) << killedErr;
    HistoryStore history;
    ASSERT_EQ(history.Open(dir.file("cfg/history.sqlite")), HistoryOpening::kOpened);
    EXPECT_TRUE(std::ranges::any_of(history.List({}), [&](const HistoryEntry& e) {
        return first.find(e.filePath + "...erfolgreich !") != std::string::npos;
    })) << first;
    const size_t reported = count(killedErr, "erfolgreich !");

    // Every reported code is in the history; one recorded as the kill came may be there too,
    // unreported: it is reused as well, and no picture goes up twice.
    useRun("2");
    const CliRun again = Run("upload --hoster 8 --no-own-thumbs many");
    EXPECT_EQ(again.status, 0) << again.err;
    const size_t reused = count(again.err, "Code wiederverwendet");
    EXPECT_GE(reused, reported);
    const auto secondRun = [](const std::string& r) { return r.starts_with("POST /up?run=2 "); };
    EXPECT_EQ(static_cast<size_t>(std::ranges::count_if(host.Requests(), secondRun)), 8 - reused);
}

// A history that cannot keep the run's entries fails the command as lost totals do, each
// image saying so and the run once more at its end, while the codes still make the posting:
// a folder in the file's place, a full disk (a small tmpfs, where the test can mount one in a
// namespace of its own).
TEST_F(UploadCliTest, AHistoryThatCannotKeepTheEntriesFailsTheCommand) {
    const std::string notKept = "hochgeladen, aber nicht im Verlauf gespeichert";
    const std::string cli = std::string(LUMAR_CLI_PATH);
    const std::string tmpfs =
        "unshare -rm sh -c 'mkdir -p full && mount -t tmpfs -o size=256k "
        "tmpfs full && cp cfg/hosters.ini cfg/Lumar.ini full/ && " +
        cli + " --config-dir full upload --hoster 4 pics/a.jpg && ";
    const struct {
        const char* name;
        std::string command;
    } cases[] = {
        {"folder",
         "mkdir cfg/history.sqlite && " + cli + " --config-dir cfg upload --hoster 4 pics"},
        {"full disk", tmpfs + "(head -c 1048576 /dev/zero >full/fill; " + cli +
                          " --config-dir full upload --hoster 4 pics/sub/b.jpg)'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.name == std::string("full disk") &&
            test::RunShell("unshare -rm sh -c 'mount -t tmpfs tmpfs /mnt' 2>&1").status != 0)
            GTEST_SKIP() << "full disk: not tested, no tmpfs can be mounted here";
        const CliRun run = test::RunShell("cd '" + dir.path() + "' && " + c.command + " 2>&1");
        EXPECT_EQ(run.status, 1) << run.out;
        const std::string last = c.name == std::string("full disk") ? "b.jpg" : "sub/b.jpg";
        EXPECT_NE(run.out.find(last + "...erfolgreich ! (" + notKept + ": "), std::string::npos)
            << run.out;
        EXPECT_NE(run.out.find(" Bild(er) " + notKept + ": "), std::string::npos) << run.out;
        EXPECT_NE(run.out.find(Codes().back()), std::string::npos) << run.out;  // the posting
    }
}

// A form field's value in a multipart body, or "<missing>".
std::string Field(const std::string& request, const std::string& name) {
    const std::string start = "name=\"" + name + "\"\r\n\r\n";
    const size_t at = request.find(start);
    if (at == std::string::npos) return "<missing>";
    const size_t from = at + start.size();
    return request.substr(from, request.find("\r\n--", from) - from);
}

// Host definitions as their makers hand them out, imported unchanged and uploaded to a host on
// the loopback that reads what their templates sent.
TEST_F(UploadCliTest, DefinitionsSendTheirTemplatesAndAskThroughInput) {
    const test::TestHttpServer host([](const std::string& request) {
        const bool asExpected = Field(request, "file") == "a.jpg" &&
                                Field(request, "text").empty() &&
                                Field(request, "token") == "token_5b7c";
        const std::string json = asExpected ? R"({"url":"http://h.test/a"})" : "{}";
        return test::TestAnswer{"HTTP/1.1 200 OK\r\nContent-Length: " +
                                std::to_string(json.size()) + "\r\n\r\n" + json};
    });
    const std::string connectTo =
        " --connect-to 127.0.0.1:18082:127.0.0.1:" + std::to_string(host.Port()) + " ";
    // The file a self-hosted host hands out, with {filename} and {input} in its arguments.
    dir.write("admin-ShareX.sxcu", R"({
    "Version": "16.1.0",
    "Name": "admin-ShareX",
    "DestinationType": "ImageUploader, TextUploader, FileUploader",
    "RequestMethod": "POST",
    "RequestURL": "http://127.0.0.1:18082/upload",
    "Body": "MultipartFormData",
    "Arguments": { "file": "{filename}", "text": "{input}", "token": "token_5b7c" },
    "FileFormName": "upload",
    "URL": "{json:url}",
    "ThumbnailURL": "{json:url}/raw",
    "DeletionURL": "{json:url}/delete/token_5b7c"
})");
    dir.write("webhook.sxcu", R"({"DestinationType": "ImageUploader", "RequestURL": "Webhook URL",
    "FileFormName": "file"})");
    const CliRun imported = Run("hoster import admin-ShareX.sxcu webhook.sxcu");
    EXPECT_EQ(imported.status, 1);
    EXPECT_NE(
        imported.err.find("webhook.sxcu: refused: RequestURL \"Webhook URL\" is a placeholder"),
        std::string::npos)
        << imported.err;
    EXPECT_EQ(*ReadFileBytes(dir.file("cfg/hosters.d/admin-ShareX.sxcu")),
              *ReadFileBytes(dir.file("admin-ShareX.sxcu")));

    const CliRun selfHosted =
        Run("upload --hoster admin-ShareX --no-center" + connectTo + "pics/a.jpg");
    EXPECT_EQ(selfHosted.status, 0) << selfHosted.err;
    EXPECT_EQ(selfHosted.out, "[URL=http://h.test/a][IMG]http://h.test/a/raw[/IMG][/URL] ");

    // %-tokens and questions in the values, a percent-escape in the address left as it is.
    dir.write("cfg/hosters.d/tokens.sxcu", R"({"DestinationType": "ImageUploader",
    "RequestURL": "http://127.0.0.1:18082/up%2Fx?name={filename}", "FileFormName": "f",
    "Headers": {"X-Tag": "{inputbox:Tag|none}"},
    "Arguments": {"day": "%y-%mo-%d", "digits": "%rn{6}", "size": "%widthx%height",
                  "percent": "100%% %2F \\%y", "seen": "{select:public|private}",
                  "name": "{base64:{filename}}", "id": "%guid"}})");
    const CliRun unanswered = Run("request --hoster tokens --input Tag=x pics/a.jpg");
    EXPECT_EQ(unanswered.status, 2);
    EXPECT_NE(unanswered.err.find("--input 'public|private=VALUE'"), std::string::npos)
        << unanswered.err;
    EXPECT_EQ(
        Run("request --hoster tokens --input Tag=x --input 'public|private=no' pics/a.jpg").status,
        2);
    const CliRun request =
        Run("request --hoster tokens --input Tag=mine --input 'public|private=private' pics/a.jpg");
    ASSERT_EQ(request.status, 0) << request.err;
    EXPECT_EQ(request.out.rfind("POST /up%2Fx?name=a.jpg HTTP/1.1\r\n", 0), 0u) << request.out;
    EXPECT_NE(request.out.find("\r\nX-Tag: mine\r\n"), std::string::npos);
    EXPECT_TRUE(std::regex_match(Field(request.out, "day"), std::regex(R"(\d{4}-\d\d-\d\d)")));
    EXPECT_TRUE(std::regex_match(Field(request.out, "digits"), std::regex(R"(\d{6})")));
    EXPECT_EQ(Field(request.out, "size"), "20x10");
    EXPECT_EQ(Field(request.out, "percent"), "100% %2F %y");
    EXPECT_EQ(Field(request.out, "seen"), "private");
    EXPECT_EQ(Field(request.out, "name"), "YS5qcGc=");
    EXPECT_TRUE(
        std::regex_match(Field(request.out, "id"),
                         std::regex("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-"
                                    "[0-9a-f]{12}")));
}

// A classic row goes through the proxy of Lumar.ini, its request line then naming the whole URL,
// and reaches a host on the IPv6 loopback.
TEST_F(UploadCliTest, AClassicRowGoesThroughAProxyAndOverIpv6) {
    const test::TestHttpServer proxy(nullptr, test::ProxyOptions());
    WriteValue(Ini(), "Bilder", "Proxy", "http://127.0.0.1:" + std::to_string(proxy.Port()));
    const std::string host = "127.0.0.1:" + std::to_string(emulator.Port());
    const CliRun proxied = Run("upload --hoster 1 --no-center pics/a.jpg");
    EXPECT_EQ(proxied.status, 0) << proxied.err;
    ASSERT_EQ(Codes().size(), 1u);
    EXPECT_EQ(proxied.out, Codes()[0] + " ");
    ASSERT_EQ(proxy.Requests().size(), 1u);
    EXPECT_EQ(proxy.Requests()[0].rfind("POST http://" + host + "/upload.php HTTP/1.0\r\n", 0), 0u);

    const std::string code = "[URL=http://h/v/6][IMG]http://h/i/6.jpg[/IMG][/URL]";
    std::unique_ptr<test::TestHttpServer> v6;
    try {
        v6 = std::make_unique<test::TestHttpServer>(
            [&](const std::string&) {
                return test::TestAnswer{
                    "HTTP/1.0 200 OK\r\n\r\n" +
                    tools::HosterEmulator::PageFor(tools::HosterStyle::ImageVenue, code)};
            },
            test::TestServerOptions{.ipv6 = true});
    } catch (const std::runtime_error&) {
        GTEST_SKIP() << "no IPv6 loopback";
    }
    WriteValue(Ini(), "Bilder", "Proxy", "direct");
    const CliRun direct = Run("upload --hoster 1 --no-center --connect-to " + host +
                              ":[::1]:" + std::to_string(v6->Port()) + " pics/a.jpg");
    EXPECT_EQ(direct.status, 0) << direct.err;
    EXPECT_EQ(direct.out, code + " ");
    ASSERT_EQ(v6->Requests().size(), 1u);
    EXPECT_EQ(v6->Requests()[0].rfind("POST /upload.php HTTP/1.0\r\n", 0), 0u);
}

// One picture from standard input, as `grim - | lumar-cli upload -` sends it: judged by its
// content and sent under the name given or its time, leaving nothing behind; bytes that are no
// picture are refused before anything is sent.
TEST_F(UploadCliTest, APictureFromStandardInputIsSentUnderItsName) {
    ::setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);
    const test::TestHttpServer host([](const std::string&) {
        return test::TestAnswer{"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhttp://h/1"};
    });
    dir.write("cfg/hosters.ini", "[Hoster8]\nName=Today\nRequest=standard\nUploadUrl=" +
                                     host.Url("/up") + "\nFileField=f\n");
    WriteValue(Ini(), "Bilder", "Proxy", "direct");
    const std::string jpeg = test::MakeJpeg(20, 10), png = test::MakePngHead(4, 4);
    dir.write("in/shot", jpeg);
    dir.write("in/grim", png);
    dir.write("in/text", "no picture");
    const struct {
        const char* args;
        const char* input;
        const char* sentAs;  // nullptr: refused
        const std::string& bytes;
    } cases[] = {{"--name 'my shot.jpg' -", "in/shot", "filename=\"my shot.jpg\"", jpeg},
                 {"-", "in/grim", "filename=\"Bild 20", png},
                 {"-", "in/text", nullptr, png}};
    for (const auto& c : cases) {
        const size_t before = host.Requests().size();
        const CliRun run =
            Run(std::string("upload --hoster 8 --no-reuse --no-strip --no-own-thumbs ") + c.args +
                " <" + c.input);
        EXPECT_EQ(run.status, c.sentAs ? 0 : 1) << run.err;
        ASSERT_EQ(host.Requests().size() - before, c.sentAs ? 1u : 0u) << c.input;
        if (!c.sentAs) continue;
        EXPECT_NE(host.Requests().back().find(c.sentAs), std::string::npos) << c.input;
        EXPECT_NE(host.Requests().back().find(c.bytes), std::string::npos) << c.input;
    }
    EXPECT_EQ(test::RunShell("ls -A '" + dir.file("cache/lumar/captures") + "'").out, "");
}

// lumar-cli upload of a standard row to an HTTPS server of the test's own on the loopback,
// reached under a made-up name through --connect-to and trusted through --ca-file.
constexpr const char* kImageUrl = "https://i.test/1.jpg";
const std::string kHttpsRow =
    "Name=tls\nRequest=standard\nUploadUrl=https://upload.test/up\nFileField=image\n"
    "URL={json:data.url}\nThumbnailURL={responseurl}\nErrorMessage={json:error.message}\n"
    "Parameters=key=a b\nHeaders=X-Key: k\n";

// 303 from /up to /done, when asked to, or to another host; the link in JSON otherwise.
test::TestAnswer Host(const std::string& request, bool redirect) {
    if (request.find("elsewhere") != std::string::npos)
        return {
            "HTTP/1.1 303 See Other\r\nLocation: https://other.test/done\r\n"
            "Content-Length: 0\r\n\r\n"};
    if (request.find("too-big") != std::string::npos)
        return {
            "HTTP/1.1 413 Request Entity Too Large\r\nContent-Length: 31\r\n\r\n"
            "{\"error\":{\"message\":\"too big\"}}"};
    if (redirect && request.rfind("POST /up?", 0) == 0)
        return {"HTTP/1.1 303 See Other\r\nLocation: /done\r\nContent-Length: 0\r\n\r\n"};
    const std::string json = std::string("{\"data\":{\"url\":\"") + kImageUrl + "\"}}";
    return {"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
            std::to_string(json.size()) + "\r\n\r\n" + json};
}

class HttpsUploadCliTest : public UploadCliTest {
  protected:
    HttpsUploadCliTest() {
        dir.write("ca.pem", pki.Ca().certificatePem);
        dir.write("cfg/hosters.ini", "[Hoster8]\n" + kHttpsRow);
        // A proxy of the machine's environment must not stand between the test and its server.
        WriteValue(Ini(), "Bilder", "Proxy", "direct");
    }

    // Uploads a.jpg to row 8 with `server` standing in for upload.test:443, trusting our CA.
    CliRun Upload(const test::TestHttpServer& server) {
        const std::string address =
            server.Url().find("[::1]") != std::string::npos ? "[::1]" : "127.0.0.1";
        const std::string connectTo =
            "--connect-to upload.test:443:" + address + ":" + std::to_string(server.Port());
        return Run("upload --hoster 8 --no-center --no-reuse --timeout 10 --ca-file ca.pem " +
                   connectTo + " pics/a.jpg");
    }

    test::TestPki pki;
    const test::TestCertificate valid = pki.Leaf({"upload.test"});
};

TEST_F(HttpsUploadCliTest, ReachesTheHostDirectlyAfterARedirectThroughAProxyAndOverIpv6) {
    const struct {
        const char* name;
        bool redirect, proxy, ipv6;
        const char* finalUrl;
    } cases[] = {
        {"direct", false, false, false, "https://upload.test/up?key=a%20b"},
        {"redirect", true, false, false, "https://upload.test/done"},
        {"proxy", false, true, false, "https://upload.test/up?key=a%20b"},
        {"ipv6", false, false, true, "https://upload.test/up?key=a%20b"},
    };
    for (const auto& c : cases) {
        const test::TestHttpServer server(
            [&](const std::string& request) { return Host(request, c.redirect); },
            {.certificate = &valid, .ipv6 = c.ipv6});
        const test::TestHttpServer proxy(nullptr, test::ProxyOptions());
        WriteValue(Ini(), "Bilder", "Proxy",
                   c.proxy ? "http://127.0.0.1:" + std::to_string(proxy.Port()) : "direct");

        const CliRun run = Upload(server);
        EXPECT_EQ(run.status, 0) << c.name << ": " << run.err;
        EXPECT_EQ(run.out,
                  std::string("[URL=") + kImageUrl + "][IMG]" + c.finalUrl + "[/IMG][/URL] ")
            << c.name;
        const std::vector<std::string> requests = server.Requests();
        ASSERT_FALSE(requests.empty()) << c.name;
        EXPECT_EQ(requests[0].rfind("POST /up?key=a%20b HTTP/1.1\r\nHost: upload.test\r\n", 0), 0u)
            << c.name;
        EXPECT_NE(requests[0].find("\r\nX-Key: k\r\n"), std::string::npos) << c.name;
        EXPECT_EQ(proxy.Requests().size(), c.proxy ? 1u : 0u) << c.name;
    }
}

// A first start (no hoster stored) of the program as built uploads to the pixhost preset from
// the checkout's data folder, which gives linked thumbnails without a key.
TEST_F(HttpsUploadCliTest, AFirstStartUploadsToAPresetOfToday) {
    const test::TestCertificate pixhost = pki.Leaf({"api.pixhost.to"});
    const std::string json =
        R"({"show_url":"https://pixhost.to/show/1/a.jpg","th_url":"https://t.test/a.jpg"})";
    const test::TestHttpServer server(
        [&](const std::string&) {
            return test::TestAnswer{"HTTP/1.1 200 OK\r\nContent-Length: 78\r\n\r\n" + json};
        },
        {.certificate = &pixhost});
    const CliRun run =
        Run("upload --no-center --no-reuse --timeout 10 --ca-file ca.pem "
            "--connect-to api.pixhost.to:443:127.0.0.1:" +
            std::to_string(server.Port()) + " pics/a.jpg");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "[URL=https://pixhost.to/show/1/a.jpg][IMG]https://t.test/a.jpg[/IMG][/URL] ");
}

// An image over the row's size limit (which is not even sent), a host that refuses the image,
// a redirect to a host whose proxy cannot be used, and a key left empty (named instead of
// sending a request that must fail).
TEST_F(HttpsUploadCliTest, RefusedUploadsNameTheirReason) {
    const struct {
        const char* reason;
        const char* rowFirst;  // goes in front of the row: the first of two equal keys counts
        const char* proxy = "direct";
    } cases[] = {
        {"(Datei zu groß für diesen Hoster: 1 kB, höchstens 0 kB)", "MaxFileSize=100\n"},
        {"(HTTP 413 Request Entity Too Large: too big)", "FormNames=too-big\n"},
        {"(Proxy-Schema nicht unterstützt: ftp)", "FormNames=elsewhere\n", "ftp://proxy.test"},
        {"(Schlüssel fehlt: key)", "Parameters=key=\n"},
    };
    for (const auto& c : cases) {
        dir.write("cfg/hosters.ini", std::string("[Hoster8]\n") + c.rowFirst + kHttpsRow);
        WriteValue(Ini(), "Bilder", "Proxy", c.proxy);
        WriteValue(Ini(), "Bilder", "NoProxy", "upload.test");
        const test::TestHttpServer server([](const std::string& r) { return Host(r, false); },
                                          {.certificate = &valid});
        const CliRun run = Upload(server);
        EXPECT_EQ(run.status, 1) << c.reason;
        EXPECT_NE(run.err.find("a.jpg...fehlgeschlagen ! ("), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_EQ(server.Requests().size(), *c.rowFirst == 'F' ? 1u : 0u) << c.reason;
    }
}

}  // namespace
}  // namespace lumar
