#include "upload/answer_code.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace lumar {
namespace {

TEST(BuildCodeFromAnswer, CodeStylesAndFailures) {
    const char* kJson = R"({"data":{"url":"https://i/a.jpg","thumb":{"url":"https://i/t.jpg"}}})";
    const struct {
        const char* url;
        const char* thumbnail;
        int status;
        const char* body;
        CodeStyle style;
        const char* code;     // expected code, or
        const char* failure;  // a part of the expected reason
    } cases[] = {
        {"{json:data.url}", "{json:data.thumb.url}", 200, kJson, CodeStyle::LinkedThumbnail,
         "[URL=https://i/a.jpg][IMG]https://i/t.jpg[/IMG][/URL]", ""},
        {"{json:data.url}", "{json:data.thumb.url}", 201, kJson, CodeStyle::FullImage,
         "[IMG]https://i/a.jpg[/IMG]", ""},
        {"{json:data.url}", "{json:data.thumb.url}", 200, kJson, CodeStyle::LinkOnly,
         "[URL]https://i/a.jpg[/URL]", ""},
        {"{json:data.url}", "{json:data.none}", 200, kJson, CodeStyle::LinkedThumbnail,
         "[IMG]https://i/a.jpg[/IMG]", ""},
        {"", "", 200, "  https://x/y.jpg\r\n", CodeStyle::LinkedThumbnail,
         "[IMG]https://x/y.jpg[/IMG]", ""},
        {"{json:url}", "", 200, R"({"url":"https://x/a.jpg[/IMG][/URL]x y"})", CodeStyle::FullImage,
         "[IMG]https://x/a.jpg%5B/IMG%5D%5B/URL%5Dx%20y[/IMG]", ""},
        {"{json:data.url}", "", 400, R"({"error":{"message":"Invalid API key"}})",
         CodeStyle::FullImage, "", "the host answered with status 400: Invalid API key"},
        {"{json:data.url}", "", 503, "", CodeStyle::FullImage, "",
         "the host answered with status 503"},
        {"{json:data.nothing}", "", 200, kJson, CodeStyle::FullImage, "",
         "the answer holds no URL"},
        {"", "", 200, "Error: quota exceeded", CodeStyle::FullImage, "",
         "URL is no web address: Error: quota"},
        {"{json:data.url}", "{response}", 200, kJson, CodeStyle::LinkedThumbnail, "",
         "ThumbnailURL is no web address"},
        {"{json:data.url}", "", 200, "<html>", CodeStyle::FullImage, "",
         "URL: the answer is not JSON"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.url) + " / " + c.body);
        const AnswerFieldsParse fields =
            ParseAnswerFields(c.url, c.thumbnail, "", "{json:error.message}");
        ASSERT_EQ(fields.failure, "");
        AnswerContext answer;
        answer.status = c.status;
        answer.body = c.body;
        const TextResult result = BuildCodeFromAnswer(fields.fields, answer, c.style);
        EXPECT_EQ(result.text, c.code);
        EXPECT_THAT(result.failure, ::testing::HasSubstr(c.failure));
        EXPECT_EQ(result.Ok(), *c.failure == '\0');
    }
    EXPECT_EQ(ParseAnswerFields("", "", "{delete}", "").failure,
              "DeletionURL: unknown function {delete} at position 1");
}

}  // namespace
}  // namespace lumar
