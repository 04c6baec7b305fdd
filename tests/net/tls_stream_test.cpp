#include "net/tls_stream.h"

#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include "net/exchange_runner.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"
#include "support/tls_test_pki.h"

namespace lumar::net {
namespace {

using test::TestCertificate;
using test::TestPki;

const std::string kAnswer = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";

struct Fetched {
    std::string error;
    std::string answer;
    bool resumed = false;
};

// The stream as the transport drives it, inside an exchange.
Fetched Fetch(int port, const std::string& serverName, const std::string& caFile) {
    ExchangeRequest request;
    request.url = *ParseHttpUrl("https://" + serverName + ":" + std::to_string(port) + "/").url;
    ExchangeOptions options;
    options.caFile = caFile;
    options.connectHost = "127.0.0.1";
    HttpExchange exchange(request, options);
    RunExchange(exchange);
    return {exchange.Reason(), exchange.Response().Body(), exchange.ResumedTls()};
}

TEST(TlsStream, VerifiesTheServerAndNamesEachRefusal) {
    const TestPki pki;
    const test::TempDir dir;
    const std::string caFile = dir.write("ca.pem", pki.Ca().certificatePem);
    const TestCertificate valid = pki.Leaf({"localhost", "127.0.0.1"});
    const TestCertificate expired = pki.Leaf({"localhost"}, -86400 * 2, -86400);
    const TestCertificate selfSigned = pki.Leaf({"localhost"}, -3600, 86400, true);
    const TestCertificate otherName = pki.Leaf({"other.example"});
    const struct {
        const char* name;
        TestCertificate certificate;
        bool closeNotify;
        int onlyVersion;  // 0: any
        const char* serverName;
        std::string caFile;
        const char* error;
    } cases[] = {
        {"valid", valid, true, 0, "localhost", caFile, ""},
        {"valid address", valid, true, 0, "127.0.0.1", caFile, ""},
        {"no close-notify after the whole length", valid, false, 0, "localhost", caFile, ""},
        {"expired", expired, true, 0, "localhost", caFile, "certificate has expired"},
        {"wrong name", otherName, true, 0, "localhost", caFile, "hostname mismatch"},
        {"wrong address", valid, true, 0, "127.0.0.2", caFile, "IP address mismatch"},
        {"self-signed", selfSigned, true, 0, "localhost", caFile, "self-signed certificate"},
        {"untrusted CA", valid, true, 0, "localhost", "", "unable to get local issuer certificate"},
        {"TLS 1.0", valid, true, TLS1_VERSION, "localhost", caFile, "tlsv1 alert protocol version"},
    };
    for (const auto& c : cases) {
        const test::TestHttpServer server(
            [&](const std::string&) {
                return test::TestAnswer{kAnswer, c.closeNotify};
            },
            {&c.certificate, c.onlyVersion});
        const Fetched fetched = Fetch(server.Port(), c.serverName, c.caFile);
        EXPECT_EQ(fetched.error, c.error) << c.name;
        EXPECT_EQ(fetched.answer, *c.error ? "" : "ok") << c.name;
        if (!*c.error && c.closeNotify) {
            EXPECT_TRUE(Fetch(server.Port(), c.serverName, c.caFile).resumed) << c.name;
        }
    }
    TlsStream noCa(-1, "localhost", dir.file("missing.pem"));
    EXPECT_EQ(noCa.Handshake(), TlsStatus::Failed);
    EXPECT_EQ(noCa.Error(), "CA file not readable: " + dir.file("missing.pem"));
}

}  // namespace
}  // namespace lumar::net
