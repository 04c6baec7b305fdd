#include "shell/text_codec.h"

#include <gtest/gtest.h>

namespace lumar {
namespace {

TEST(TextCodec, EveryWindows1252ByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    const std::string utf8 = Windows1252ToUtf8(all);
    EXPECT_TRUE(IsValidUtf8(utf8));
    EXPECT_EQ(Utf8ToWindows1252(utf8), all);
    EXPECT_EQ(Windows1252ToUtf8("\x80\x9F"), "\xE2\x82\xAC\xC5\xB8");
}

TEST(TextCodec, DetectsEncodings) {
    EXPECT_EQ(DetectEncoding("plain ascii"), TextEncoding::Windows1252);
    EXPECT_EQ(DetectEncoding("H\xF6he"), TextEncoding::Windows1252);
    EXPECT_EQ(DetectEncoding("H\xC3\xB6he"), TextEncoding::Utf8);
    EXPECT_EQ(DetectEncoding("\xEF\xBB\xBFx"), TextEncoding::Utf8Bom);
    EXPECT_EQ(DetectEncoding("\xC0\xAF"), TextEncoding::Windows1252);      // overlong
    EXPECT_EQ(DetectEncoding("\xED\xA0\x80"), TextEncoding::Windows1252);  // surrogate
    EXPECT_EQ(DetectEncoding("\xE2\x82"), TextEncoding::Windows1252);      // truncated
}

}  // namespace
}  // namespace lumar
