#include "net/http_response_reader.h"

#include <gtest/gtest.h>

#include "net/http_url.h"

namespace lumar::net {
namespace {

using State = HttpResponseReader::State;

struct Case {
    const char* name;
    std::string answer;
    bool closed;  // the peer closes after the answer (Finish)
    State state;
    int status;
    std::string bodyOrError;  // the body when Done, the error when Failed
    const char* header = "";  // a header to look up, and its expected value
    const char* value = "";
    size_t maxBody = 16u * 1024u * 1024u;
};

struct Outcome {
    State state;
    int status;
    std::string bodyOrError;
    std::optional<std::string> value;
};

Outcome Read(const Case& c, const std::vector<std::string_view>& pieces) {
    HttpResponseReader reader(HttpReaderLimits{64u * 1024u, c.maxBody});
    for (std::string_view piece : pieces) reader.Feed(piece);
    if (c.closed) reader.Finish();
    const State state = reader.GetState();
    return {state, reader.Status(), state == State::kFailed ? reader.Error() : reader.Body(),
            reader.Header(c.header)};
}

std::string Interim(int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += "HTTP/1.1 100 Continue\r\n\r\n";
    return out;
}

TEST(HttpResponseReader, ReadsEveryFramingWhereverTheReadsSplitIt) {
    const std::string chunked =
        "HTTP/1.1 201 Created\r\nTransfer-Encoding: chunked\r\n\r\n"
        "5;name=\"x;y\"\r\nhello\r\n1A\r\n world 12 abcdefghijklmnop\r\n0\r\nX-Checksum: 1\r\n\r\n";
    const Case cases[] = {
        {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhelloEXTRA", false, State::kDone,
         200, "hello"},
        {"chunked", chunked, false, State::kDone, 201, "hello world 12 abcdefghijklmnop"},
        {"close", "HTTP/1.0 200 OK\r\nServer: x\r\n\r\n<a>\r\n\r\n</a>", true, State::kDone, 200,
         "<a>\r\n\r\n</a>"},
        {"bare LF, folded and repeated headers",
         "HTTP/1.1 302 Found\nLocation: /a\n  /b\nset-cookie: a=1\nSet-Cookie: b=2\n\n", true,
         State::kDone, 302, "", "SET-COOKIE", "a=1, b=2"},
        {"interim answers skipped", Interim(10) + "HTTP/1.1 200\r\nContent-Length: 2\r\n\r\nok",
         false, State::kDone, 200, "ok"},
        {"endless interim answers", Interim(11), false, State::kFailed, 100,
         "too many interim answers"},
        {"no body on 204", "HTTP/1.1 204 No Content\r\nContent-Length: 9\r\n\r\n", false,
         State::kDone, 204, ""},
        {"repeated equal lengths",
         "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 2, 2\r\n\r\nok", false,
         State::kDone, 200, "ok"},
        {"length cut off", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhello", true,
         State::kFailed, 200, "answer cut off"},
        {"nothing", "", true, State::kFailed, 0, "connection closed without an answer"},
        {"oversize header", "HTTP/1.1 200 OK\r\nX: " + std::string(70000, 'a') + "\r\n\r\n", false,
         State::kFailed, 200, "answer header too large"},
        {"bad chunk size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", false,
         State::kFailed, 200, "bad chunk size"},
        {"chunk without its end",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nokX\r\n", false, State::kFailed,
         200, "bad chunk end"},
        {"conflicting lengths",
         "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nok", false,
         State::kFailed, 200, "bad Content-Length"},
        {"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", false, State::kFailed,
         200, "bad Content-Length"},
        {"unknown coding", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\nxx", false,
         State::kFailed, 200, "unsupported transfer coding: gzip"},
        {"space before colon", "HTTP/1.1 200 OK\r\nContent-Length : 2\r\n\r\nok", false,
         State::kFailed, 200, "bad header line in the answer"},
        {"no status line", "<html>hello</html>\r\n", true, State::kFailed, 0,
         "no HTTP status line in the answer"},
        {"body over the cap", "HTTP/1.1 200 OK\r\n\r\n0123456789", true, State::kFailed, 200,
         "answer too large", "", "", 8},
        {"length over the cap", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n", false,
         State::kFailed, 200, "answer too large", "", "", 8},
    };
    for (const Case& c : cases) {
        const Outcome whole = Read(c, {c.answer});
        EXPECT_EQ(whole.state, c.state) << c.name;
        EXPECT_EQ(whole.status, c.status) << c.name;
        EXPECT_EQ(whole.bodyOrError, c.bodyOrError) << c.name;
        if (*c.header) {
            EXPECT_EQ(whole.value.value_or("(none)"), c.value) << c.name;
        }
        const std::string_view all(c.answer);
        for (size_t at = 0; at <= all.size() && all.size() < 1000; ++at) {
            const Outcome split = Read(c, {all.substr(0, at), all.substr(at)});
            ASSERT_EQ(split.state, whole.state) << c.name << " split at " << at;
            ASSERT_EQ(split.bodyOrError, whole.bodyOrError) << c.name << " split at " << at;
            ASSERT_EQ(split.value, whole.value) << c.name << " split at " << at;
        }
    }
}

// Host, port and Host header show in the URL written back: brackets for IPv6, the port only
// when it is not the scheme's default.
TEST(HttpUrl, ParsesWhatCanBeConnectedToAndRefusesTheRest) {
    const struct {
        const char* text;
        const char* url;
    } cases[] = {
        {"http://Example.COM", "http://example.com/"},
        {" https://example.com/up?x=1#top ", "https://example.com/up?x=1"},
        {"HTTPS://example.com:443/a", "https://example.com/a"},
        {"https://example.com:8443?q", "https://example.com:8443/?q"},
        {"http://example.com:/", "http://example.com/"},
        {"http://127.0.0.1:8080/u.php", "http://127.0.0.1:8080/u.php"},
        {"https://[::1]/", "https://[::1]/"},
        {"http://[2001:DB8::1]:81/x", "http://[2001:db8::1]:81/x"},
        {"http://h/a/./b/../c d/\xC3\xA4?q=a b", "http://h/a/c%20d/%C3%A4?q=a%20b"},
        {"http://h/../../x", "http://h/x"},
    };
    for (const auto& c : cases) {
        const lumar::Outcome<HttpUrl> r = ParseHttpUrl(c.text);
        ASSERT_TRUE(r) << c.text;
        EXPECT_EQ(r->ToString(), c.url) << c.text;
    }
    for (const char* refused :
         {"ftp://example.com/", "example.com/upload", "http:example.com", "http:///path",
          "http://user:pw@example.com/", "http://example.com:65536/", "http://example.com:0/",
          "http://example.com:8a/", "http://[::1/", "http://[::g]/", "http://[::1]x/",
          "http://1.2.3/", "http://256.1.1.1/", "http://ex\xC3\xA4mple.com/",
          "http://example.com/a\r\nX-Injected: 1"}) {
        const lumar::Outcome<HttpUrl> r = ParseHttpUrl(refused);
        ASSERT_FALSE(r) << refused;
        EXPECT_EQ(r.Why().Arg(0), refused);  // the address goes with the reason
    }
}

TEST(HttpUrl, ResolvesRedirectLocationsAgainstTheAskedUrl) {
    const HttpUrl base = ParseHttpUrl("https://img.example:8443/api/v1/upload?key=k").Value();
    const struct {
        const char* location;
        const char* url;
    } cases[] = {
        {"", "https://img.example:8443/api/v1/upload?key=k"},
        {"done", "https://img.example:8443/api/v1/done"},
        {"../v2/done?id=3#f", "https://img.example:8443/api/v2/done?id=3"},
        {"/result/7", "https://img.example:8443/result/7"},
        {"?page=2", "https://img.example:8443/api/v1/upload?page=2"},
        {"//cdn.example/i.jpg", "https://cdn.example/i.jpg"},
        {"http://other.example/", "http://other.example/"},
    };
    for (const auto& c : cases) {
        const lumar::Outcome<HttpUrl> r = ResolveHttpUrl(base, c.location);
        ASSERT_TRUE(r) << c.location;
        EXPECT_EQ(r->ToString(), c.url) << c.location;
    }
    for (const char* refused : {"javascript:alert(1)", "/a\nb"})
        EXPECT_FALSE(ResolveHttpUrl(base, refused)) << refused;
}

}  // namespace
}  // namespace lumar::net
