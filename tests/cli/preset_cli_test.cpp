// The shipped presets against a server of the test's own that answers in each host's
// documented shape, reached under the host's name through --connect-to, probed as a person
// writing a definition would.
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

struct PresetCase {
    const char* id;
    const char* host;
    const char* emptyKey;  // the preset's text of its empty key, filled in as "K1"
    const char* filledKey;
    const char* contentType;
    const char* answer;
    const char* requestLine;
    std::vector<std::string> requestHolds;
    const char* code;
};

std::string Field(const std::string& name, const std::string& value) {
    return "name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}

class PresetCliTest : public ::testing::Test {
  protected:
    PresetCliTest() {
        dir.write("ca.pem", pki.Ca().certificatePem);
        WriteValue(dir.file("cfg/Lumar.ini"), "Bilder", "Proxy", "direct");
    }

    // Probes the row with the generated image, `host`:443 being `server`.
    test::CliRun Probe(const std::string& id, const std::string& host,
                       const test::TestHttpServer& server) {
        return test::RunShell("cd '" + dir.path() + "' && LUMAR_DATA_DIR='" + LUMAR_SOURCE_DIR +
                                  "/data' timeout -s KILL 60 " + LUMAR_CLI_PATH +
                                  " --config-dir cfg probe --hoster " + id +
                                  " --ca-file ca.pem --connect-to " + host +
                                  ":443:127.0.0.1:" + std::to_string(server.Port()) + " 2>'" +
                                  dir.file("stderr.txt") + "'",
                              dir.file("stderr.txt"));
    }

    test::TempDir dir;
    test::TestPki pki;
    const test::TestCertificate certificate = pki.Leaf(
        {"catbox.moe", "api.pixhost.to", "api.imgbb.com", "api.imgur.com", "freeimage.host"});
};

TEST_F(PresetCliTest, EveryPresetSendsWhatItsHostTakesAndBuildsTheCode) {
    const PresetCase cases[] = {
        {"catbox",
         "catbox.moe",
         nullptr,
         nullptr,
         "text/plain",
         "https://files.catbox.moe/x1y2z3.jpg",
         "POST /user/api.php HTTP/1.1",
         {Field("reqtype", "fileupload"), "name=\"fileToUpload\"; filename=\"probe.jpg\""},
         "[IMG]https://files.catbox.moe/x1y2z3.jpg[/IMG]"},
        {"pixhost",
         "api.pixhost.to",
         nullptr,
         nullptr,
         "application/json",
         R"({"name":"probe.jpg","show_url":"https://pixhost.to/show/7/1_probe.jpg",)"
         R"("th_url":"https://t7.pixhost.to/thumbs/7/1_probe.jpg"})",
         "POST /images HTTP/1.1",
         {"\r\nAccept: application/json\r\n", Field("content_type", "0"),
          Field("max_th_size", "350"), "name=\"img\"; filename=\"probe.jpg\""},
         "[URL=https://pixhost.to/show/7/1_probe.jpg]"
         "[IMG]https://t7.pixhost.to/thumbs/7/1_probe.jpg[/IMG][/URL]"},
        {"imgbb",
         "api.imgbb.com",
         R"("key": "")",
         R"("key": "K1")",
         "application/json",
         R"({"data":{"id":"2nd","url":"https://i.ibb.co/w04/p.jpg","thumb":{"url":)"
         R"("https://i.ibb.co/2nd/p.jpg"},"delete_url":"https://ibb.co/2nd/670a"},)"
         R"("success":true,"status":200})",
         "POST /1/upload?key=K1 HTTP/1.1",
         {"name=\"image\"; filename=\"probe.jpg\""},
         "[URL=https://i.ibb.co/w04/p.jpg][IMG]https://i.ibb.co/2nd/p.jpg[/IMG][/URL]"},
        {"imgur",
         "api.imgur.com",
         "Client-ID \"",
         "Client-ID K1\"",
         "application/json",
         R"({"data":{"id":"orunSTu","deletehash":"x31","link":"https://i.imgur.com/orunSTu.jpg"},)"
         R"("success":true,"status":200})",
         "POST /3/image HTTP/1.1",
         {"\r\nAuthorization: Client-ID K1\r\n", "name=\"image\"; filename=\"probe.jpg\""},
         "[URL=https://i.imgur.com/orunSTu.jpg][IMG]https://i.imgur.com/orunSTum.jpg[/IMG][/URL]"},
        {"freeimage",
         "freeimage.host",
         R"("key": "")",
         R"("key": "K1")",
         "application/json",
         R"({"status_code":200,"image":{"url":"https://iili.io/a.jpg","thumb":)"
         R"({"url":"https://iili.io/a.th.jpg"},"delete_url":"https://freeimage.host/d"}})",
         "POST /api/1/upload HTTP/1.1",
         {Field("key", "K1"), Field("format", "json"), "name=\"source\"; filename=\"probe.jpg\""},
         "[URL=https://iili.io/a.jpg][IMG]https://iili.io/a.th.jpg[/IMG][/URL]"},
    };
    for (const PresetCase& c : cases) {
        const std::string answer = c.answer;
        test::TestServerOptions options;
        options.certificate = &certificate;
        const test::TestHttpServer server(
            [&](const std::string&) -> test::TestAnswer {
                return {"HTTP/1.1 200 OK\r\nContent-Type: " + std::string(c.contentType) +
                        "\r\nContent-Length: " + std::to_string(answer.size()) + "\r\n\r\n" +
                        answer};
            },
            options);
        if (c.emptyKey) {
            // The user's own copy of the preset, with the key filled in, replaces it.
            std::string preset =
                dir.read(std::string(LUMAR_SOURCE_DIR) + "/data/hosters.d/" + c.id + ".sxcu");
            preset.replace(preset.find(c.emptyKey), std::string(c.emptyKey).size(), c.filledKey);
            dir.write(std::string("cfg/hosters.d/") + c.id + ".sxcu", preset);
        }

        const test::CliRun run = Probe(c.id, c.host, server);
        EXPECT_EQ(run.status, 0) << c.id << ": " << run.out << run.err;
        EXPECT_THAT(run.out, HasSubstr(std::string("\nCode: ") + c.code + "\n")) << c.id;
        const std::vector<std::string> requests = server.Requests();
        ASSERT_EQ(requests.size(), 1u) << c.id;
        EXPECT_EQ(requests[0].rfind(std::string(c.requestLine) + "\r\nHost: " + c.host + "\r\n", 0),
                  0u)
            << c.id << ": " << requests[0].substr(0, 200);
        for (const std::string& piece : c.requestHolds)
            EXPECT_THAT(requests[0], HasSubstr(piece)) << c.id;
    }
}

// What the probe shows, and a key left empty named before anything is sent.
TEST_F(PresetCliTest, ProbeShowsTheExchangeAndNamesAMissingKey) {
    const std::string answer =
        R"({"data":{"url":"https://i.ibb.co/u.jpg","thumb":{"url":"https://i.ibb.co/t.jpg"}}})";
    test::TestServerOptions options;
    options.certificate = &certificate;
    const test::TestHttpServer server(
        [&](const std::string&) -> test::TestAnswer {
            return {"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(answer.size()) +
                    "\r\n\r\n" + answer};
        },
        options);

    const test::CliRun missing = Probe("imgbb", "api.imgbb.com", server);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "Failed: the row needs a key: key\n");
    EXPECT_TRUE(server.Requests().empty());

    dir.write(
        "cfg/hosters.d/imgbb.sxcu",
        R"({"DestinationType": "ImageUploader", "RequestURL": "https://api.imgbb.com/1/upload",
                  "FileFormName": "image",
                  "URL": "{json:data.url}", "ThumbnailURL": "{json:data.thumb.url}",
                  "DeletionURL": "{json:data.delete_url}"})");
    const test::CliRun run = Probe("imgbb", "api.imgbb.com", server);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("Request:\n  POST /1/upload HTTP/1.1\n  Host: api.imgbb.com\n"));
    EXPECT_THAT(run.out, HasSubstr("Status: HTTP 200 OK\nAnswer (82 bytes):\n  {\n"
                                   "    \"data\": {\n      \"thumb\": {\n"));
    EXPECT_THAT(run.out, HasSubstr("\nURL: https://i.ibb.co/u.jpg\n"
                                   "ThumbnailURL: https://i.ibb.co/t.jpg\nDeletionURL: \n"
                                   "Code: [URL=https://i.ibb.co/u.jpg][IMG]https://i.ibb.co/t.jpg"
                                   "[/IMG][/URL]\n"));
}

}  // namespace
}  // namespace lumar
