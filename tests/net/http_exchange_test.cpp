#include "net/http_exchange.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "net/exchange_runner.h"
#include "net/proxy_settings.h"
#include "net/redirect.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"
#include "support/test_proxy.h"
#include "support/tls_test_pki.h"

namespace lumar::net {
namespace {

using test::TestAnswer;

std::string Answer(const std::string& head, const std::string& body) {
    return "HTTP/1.1 " + head + "\r\n\r\n" + body;
}

// Each path asks the test servers for one kind of answer; "/r/N" redirects N times before
// answering with the request line that reached it.
TestAnswer Route(const std::string& request, const std::string& plainUrl) {
    const std::string line = request.substr(0, request.find("\r\n"));
    const std::string path = line.substr(line.find(' ') + 1, line.rfind(' ') - line.find(' ') - 1);
    if (path == "/ok") return {Answer("200 OK\r\nContent-Length: 5", "hello")};
    if (path == "/chunked")
        return {
            Answer("200 OK\r\nTransfer-Encoding: chunked", "2\r\nhe\r\n3;x=y\r\nllo\r\n0\r\n\r\n")};
    if (path == "/cut") return {Answer("200 OK\r\nContent-Length: 10", "hello"), false};
    if (path == "/close") return {Answer("200 OK", "hello"), false};
    if (path == "/loop") return {Answer("302 Found\r\nLocation: /loop\r\nContent-Length: 0", "")};
    if (path == "/to-http")
        return {Answer("302 Found\r\nLocation: " + plainUrl + "\r\nContent-Length: 0", "")};
    if (path == "/r/0")
        return {Answer("200 OK\r\nContent-Length: " + std::to_string(line.size()), line)};
    if (path.starts_with("/r/")) {
        const int left = std::stoi(path.substr(3)) - 1;
        return {Answer(std::string(left % 2 ? "303 See Other" : "302 Found") + "\r\nLocation: /r/" +
                           std::to_string(left) + "\r\nContent-Length: 0",
                       "")};
    }
    return {Answer("404 Not Found\r\nContent-Length: 0", "")};
}

// A listener on 127.0.0.2 whose one-place queue is taken, so a further connect to it is never
// answered.
struct SilentAddress {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int filler = ::socket(AF_INET, SOCK_STREAM, 0);
    explicit SilentAddress(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        ::inet_pton(AF_INET, "127.0.0.2", &address.sin_addr);
        const auto* a = reinterpret_cast<const sockaddr*>(&address);
        EXPECT_EQ(::bind(listener, a, sizeof address) | ::listen(listener, 0) |
                      ::connect(filler, a, sizeof address),
                  0);
    }
    ~SilentAddress() {
        ::close(filler);
        ::close(listener);
    }
};

class HttpExchangeTest : public ::testing::Test {
  protected:
    const test::TestPki pki;
    const test::TempDir dir;
    const std::string caFile = dir.write("ca.pem", pki.Ca().certificatePem);
    const test::TestCertificate certificate = pki.Leaf({"localhost", "127.0.0.1", "::1"});
    const test::TestHttpServer plain{
        [this](const std::string& r) { return Route(r, plain.Url("/ok")); }};
    const test::TestHttpServer tls{
        [this](const std::string& r) { return Route(r, plain.Url("/ok")); }, {&certificate}};
    const test::TestHttpServer tls6{
        [this](const std::string& r) { return Route(r, plain.Url("/ok")); },
        {&certificate, 0, true}};
};

struct Outcome {
    ExchangeError error = ExchangeError::None;
    std::string reason;  // the exchange's, or the redirect error
    std::string body;
};

Outcome Fetch(const std::string& url, const ExchangeOptions& options, std::string method = "GET") {
    ExchangeRequest request;
    request.method = std::move(method);
    request.url = *ParseHttpUrl(url).url;
    const FollowedExchange done =
        RunFollowingRedirects(request, [&](const HttpUrl&) { return options; });
    return {done.exchange->Error(), done.error.empty() ? done.exchange->Reason() : done.error,
            done.exchange->Response().Body()};
}

TEST_F(HttpExchangeTest, ReachesLoopbackServersDirectlyThroughProxiesAndRedirects) {
    const test::TestHttpServer proxy(nullptr, test::ProxyOptions());
    const test::TestHttpServer refusing([](const std::string&) {
        return TestAnswer{Answer("403 Forbidden\r\nContent-Length: 0", "")};
    });
    const auto viaProxy = [&](const test::TestHttpServer& p) {
        return ProxyServer{"localhost", static_cast<std::uint16_t>(p.Port()), "Basic dTpw"};
    };
    const std::uint16_t tlsPort = static_cast<std::uint16_t>(tls.Port());
    const auto lookupGiving = [](std::vector<std::string> hosts) {
        return [hosts](const std::string&, std::uint16_t port) {
            std::vector<SocketAddress> out;
            for (const std::string& h : hosts) out.push_back(*NumericAddress(h, port));
            return out;
        };
    };
    const SilentAddress silent(tls.Port());

    ExchangeOptions base;
    base.caFile = caFile;
    base.connectTimeout = base.idleTimeout = std::chrono::seconds(10);
    const auto with = [&](auto change) {
        ExchangeOptions o = base;
        change(o);
        return o;
    };
    const struct {
        const char* name;
        std::string url;
        ExchangeOptions options;
        ExchangeError error;
        std::string reason;
        std::string body;
    } cases[] = {
        {"plain", plain.Url("/ok"), base, ExchangeError::None, "", "hello"},
        {"TLS", tls.Url("/ok"), base, ExchangeError::None, "", "hello"},
        {"plain, body until close", plain.Url("/close"), base, ExchangeError::None, "", "hello"},
        {"TLS, length cut short", tls.Url("/cut"), base, ExchangeError::BadAnswer, "answer cut off",
         "hello"},
        {"TLS, body until close without close-notify", tls.Url("/close"), base,
         ExchangeError::BadAnswer, "answer cut off (no TLS close-notify)", "hello"},
        {"the first of two addresses refuses",
         "https://localhost:" + std::to_string(tlsPort) + "/ok", with([&](ExchangeOptions& o) {
             o.lookup = lookupGiving({"::1", "127.0.0.1"});
         }),
         ExchangeError::None, "", "hello"},
        {"an address that never answers gets its share of the time",
         "https://localhost:" + std::to_string(tlsPort) + "/ok", with([&](ExchangeOptions& o) {
             o.lookup = lookupGiving({"127.0.0.2", "127.0.0.1"});
             o.connectTimeout = std::chrono::seconds(2);
         }),
         ExchangeError::None, "", "hello"},
        {"every address refuses", "http://localhost:" + std::to_string(tlsPort) + "/ok",
         with([&](ExchangeOptions& o) {
             o.lookup = lookupGiving({"127.0.0.1", "::1"});
             o.connectPort = 1;
         }),
         ExchangeError::ConnectFailed, "could not connect to [::1]:1: Connection refused", ""},
        {"no address", "http://nowhere.invalid/",
         with([&](ExchangeOptions& o) { o.lookup = lookupGiving({}); }),
         ExchangeError::HostNotFound, "host not found: nowhere.invalid", ""},
        {"connect-to keeps the URL's name", "https://localhost:1/ok", with([&](ExchangeOptions& o) {
             o.connectHost = "127.0.0.1";
             o.connectPort = tlsPort;
         }),
         ExchangeError::None, "", "hello"},
        {"redirect chain, POST becomes GET", tls.Url("/r/5"), base, ExchangeError::None, "",
         "GET /r/0 HTTP/1.1"},
        {"too many redirects", tls.Url("/r/6"), base, ExchangeError::None, "more than 5 redirects",
         ""},
        {"redirect loop", tls.Url("/loop"), base, ExchangeError::None,
         "redirect loop at " + tls.Url("/loop"), ""},
        {"https to http", tls.Url("/to-http"), base, ExchangeError::None,
         "refused a redirect from https to http: " + plain.Url("/ok"), ""},
        {"plain through a proxy", plain.Url("/r/0"),
         with([&](ExchangeOptions& o) { o.proxy = viaProxy(proxy); }), ExchangeError::None, "",
         "POST /r/0 HTTP/1.1"},
        {"TLS through a proxy", tls.Url("/ok"),
         with([&](ExchangeOptions& o) { o.proxy = viaProxy(proxy); }), ExchangeError::None, "",
         "hello"},
        {"refusing proxy", tls.Url("/ok"),
         with([&](ExchangeOptions& o) { o.proxy = viaProxy(refusing); }),
         ExchangeError::ProxyRefused, "proxy refused the tunnel: HTTP 403 Forbidden", ""},
    };
    for (const auto& c : cases) {
        const Outcome out = Fetch(c.url, c.options, "POST");
        EXPECT_EQ(out.error, c.error) << c.name << ": " << out.reason;
        EXPECT_EQ(out.reason, c.reason) << c.name;
        EXPECT_EQ(out.body, c.body) << c.name;
    }
    const std::vector<std::string> heads = proxy.Requests();
    const std::string lines[] = {"POST " + plain.Url("/r/0") + " HTTP/1.1\r\n",
                                 "CONNECT 127.0.0.1:" + std::to_string(tlsPort) + " HTTP/1.1\r\n"};
    ASSERT_EQ(heads.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(heads[i].starts_with(lines[i])) << heads[i];
        EXPECT_NE(heads[i].find("\r\nProxy-Authorization: Basic dTpw\r\n"), std::string::npos);
    }
    EXPECT_EQ(refusing.Requests().size(), 1u);
}

TEST_F(HttpExchangeTest, OnePollLoopDrivesSeveralAtOnce) {
    ExchangeOptions options;
    options.caFile = caFile;
    std::vector<std::unique_ptr<HttpExchange>> exchanges;
    std::vector<HttpExchange*> all;
    for (const std::string& url : {tls.Url("/ok"), plain.Url("/chunked"), tls6.Url("/ok"),
                                   plain.Url("/ok"), tls.Url("/chunked")}) {
        exchanges.push_back(std::make_unique<HttpExchange>(
            ExchangeRequest{"GET", *ParseHttpUrl(url).url, {}, nullptr}, options));
        all.push_back(exchanges.back().get());
    }
    RunExchanges(all);
    for (const auto& exchange : exchanges) {
        EXPECT_EQ(exchange->Reason(), "") << exchange->Request().url.ToString();
        EXPECT_EQ(exchange->Response().Body(), "hello") << exchange->Request().url.ToString();
    }
}

TEST_F(HttpExchangeTest, ReadsARefusalThatComesBeforeTheWholeRequest) {
    const test::TestHttpServer refusing(
        [](const std::string&) {
            return TestAnswer{Answer("413 Too Large\r\nContent-Length: 3", "big")};
        },
        {.answerAfterHead = true});
    const std::string image(8 * 1024 * 1024, 'x');
    const RequestBody body = *BuildRawBody(image, "image/jpeg").body;
    HttpExchange exchange({"POST", *ParseHttpUrl(refusing.Url()).url, {}, &body}, {});
    RunExchange(exchange);
    EXPECT_EQ(exchange.Reason(), "");
    EXPECT_EQ(exchange.Response().Status(), 413);

    // A request that would break its own head fails before it connects anywhere.
    const HttpExchange bad(
        {"GET", *ParseHttpUrl(refusing.Url()).url, {{"X-Key", "a\r\nb"}}, nullptr}, {});
    EXPECT_EQ(bad.Reason(), "bad value of header X-Key");
}

TEST(Redirect, DecidesTheNextRequest) {
    const RequestBody body = *BuildRawBody("x", "").body;
    ExchangeRequest sent;
    sent.method = "POST";
    sent.url = *ParseHttpUrl("https://a.example/up").url;
    sent.body = &body;
    sent.headers = {
        {"Authorization", "Bearer k"}, {"Cookie", "c=1"}, {"X-API-Key", "k"}, {"Accept", "*/*"}};
    const struct {
        int status;
        const char* location;
        const char* method;
        bool keepsBody;
        const char* url;
        size_t headers;
    } cases[] = {
        {302, "/b", "GET", false, "https://a.example/b", 4},
        {303, "/b", "GET", false, "https://a.example/b", 4},
        {307, "/b", "POST", true, "https://a.example/b", 4},
        {308, "https://b.example/c", "POST", true, "https://b.example/c", 1},
        {307, "https://a.example:444/c", "POST", true, "https://a.example:444/c", 1},
        {200, "/b", "", false, "", 0},
        {304, "/b", "", false, "", 0},
    };
    for (const auto& c : cases) {
        HttpResponseReader answer;
        answer.Feed("HTTP/1.1 " + std::to_string(c.status) + " X\r\nLocation: " + c.location +
                    "\r\nContent-Length: 0\r\n\r\n");
        const RedirectDecision next = FollowRedirect(sent, answer, {"x-api-key"});
        ASSERT_EQ(next.next.has_value(), *c.method != 0) << c.status;
        if (!next.next) continue;
        EXPECT_EQ(next.next->method, c.method) << c.status;
        EXPECT_EQ(next.next->body != nullptr, c.keepsBody) << c.status;
        EXPECT_EQ(next.next->url.ToString(), c.url) << c.status;
        EXPECT_EQ(next.next->headers.size(), c.headers) << c.status;
    }
}

}  // namespace
}  // namespace lumar::net
