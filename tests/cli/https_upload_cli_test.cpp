// lumar-cli upload of a standard row to an HTTPS server of the test's own on the loopback,
// reached under a made-up name through --connect-to and trusted through --ca-file.
#include <gtest/gtest.h>

#include "shell/settings_store.h"
#include "support/cli_runner.h"
#include "support/jpeg_maker.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"
#include "support/test_proxy.h"

namespace lumar {
namespace {

constexpr const char* kImageUrl = "https://i.test/1.jpg";

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

class HttpsUploadCliTest : public ::testing::Test {
  protected:
    HttpsUploadCliTest() {
        dir.write("ca.pem", pki.Ca().certificatePem);
        dir.write("cfg/hosters.ini",
                  "[Hoster8]\nName=tls\nRequest=standard\nUploadUrl=https://upload.test/up\n"
                  "FileField=image\nURL={json:data.url}\nThumbnailURL={responseurl}\n"
                  "ErrorMessage={json:error.message}\nParameters=key=a b\nHeaders=X-Key: k\n");
        WriteValue(dir.file("cfg/Lumar.ini"), "Bilder", "Werbung", "0");
        // A proxy of the machine's environment must not stand between the test and its server.
        WriteValue(dir.file("cfg/Lumar.ini"), "Bilder", "Proxy", "direct");
        test::WriteJpeg(dir.file("a.jpg"), 20, 10);
    }

    // Uploads a.jpg to row 8 with `server` standing in for upload.test:443.
    test::CliRun Upload(const test::TestHttpServer& server, const std::string& caOption) {
        const std::string address =
            server.Url().find("[::1]") != std::string::npos ? "[::1]" : "127.0.0.1";
        const std::string command =
            "cd '" + dir.path() + "' && timeout -s KILL 60 " + LUMAR_CLI_PATH +
            " --config-dir cfg upload --hoster 8 --no-center --no-reuse --timeout 10 " + caOption +
            " --connect-to upload.test:443:" + address + ":" + std::to_string(server.Port()) +
            " a.jpg 2>'" + dir.file("stderr.txt") + "'";
        return test::RunShell(command, dir.file("stderr.txt"));
    }

    test::TempDir dir;
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
        test::TestServerOptions options;
        options.certificate = &valid;
        options.ipv6 = c.ipv6;
        const test::TestHttpServer server(
            [&](const std::string& request) { return Host(request, c.redirect); }, options);
        const test::TestHttpServer proxy(nullptr, test::ProxyOptions());
        WriteValue(dir.file("cfg/Lumar.ini"), "Bilder", "Proxy",
                   c.proxy ? "http://127.0.0.1:" + std::to_string(proxy.Port()) : "direct");

        const test::CliRun run = Upload(server, "--ca-file ca.pem");
        EXPECT_EQ(run.status, 0) << c.name << ": " << run.err;
        EXPECT_EQ(run.out,
                  std::string("[URL=") + kImageUrl + "][IMG]" + c.finalUrl + "[/IMG][/URL] ")
            << c.name;
        const std::vector<std::string> requests = server.Requests();
        ASSERT_FALSE(requests.empty()) << c.name;
        EXPECT_EQ(requests[0].rfind("POST /up?key=a%20b HTTP/1.1\r\nHost: upload.test\r\n", 0), 0u)
            << c.name;
        EXPECT_NE(requests[0].find("\r\nX-Key: k\r\n"), std::string::npos) << c.name;
        EXPECT_NE(requests[0].find("name=\"image\"; filename=\"a.jpg\""), std::string::npos);
        EXPECT_EQ(proxy.Requests().size(), c.proxy ? 1u : 0u) << c.name;
    }
}

// A CA the machine does not trust, an image over the row's size limit (which is not even
// sent), a host that refuses the image, and a redirect to a host whose proxy cannot be used.
TEST_F(HttpsUploadCliTest, RefusedUploadsNameTheirReason) {
    const struct {
        const char* caOption;
        const char* reason;
        const char* rowExtra = "";  // added to the row
        const char* proxy = "direct";
    } cases[] = {
        {"", "unable to get local issuer certificate"},
        {"--ca-file ca.pem", "(Datei zu groß für diesen Hoster: 1 kB, höchstens 0 kB)",
         "MaxFileSize=100\n"},
        {"--ca-file ca.pem", "(HTTP 413 Request Entity Too Large: too big)", "FormNames=too-big\n"},
        {"--ca-file ca.pem", "(proxy scheme not supported: ftp)", "FormNames=elsewhere\n",
         "ftp://proxy.test"},
    };
    const std::string row = dir.read("cfg/hosters.ini");
    for (const auto& c : cases) {
        dir.write("cfg/hosters.ini", row + c.rowExtra);
        WriteValue(dir.file("cfg/Lumar.ini"), "Bilder", "Proxy", c.proxy);
        WriteValue(dir.file("cfg/Lumar.ini"), "Bilder", "NoProxy", "upload.test");
        const test::TestHttpServer server([](const std::string& r) { return Host(r, false); },
                                          {.certificate = &valid});
        const test::CliRun run = Upload(server, c.caOption);
        EXPECT_EQ(run.status, 1) << c.reason;
        EXPECT_NE(run.err.find("a.jpg...fehlgeschlagen ! ("), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_EQ(server.Requests().size(), *c.rowExtra == 'F' ? 1u : 0u) << c.reason;
    }
    // A key left empty is named instead of sending a request that must fail.
    std::string withoutKey = row;
    withoutKey.replace(withoutKey.find("key=a b"), 7, "key=");
    dir.write("cfg/hosters.ini", withoutKey);
    const test::TestHttpServer server([](const std::string& r) { return Host(r, false); },
                                      {.certificate = &valid});
    const test::CliRun run = Upload(server, "--ca-file ca.pem");
    EXPECT_NE(run.err.find("(Schlüssel fehlt: key)"), std::string::npos) << run.err;
    EXPECT_TRUE(server.Requests().empty());
}

}  // namespace
}  // namespace lumar
