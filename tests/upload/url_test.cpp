#include "upload/url.h"

#include <gtest/gtest.h>

namespace lumar {
namespace {

CURL Parsed(const std::string& url, const std::string& host) {
    CURL u;
    u.ParseURL(url, host);
    return u;
}

TEST(ParseURL, TakesOnlyThePathAndAlwaysTheSecondArgumentAsHost) {
    CURL u = Parsed("http://www.example.com/upload.php", "H");
    EXPECT_EQ(u.Host(), "H");
    EXPECT_EQ(u.Path(), "/upload.php");
    EXPECT_EQ(u.Port(), 80);
    EXPECT_EQ(u.Proxy(), "");

    EXPECT_EQ(Parsed("  https://a.b/x/y?z=1  ", "h").Path(), "/x/y?z=1");
    EXPECT_EQ(Parsed("HTTP://A.B/Up", "h").Path(), "/Up");
    EXPECT_EQ(Parsed("http://a.b", "h").Path(), "/");
    EXPECT_EQ(Parsed("http://a.b:8080/p", "").Host(), "");  // the port is never recognised
    EXPECT_EQ(Parsed("http://a.b:8080/p", "").Port(), 80);
    EXPECT_EQ(Parsed("upload.example.com/new/upload.php", "h").Path(), "/new/upload.php");
}

TEST(ParseURL, KeepsItsQuirksForOddInput) {
    // No "/" from the fifth character on: only the first character goes, then the first "/"
    // of what is left starts the path.
    EXPECT_EQ(Parsed("httpxyz", "h").Path(), "/");
    EXPECT_EQ(Parsed("httpa:b", "h").Host(), "h");

    CURL u;
    u.Port(1234);
    u.Path("/kept");
    u.Host("kept");
    u.ParseURL("  ab/c ", "other");  // 4 characters after trimming: nothing changes
    EXPECT_EQ(u.Path(), "/kept");
    EXPECT_EQ(u.Host(), "kept");
    EXPECT_EQ(u.Port(), 1234);
    CURL fresh;
    fresh.ParseURL("short", "x");
    EXPECT_EQ(fresh.Host(), "");
    EXPECT_EQ(fresh.Port(), 80);
}

}  // namespace
}  // namespace lumar
