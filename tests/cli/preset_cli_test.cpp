// lumar-cli hoster, and probe against a server of the test's own, reached under the host's name
// through --connect-to: a preset of each answer shape (plain link, JSON) and a classic row.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "shell/settings_store.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"
#include "support/tls_test_pki.h"

namespace lumar {
namespace {

using ::testing::HasSubstr;

std::string Field(const std::string& name, const std::string& value) {
    return "name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}

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
          "Status: HTTP 200 OK\nAnswer (151 bytes):\n  {\n    \"data\": {\n      \"delete_url\": ",
          "\nURL: https://i.ibb.co/w/p.jpg\nThumbnailURL: https://i.ibb.co/t/p.jpg\n"
          "DeletionURL: https://ibb.co/t/670a\n"
          "Code: [URL=https://i.ibb.co/w/p.jpg][IMG]https://i.ibb.co/t/p.jpg[/IMG][/URL]\n"}},
        {"8",
         "classic.test",
         nullptr,
         "<p>[IMG]http://c.test/1.jpg[/IMG]</p>",
         "POST /up.php HTTP/1.0",
         {"name=\"img\"; filename=\""},
         {"\nCode: [IMG]http://c.test/1.jpg[/IMG]\n"},
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

        const test::CliRun run = test::RunShell(
            "cd '" + dir.path() + "' && LUMAR_DATA_DIR='" + LUMAR_SOURCE_DIR +
                "/data' timeout -s KILL 60 " + LUMAR_CLI_PATH +
                " --config-dir cfg probe --hoster " + c.id + " --ca-file ca.pem --connect-to " +
                c.host + (c.classic ? ":80" : ":443") + ":127.0.0.1:" +
                std::to_string(server.Port()) + " 2>'" + dir.file("stderr.txt") + "'",
            dir.file("stderr.txt"));
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

using ::testing::Not;

TEST(CliHoster, ImportListExportAndChooseById) {
    test::TempDir dir;
    const std::string mine = dir.write("mine.sxcu", R"({"DestinationType": "ImageUploader",
      "RequestURL": "https://h.example/up", "Headers": {"X-API-Key": "s3cret"}, "Body": "Binary"})");
    const std::string asks = dir.write("asks.sxcu", R"({"DestinationType": "ImageUploader",
      "RequestURL": "https://h.example/up", "FileFormName": "f", "URL": "{prompt:URL}"})");
    const std::string err = dir.file("err");
    auto run = [&](const std::string& args) {
        return test::RunShell("LUMAR_DATA_DIR='" + std::string(LUMAR_SOURCE_DIR) + "/data' '" +
                                  LUMAR_CLI_PATH + "' --config-dir '" + dir.file("cfg") + "' " +
                                  args + " 2>" + err,
                              err);
    };

    const test::CliRun imported = run("hoster import '" + mine + "' '" + asks + "'");
    EXPECT_EQ(imported.status, 1);
    EXPECT_EQ(imported.out, mine + "\tmine\n");
    EXPECT_THAT(imported.err, HasSubstr("asks.sxcu: refused: URL: {prompt}"));
    EXPECT_THAT(run("hoster list").out,
                HasSubstr("7\tHoster7\tbuilt-in\tsupload\n8\tmine\town\th.example\n"
                          "9\tcatbox\tpreset\tcatbox.moe\n"));

    EXPECT_THAT(run("hoster export mine").out, HasSubstr(R"("X-API-Key": "")"));
    EXPECT_EQ(run("hoster export 8 '" + dir.file("out.sxcu") + "' --with-secrets").status, 0);
    EXPECT_THAT(dir.read("out.sxcu"), HasSubstr(R"("X-API-Key": "s3cret")"));

    const std::string jpeg = dir.write("a.jpg", std::string("\xFF\xD8\xFF\xD9", 4));
    EXPECT_THAT(run("request --hoster Hoster3 '" + jpeg + "'").out, HasSubstr("\"fileupload\""));
    EXPECT_EQ(run("hoster delete mine").status, 0);
    EXPECT_THAT(run("hoster list").out, Not(HasSubstr("mine")));
}

}  // namespace
}  // namespace lumar
