// lumar-cli's small commands (ini, jpeg-info, list, history, hoster, probe) and its help, run
// as a separate program the way scripts use it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <tuple>

#include "history/history_store.h"
#include "shell/settings_store.h"
#include "support/cli_runner.h"
#include "support/jpeg_maker.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"
#include "support/tls_test_pki.h"

namespace lumar {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// No argument here holds a single quote.
test::CliRun RunCli(const std::vector<std::string>& args) {
    test::TempDir dir;
    std::string command = LUMAR_CLI_PATH;
    for (const std::string& a : args) command += " '" + a + "'";
    return test::RunShell(command + " 2>'" + dir.file("err") + "'", dir.file("err"));
}

// get prints what Lumar reads (or the default) and a newline; set changes one key (how the file
// is read and kept, and which values are refused, is the settings store's to show).
TEST(CliIni, GetAndSetAsLumarReadsAndWrites) {
    test::TempDir dir;
    const std::string ini = dir.file("Lumar.ini");
    EXPECT_EQ(RunCli({"ini", "get", ini, "Bilder", "Timeout", "120"}).out, "120\n");
    const test::CliRun set = RunCli({"ini", "set", ini, "Sound", "Soundfile", "/a b/ding.mp3"});
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(RunCli({"ini", "get", ini, "Sound", "Soundfile"}).out, "/a b/ding.mp3\n");
    EXPECT_EQ(dir.read("Lumar.ini"), "[Sound]\r\nSoundfile=/a b/ding.mp3\r\n");
}

TEST(CliIni, BadUsageExitsWithTwoAndShowsTheUsage) {
    const std::vector<std::string> cases[] = {
        {}, {"ini", "get", "f.ini", "S"}, {"ini", "remove", "f.ini", "S", "K"}, {"--config-dir"}};
    for (const std::vector<std::string>& args : cases) {
        const test::CliRun r = RunCli(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args.back());
        EXPECT_NE(r.err.find("Usage: lumar-cli"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
    for (const char* pathless : {"list", "jpeg-info"}) EXPECT_EQ(RunCli({pathless}).status, 2);
}

// Help and version go to standard output; the manual page keeps up with the help: every
// command it lists, and every option of every command, has its entry there.
std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

// Runs lumar-cli on the settings folder `dir`/cfg, with the shipped data and the clock in UTC,
// started through `wrapper` when one is given.
test::CliRun RunOn(const test::TempDir& dir, const std::string& args,
                   const std::string& wrapper = "") {
    return test::RunShell("TZ=UTC LUMAR_DATA_DIR=" + Quoted(LUMAR_SOURCE_DIR "/data") +
                              " timeout -s KILL 60 " + wrapper + LUMAR_CLI_PATH + " --config-dir " +
                              Quoted(dir.file("cfg")) + " " + args + " 2>" +
                              Quoted(dir.file("err")),
                          dir.file("err"));
}

TEST(Cli, JpegInfoGivesOneLinePerFileInArgumentOrder) {
    test::TempDir dir;
    const std::size_t size = test::WriteJpeg(dir.file("a b.jpg"), 640, 480);
    const std::string png = dir.write("x.jpg", "\x89PNG....");
    const test::CliRun run = RunCli({"jpeg-info", dir.file("a b.jpg"), png, dir.file("missing")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "1\t640\t480\t" + std::to_string(size) + "\t" + dir.file("a b.jpg") + "\n" +
                           "0\t0\t0\t8\t" + png + "\n" + "0\t0\t0\t0\t" + dir.file("missing") +
                           "\n");
}

TEST(Cli, ListNamesWhatItsScanLeavesOut) {
    // Permission bits do not bind root, so the scan runs as a plain user.
    test::TempDir dir;
    ::chmod(dir.path().c_str(), 0755);
    test::WriteJpeg(dir.file("d/open.jpg"), 4, 4);
    test::WriteJpeg(dir.file("d/closed/inner.jpg"), 4, 4);
    const std::string deep = test::WriteTooDeepJpeg(dir.file("d/deep"));
    ASSERT_EQ(::chmod(dir.file("d/closed").c_str(), 0), 0);
    const std::string user =
        ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    const test::CliRun run = RunOn(dir, "list " + Quoted(dir.file("d")), user);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "open.jpg\t" + dir.file("d/") + "\t   4\t   4\t    .2\n");
    EXPECT_NE(run.err.find("lumar-cli: " + dir.file("d/closed") +
                           ": folder cannot be read (Permission denied)"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("lumar-cli: " + deep + ": path too long to open"), std::string::npos)
        << run.err;
}

// history on entries recorded through the store. Deletion on the host: an entry whose row
// says how its host confirms is deleted; the others' deletion pages are printed to open.
TEST(CliHistory, ListsSearchesPostsDeletesAndForgets) {
    test::TempDir dir;
    dir.write("cfg/Lumar.ini", "[Bilder]\r\nWerbung=0\r\nCenter=0\r\n");
    const test::TestHttpServer host([](const std::string&) {
        return test::TestAnswer{"HTTP/1.1 200 OK\r\nContent-Length: 13\r\n\r\nImage deleted"};
    });
    {
        HistoryStore store;
        ASSERT_EQ(store.Open(HistoryFile(dir.file("cfg"))), HistoryOpening::kCreated);
        std::int64_t at = 1704070800;  // 2024-01-01 01:00 UTC, then a day later each
        for (const auto& [hoster, file, code] :
             {std::tuple{"Hoster1", "/p/a.jpg", "[URL=http://h/a][IMG]http://h/ta.jpg[/IMG][/URL]"},
              std::tuple{"catbox", "/p/\x1b[2Jb.jpg\a", "[IMG]http://c/b.jpg[/IMG]"},
              std::tuple{"Hoster1", "/p/c d.jpg", "[IMG]http://h/c.jpg[/IMG]"}}) {
            HistoryEntry e;
            e.uploadedAt = at;
            at += 86400;
            e.hosterId = hoster;
            e.hosterName = std::string(hoster) + " Name";
            e.filePath = file;
            e.code = code;
            e.deletionUrl = at == 1704070800 + 2 * 86400 ? "http://c/del/b" : "";
            if (at == 1704070800 + 3 * 86400) {
                e.deletionUrl = host.Url("/delete/c");
                e.deletionConfirm = "image deleted";
            }
            ASSERT_TRUE(store.Record(e));
        }
    }
    const auto run = [&](const std::string& args) { return RunOn(dir, "history " + args); };
    struct Case {
        const char* args;
        int status;
        const char* out;  // whole standard output
    } const cases[] = {
        {"list --since 2024-01-02", 0,
         "3\t2024-01-03 01:00:00\tHoster1 Name\t/p/c d.jpg\t[IMG]http://h/c.jpg[/IMG]\n"
         "2\t2024-01-02 01:00:00\tcatbox Name\t/p/\\x1B[2Jb.jpg\\x07\t[IMG]http://c/b.jpg[/IMG]\n"},
        {"search B.JP", 0,
         "2\t2024-01-02 01:00:00\tcatbox Name\t/p/\\x1B[2Jb.jpg\\x07\t[IMG]http://c/b.jpg[/IMG]\n"},
        {"posting 3 1 --markdown --split 1 --part 2", 0, "[![a](http://h/ta.jpg)](http://h/a)"},
        {"list --since 2024-02-30", 2, ""},
        {"posting 3 --part 2", 2, ""},  // as upload: a part only of a split posting
        {"posting 2 99", 1, "[IMG]http://c/b.jpg[/IMG] "},
        {"delete 2", 0, "http://c/del/b\n"},
        {"delete 3 1", 1, ""},  // 1 has no deletion address
        {"forget 1 2", 0, ""},
        {"list --hoster 1", 0,
         "3\t2024-01-03 01:00:00\tHoster1 Name\t/p/c d.jpg\t[IMG]http://h/c.jpg[/IMG]\n"},
    };
    for (const Case& c : cases) {
        const test::CliRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << ": " << r.err;
        EXPECT_EQ(r.out, c.out) << c.args;
    }
    EXPECT_THAT(run("posting 2 99").err, HasSubstr("no entry 99"));
    const std::string json = run("list --json").out;
    EXPECT_THAT(json, HasSubstr("\"id\": 3,\n    \"uploadedAt\": 1704243600,"));
    EXPECT_THAT(json, HasSubstr("\"deletedOnHost\": true"));
    ASSERT_EQ(host.Requests().size(), 1u);
    EXPECT_THAT(host.Requests()[0], ::testing::StartsWith("GET /delete/c HTTP/1.1"));
}

std::string Field(const std::string& name, const std::string& value) {
    return "name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}

// hoster, and probe against a server of the test's own, reached under the host's name through
// --connect-to: a preset of each answer shape (plain link, JSON) and a classic row.
TEST(PresetCli, EachAnswerShapeSendsWhatItsHostTakesAndBuildsTheCode) {
    const struct {
        const char* id;
        const char* host;
        const char* emptyKey;  // the preset's empty key, filled in as K1 in an own copy
        const char* answer;
        const char* requestLine;
        std::vector<std::string> requestHolds, reportHolds;
        bool classic = false;  // plain HTTP to the hosters.ini row 8
    } cases[] = {
        {"catbox",
         "catbox.moe",
         nullptr,
         "https://files.catbox.moe/x1.jpg",
         "POST /user/api.php HTTP/1.1",
         {Field("reqtype", "fileupload"), "name=\"fileToUpload\"; filename=\"probe.jpg\""},
         {"\nCode: [IMG]https://files.catbox.moe/x1.jpg[/IMG]\n"}},
        {"imgbb",
         "api.imgbb.com",
         R"("key": "")",
         R"({"data":{"url":"https://i.ibb.co/w/p.jpg","thumb":{"url":"https://i.ibb.co/t/p.jpg"},)"
         R"("delete_url":"https://ibb.co/t/670a"},"success":true,"status":200})",
         "POST /1/upload?key=K1 HTTP/1.1",
         {"name=\"image\"; filename=\"probe.jpg\""},
         {"Request:\n  POST /1/upload?key=K1 HTTP/1.1\n  Host: api.imgbb.com\n",
          // In the host's own order of keys.
          "Status: HTTP 200 OK\nAnswer (151 bytes):\n  {\n    \"data\": {\n      \"url\": "
          "\"https://i.ibb.co/w/p.jpg\",\n      \"thumb\": {\n        \"url\": ",
          "\nURL: https://i.ibb.co/w/p.jpg\nThumbnailURL: https://i.ibb.co/t/p.jpg\n"
          "DeletionURL: https://ibb.co/t/670a\n"
          "Code: [URL=https://i.ibb.co/w/p.jpg][IMG]https://i.ibb.co/t/p.jpg[/IMG][/URL]\n"}},
        {"8",
         "classic.test",
         nullptr,
         "<p>[IMG]http://c.test/1.jpg[/IMG]</p>\x1b]0;x\a",
         "POST /up.php HTTP/1.0",
         {"name=\"img\"; filename=\""},
         {"</p>\\x1B]0;x\\x07\n", "\nCode: [IMG]http://c.test/1.jpg[/IMG]\n"},
         true},
    };
    test::TempDir dir;
    test::TestPki pki;
    const test::TestCertificate certificate = pki.Leaf({"catbox.moe", "api.imgbb.com"});
    dir.write("ca.pem", pki.Ca().certificatePem);
    WriteValue(dir.file("cfg/Lumar.ini"), "Bilder", "Proxy", "direct");
    dir.write("cfg/hosters.ini",
              "[Hoster8]\nName=c\nConnectHost=classic.test\nUploadUrl=http://classic.test/up.php\n"
              "FileField=img\nStartMarker=[IMG]\nEndMarker=</p>\n");
    for (const auto& c : cases) {
        const std::string answer = c.answer;
        const test::TestHttpServer server(
            [&](const std::string&) -> test::TestAnswer {
                return {"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(answer.size()) +
                        "\r\n\r\n" + answer};
            },
            {.certificate = c.classic ? nullptr : &certificate});
        if (c.emptyKey) {
            // An own copy of the preset, with the key filled in, replaces it.
            std::string preset =
                dir.read(std::string(LUMAR_SOURCE_DIR) + "/data/hosters.d/" + c.id + ".sxcu");
            const std::string key = c.emptyKey;
            preset.insert(preset.find(key) + key.size() - 1, "K1");
            dir.write(std::string("cfg/hosters.d/") + c.id + ".sxcu", preset);
        }

        const test::CliRun run = RunOn(dir, std::string("probe --hoster ") + c.id + " --ca-file " +
                                                Quoted(dir.file("ca.pem")) + " --connect-to " +
                                                c.host + (c.classic ? ":80" : ":443") +
                                                ":127.0.0.1:" + std::to_string(server.Port()));
        EXPECT_EQ(run.status, 0) << c.id << ": " << run.out << run.err;
        for (const std::string& piece : c.reportHolds) EXPECT_THAT(run.out, HasSubstr(piece));
        const std::vector<std::string> requests = server.Requests();
        ASSERT_EQ(requests.size(), 1u) << c.id;
        EXPECT_EQ(requests[0].rfind(std::string(c.requestLine) + "\r\n", 0), 0u) << c.id;
        EXPECT_THAT(requests[0], HasSubstr(std::string("\r\nHost: ") + c.host + "\r\n"));
        for (const std::string& piece : c.requestHolds)
            EXPECT_THAT(requests[0], HasSubstr(piece)) << c.id;
    }
}

TEST(CliHoster, ImportListExportAndChooseById) {
    test::TempDir dir;
    const std::string mine = dir.write("mine.sxcu", R"({"DestinationType": "ImageUploader",
      "Name": "h.example\u001b]0;x\u0007\r\n9\tfake",
      "RequestURL": "https://h.example/up", "Headers": {"X-API-Key": "s3cret"}, "Body": "Binary"})");
    const std::string unknown = dir.write("unknown.sxcu", R"({"DestinationType": "ImageUploader",
      "RequestURL": "https://h.example/up", "FileFormName": "f", "URL": "{ask:URL}"})");
    const auto run = [&](const std::string& args) { return RunOn(dir, args); };

    const test::CliRun imported = run("hoster import '" + mine + "' '" + unknown + "'");
    EXPECT_EQ(imported.status, 1);
    EXPECT_EQ(imported.out, mine + "\tmine\n");
    EXPECT_THAT(imported.err,
                HasSubstr("unknown.sxcu: refused: URL: unknown function {ask} at position 1"));
    EXPECT_THAT(run("hoster list").out,
                HasSubstr("7\tHoster7\tbuilt-in\tsupload\n"
                          "8\tmine\town\th.example\\x1B]0;x\\x07\\r\\n9\\tfake\n"
                          "9\tcatbox\tpreset\tcatbox.moe\n"));

    const test::CliRun shared = run("hoster export mine");
    EXPECT_THAT(shared.out, HasSubstr(R"("X-API-Key": "")"));
    EXPECT_THAT(shared.err, HasSubstr("keys left empty (--with-secrets keeps them): X-API-Key\n"));
    // Private even over an older copy that others could read.
    dir.write("out.sxcu", "");
    ::chmod(dir.file("out.sxcu").c_str(), 0644);
    EXPECT_EQ(run("hoster export 8 '" + dir.file("out.sxcu") + "' --with-secrets").status, 0);
    EXPECT_THAT(dir.read("out.sxcu"), HasSubstr(R"("X-API-Key": "s3cret")"));
    struct stat st {};
    EXPECT_EQ(::stat(dir.file("out.sxcu").c_str(), &st) == 0 ? st.st_mode & 0777 : 0, 0600u);

    const std::string jpeg = dir.write("a.jpg", std::string("\xFF\xD8\xFF\xD9", 4));
    EXPECT_THAT(run("request --hoster Hoster3 '" + jpeg + "'").out, HasSubstr("\"fileupload\""));
    EXPECT_EQ(run("hoster delete mine").status, 0);
    EXPECT_THAT(run("hoster list").out, Not(HasSubstr("mine")));
}

}  // namespace
}  // namespace lumar
