#include "net/http_url.h"

#include <gtest/gtest.h>

namespace lumar::net {
namespace {

struct ParseCase {
    const char* text;
    const char* url;  // ToString of the result
    const char* host;
    int port;
    const char* hostHeader;
};

TEST(HttpUrl, ParsesWhatCanBeConnectedToAndRefusesTheRest) {
    const ParseCase cases[] = {
        {"http://Example.COM", "http://example.com/", "example.com", 80, "example.com"},
        {" https://example.com/up?x=1#top ", "https://example.com/up?x=1", "example.com", 443,
         "example.com"},
        {"HTTPS://example.com:443/a", "https://example.com/a", "example.com", 443, "example.com"},
        {"https://example.com:8443?q", "https://example.com:8443/?q", "example.com", 8443,
         "example.com:8443"},
        {"http://example.com:/", "http://example.com/", "example.com", 80, "example.com"},
        {"http://127.0.0.1:8080/u.php", "http://127.0.0.1:8080/u.php", "127.0.0.1", 8080,
         "127.0.0.1:8080"},
        {"https://[::1]/", "https://[::1]/", "::1", 443, "[::1]"},
        {"http://[2001:DB8::1]:81/x", "http://[2001:db8::1]:81/x", "2001:db8::1", 81,
         "[2001:db8::1]:81"},
        {"http://h/a/./b/../c d/\xC3\xA4?q=a b", "http://h/a/c%20d/%C3%A4?q=a%20b", "h", 80, "h"},
        {"http://h/../../x", "http://h/x", "h", 80, "h"},
    };
    for (const ParseCase& c : cases) {
        const HttpUrlResult r = ParseHttpUrl(c.text);
        ASSERT_TRUE(r.url) << c.text << ": " << r.error;
        EXPECT_EQ(r.url->ToString(), c.url) << c.text;
        EXPECT_EQ(r.url->host, c.host) << c.text;
        EXPECT_EQ(r.url->port, c.port) << c.text;
        EXPECT_EQ(r.url->HostHeader(), c.hostHeader) << c.text;
    }
    for (const char* refused :
         {"ftp://example.com/", "example.com/upload", "http:example.com", "http:///path",
          "http://user:pw@example.com/", "http://example.com:65536/", "http://example.com:8a/",
          "http://[::1/", "http://[::g]/", "http://[::1]x/", "http://1.2.3/", "http://256.1.1.1/",
          "http://ex\xC3\xA4mple.com/", "http://example.com/a\r\nX-Injected: 1"}) {
        const HttpUrlResult r = ParseHttpUrl(refused);
        EXPECT_TRUE(!r.url && !r.error.empty()) << refused;
    }
}

TEST(HttpUrl, ResolvesRedirectLocationsAgainstTheAskedUrl) {
    const HttpUrl base = *ParseHttpUrl("https://img.example:8443/api/v1/upload?key=k").url;
    const struct {
        const char* location;
        const char* url;
    } cases[] = {
        {"", "https://img.example:8443/api/v1/upload?key=k"},
        {"#x", "https://img.example:8443/api/v1/upload?key=k"},
        {"done", "https://img.example:8443/api/v1/done"},
        {"../v2/done?id=3#f", "https://img.example:8443/api/v2/done?id=3"},
        {"/result/7", "https://img.example:8443/result/7"},
        {"?page=2", "https://img.example:8443/api/v1/upload?page=2"},
        {"//cdn.example/i.jpg", "https://cdn.example/i.jpg"},
        {"http://other.example/", "http://other.example/"},
        {"HTTPS://[::1]:9/z", "https://[::1]:9/z"},
    };
    for (const auto& c : cases) {
        const HttpUrlResult r = ResolveHttpUrl(base, c.location);
        ASSERT_TRUE(r.url) << c.location << ": " << r.error;
        EXPECT_EQ(r.url->ToString(), c.url) << c.location;
    }
    for (const char* refused : {"javascript:alert(1)", "/a\nb"})
        EXPECT_FALSE(ResolveHttpUrl(base, refused).url) << refused;
}

}  // namespace
}  // namespace lumar::net
