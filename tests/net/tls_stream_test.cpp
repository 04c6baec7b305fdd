#include "net/tls_stream.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "support/temp_dir.h"
#include "support/test_http_server.h"
#include "support/tls_test_pki.h"

namespace lumar::net {
namespace {

using test::TestCertificate;
using test::TestPki;

const std::string kRequest = "GET / HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";
const std::string kAnswer = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";

struct ServerOptions {
    bool closeNotify = true;
    int maxVersion = 0;  // 0: any
};

// A TLS server on 127.0.0.1 that answers every request with kAnswer.
class TestTlsServer {
  public:
    TestTlsServer(const TestCertificate& certificate, ServerOptions options)
        : server_(
              [options](const std::string&) {
                  return test::TestAnswer{kAnswer, options.closeNotify};
              },
              {&certificate, options.maxVersion}) {}
    int Port() const { return server_.Port(); }

  private:
    test::TestHttpServer server_;
};

struct Fetched {
    TlsStatus end = TlsStatus::Failed;
    std::string answer;
    std::string error;
    bool resumed = false;
};

// The client side as a transport drives it: a non-blocking socket and one poll per want.
Fetched Fetch(int port, const std::string& serverName, const std::string& caFile) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);

    Fetched out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    const auto waited = [&](TlsStatus status) {
        if (status != TlsStatus::WantRead && status != TlsStatus::WantWrite) return false;
        pollfd p{fd, static_cast<short>(status == TlsStatus::WantRead ? POLLIN : POLLOUT), 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        return left.count() > 0 && ::poll(&p, 1, static_cast<int>(left.count())) > 0;
    };
    {
        TlsStream tls(fd, serverName, caFile);
        TlsStatus status;
        while (waited(status = tls.Handshake())) {
        }
        if (status == TlsStatus::Done) {
            size_t sent = 0;
            while (sent < kRequest.size()) {
                size_t n = 0;
                status = tls.Write(std::span(kRequest).subspan(sent), n);
                sent += n;
                if (status != TlsStatus::Done && !waited(status)) break;
            }
            char buffer[64];
            size_t n = 0;
            while ((status = tls.Read(buffer, n)) == TlsStatus::Done || waited(status))
                out.answer.append(buffer, n);
        }
        if (status == TlsStatus::Closed) tls.Shutdown();
        out.end = status;
        out.error = tls.Error();
        out.resumed = tls.Resumed();
    }
    ::close(fd);
    return out;
}

TEST(TlsStream, VerifiesTheServerAndNamesEachRefusal) {
    const TestPki pki;
    const test::TempDir dir;
    const std::string caFile = dir.write("ca.pem", pki.Ca().certificatePem);
    const TestCertificate valid = pki.Leaf({"localhost", "127.0.0.1"});
    const struct {
        const char* name;
        TestCertificate certificate;
        ServerOptions options;
        const char* serverName;
        std::string caFile;
        TlsStatus end;
        const char* error;
    } cases[] = {
        {"valid", valid, {}, "localhost", caFile, TlsStatus::Closed, ""},
        {"valid address", valid, {}, "127.0.0.1", caFile, TlsStatus::Closed, ""},
        {"no close-notify",
         valid,
         {false, 0},
         "localhost",
         caFile,
         TlsStatus::EofWithoutNotify,
         "unexpected eof"},
        {"expired",
         pki.Leaf({"localhost"}, -86400 * 2, -86400),
         {},
         "localhost",
         caFile,
         TlsStatus::Failed,
         "certificate has expired"},
        {"wrong name",
         pki.Leaf({"other.example"}),
         {},
         "localhost",
         caFile,
         TlsStatus::Failed,
         "hostname mismatch"},
        {"wrong address", valid, {}, "127.0.0.2", caFile, TlsStatus::Failed, "IP address mismatch"},
        {"self-signed",
         pki.Leaf({"localhost"}, -3600, 86400, true),
         {},
         "localhost",
         caFile,
         TlsStatus::Failed,
         "self-signed certificate"},
        {"untrusted CA",
         valid,
         {},
         "localhost",
         "",
         TlsStatus::Failed,
         "unable to get local issuer certificate"},
        {"TLS 1.0 only",
         valid,
         {true, TLS1_VERSION},
         "localhost",
         caFile,
         TlsStatus::Failed,
         "tlsv1 alert protocol version"},
    };
    for (const auto& c : cases) {
        const TestTlsServer server(c.certificate, c.options);
        const Fetched fetched = Fetch(server.Port(), c.serverName, c.caFile);
        EXPECT_EQ(fetched.end, c.end) << c.name << ": " << fetched.error;
        EXPECT_EQ(fetched.error, c.error) << c.name;
        EXPECT_EQ(fetched.answer, c.end == TlsStatus::Failed ? "" : kAnswer) << c.name;
        if (c.end == TlsStatus::Closed) {
            EXPECT_TRUE(Fetch(server.Port(), c.serverName, c.caFile).resumed) << c.name;
        }
    }
    TlsStream noCa(-1, "localhost", dir.file("missing.pem"));
    EXPECT_EQ(noCa.Handshake(), TlsStatus::Failed);
    EXPECT_EQ(noCa.Error(), "CA file not readable: " + dir.file("missing.pem"));
}

}  // namespace
}  // namespace lumar::net
