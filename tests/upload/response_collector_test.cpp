#include "upload/response_collector.h"

#include <gtest/gtest.h>

namespace lumar {
namespace {

const std::string kHeader = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
const std::string kBody = "<html>[URL=a]</textarea>\r\n\r\nHTTP/1.0 in the body</html>";

TEST(ResponseCollector, DropsTheHeaderOnceWhereverTheReadsSplitIt) {
    const std::string answer = kHeader + kBody;
    for (size_t a = 0; a <= answer.size(); ++a) {
        for (size_t b = a; b <= answer.size(); b += 3) {
            ResponseCollector c;
            c.Append(std::string_view(answer).substr(0, a));
            c.Append(std::string_view(answer).substr(a, b - a));
            c.Append(std::string_view(answer).substr(b));
            ASSERT_EQ(c.Answer(), kBody) << "split at " << a << " and " << b;
        }
    }
    ResponseCollector bytes;
    for (char ch : answer) bytes.Append(std::string_view(&ch, 1));
    EXPECT_EQ(bytes.Answer(), kBody);
}

TEST(ResponseCollector, KeepsAnswersWithoutHeaderAndLaterStatusLookalikes) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"HTTP", "S is not a status line\r\n\r\nrest"}, "HTTPS is not a status line\r\n\r\nrest"},
        {{kHeader + "first ", "HTTP/1.1 200 OK\r\n\r\nsecond"},
         "first HTTP/1.1 200 OK\r\n\r\nsecond"},
        {{"HTT"}, "HTT"},
        // Ended before the empty line: nothing is thrown away.
        {{"HTTP/1.0 500 Oops\r\nX: [URL="}, "HTTP/1.0 500 Oops\r\nX: [URL="},
    };
    for (const auto& [pieces, answer] : cases) {
        ResponseCollector c;
        for (const std::string& piece : pieces) c.Append(piece);
        EXPECT_EQ(c.Answer(), answer);
    }
}

TEST(ResponseCollector, StopsAtTheCap) {
    ResponseCollector c(kHeader.size() + 10);
    EXPECT_TRUE(c.Append(kHeader));
    EXPECT_TRUE(c.Append("12345"));
    EXPECT_FALSE(c.Append("67890abc"));
    EXPECT_TRUE(c.Full());
    EXPECT_FALSE(c.Append("more"));
    EXPECT_EQ(c.Answer(), "1234567890");
}

}  // namespace
}  // namespace lumar
