#include "upload/url.h"

#include <gtest/gtest.h>

namespace lumar {
namespace {

TEST(ParseURL, TakesOnlyThePathAndAlwaysTheSecondArgumentAsHost) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://www.example.com/upload.php", "/upload.php"},
        {"  https://a.b/x/y?z=1  ", "/x/y?z=1"},
        {"HTTP://A.B/Up", "/Up"},
        {"http://a.b", "/"},
        {"http://a.b:8080/p", "/p"},  // the port is never recognised
        {"upload.example.com/new/upload.php", "/new/upload.php"},
        // No "/" from the fifth character on: only the first character goes, then the first "/"
        // of what is left starts the path.
        {"httpxyz", "/"},
    };
    for (const auto& [url, path] : cases) {
        CURL u;
        u.ParseURL(url, "H");
        EXPECT_EQ(u.Path() + " " + u.Host() + " " + std::to_string(u.Port()) + u.Proxy(),
                  std::string(path) + " H 80")
            << url;
    }
    CURL u;
    u.Port(1234);
    u.Path("/kept");
    u.Host("kept");
    u.ParseURL("  ab/c ", "other");  // 4 characters after trimming: nothing changes
    EXPECT_EQ(u.Path() + u.Host() + std::to_string(u.Port()), "/keptkept1234");
}

}  // namespace
}  // namespace lumar
