#include "hosters/answer_template.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "hosters/answer_code.h"

namespace lumar {
namespace {

using ::testing::HasSubstr;

enum class Stage { Ok, LoadError, AnswerError };

AnswerContext Answer() {
    AnswerContext answer;
    answer.body =
        R"({"data":{"url":"https://i.example/a.jpg","thumb":{"url":"https://i.example/a.th.jpg"},)"
        R"("list":[1,{"k":"v"}],"odd key":"o","n":null,"id":42}})";
    answer.final_url = "https://i.example/api/1/upload";
    answer.headers = {{"Content-Type", "application/json"}, {"X-Long", std::string(40, 'a') + "b"}};
    answer.file_name = "a b.jpg";
    return answer;
}

TEST(AnswerTemplate, EveryFunctionNestingEscapingAndErrors) {
    const struct {
        const char* source;
        Stage stage;
        const char* expected;  // the text, or a part of the failure
    } cases[] = {
        {"", Stage::Ok, ""},
        {"{response}", Stage::Ok, R"({"data":{"url":")"},  // checked as a prefix below
        {"{ResponseURL}", Stage::Ok, "https://i.example/api/1/upload"},
        {"{header:content-TYPE}", Stage::Ok, "application/json"},
        {"{header:missing}", Stage::Ok, ""},
        {"{JSON:$.data.thumb.url}", Stage::Ok, "https://i.example/a.th.jpg"},
        {"{json:$['data']['odd key']}", Stage::Ok, "o"},
        {"{json:data.list[1]}", Stage::Ok, R"({"k":"v"})"},
        {"{json:data.id}", Stage::Ok, "42"},
        {"{json:data.n}{json:data.none.deeper}{json:data.list[9]}", Stage::Ok, ""},
        {R"({json:\{"a":["x","y"]\}|a[1]})", Stage::Ok, "y"},
        {R"({xml:<r><u a="1">x</u></r>|/r/u}{xml:<r><u a="1">x</u></r>|/r/u/@a})", Stage::Ok, "x1"},
        {R"({regex:"id":(\d+)|1})", Stage::Ok, "42"},
        {R"({regex:id=42 name=x|id=(?<num>\d+)|num})", Stage::Ok, "42"},
        {R"({regex:https://[^"]+th\.jpg})", Stage::Ok, "https://i.example/a.th.jpg"},
        {"{regex:abc|x(y)?|1}", Stage::Ok, ""},
        {"{filename}|{random:only}", Stage::Ok, "a b.jpg|only"},
        {"{base64:{filename}} {base64:ab} {base64:abc}", Stage::Ok, "YSBiLmpwZw== YWI= YWJj"},
        {R"(https://h/{regex:{json:data.url}|/(\w+)\.jpg|1}.png)", Stage::Ok, "https://h/a.png"},
        {R"(a\{b\}\|\:\\c \d x|y:z)", Stage::Ok, R"(a{b}|:\c \d x|y:z)"},
        {"{nosuch}", Stage::LoadError, "unknown function {nosuch}"},
        {"x{Prompt}", Stage::LoadError, "{prompt} would ask a person"},
        {"{json:a", Stage::LoadError, "'{' at position 1 is never closed"},
        {"a}", Stage::LoadError, "'}' without '{' at position 2"},
        {"{json}", Stage::LoadError, "{json} cannot take 0 arguments"},
        {"{regex:(}", Stage::LoadError, "bad regular expression"},
        {"{xml:///[}", Stage::LoadError, "bad XPath"},
        {"{json:x|data}", Stage::AnswerError, "the answer is not JSON"},
        {"{xml:/a}", Stage::AnswerError, "the answer is not XML"},
        {"{json:data[x]}", Stage::AnswerError, "malformed index"},
        {"{regex:abc|(a)|7}", Stage::AnswerError, "no group \"7\""},
        {"{regex:{header:x-long}|^(a+)+$|0}", Stage::AnswerError, "gave up on the answer"},
    };
    const AnswerContext answer = Answer();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        const TemplateParse parsed = AnswerTemplate::Parse(c.source);
        if (c.stage == Stage::LoadError) {
            EXPECT_THAT(parsed.failure, HasSubstr(c.expected));
            continue;
        }
        ASSERT_EQ(parsed.failure, "");
        const TextResult result = parsed.parsed.Evaluate(answer);
        if (c.stage == Stage::AnswerError) {
            EXPECT_THAT(result.failure, HasSubstr(c.expected));
        } else {
            EXPECT_EQ(result.failure, "");
            EXPECT_EQ(std::string_view(c.source) == "{response}" ? result.text.substr(0, 16)
                                                                 : result.text,
                      c.expected);
        }
    }
}

TEST(AnswerTemplate, RandomPicksEveryChoiceAndDeepNestingIsRefused) {
    const AnswerTemplate random = AnswerTemplate::Parse("{random:a|b|c}").parsed;
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) seen.insert(random.Evaluate(Answer()).text);
    EXPECT_EQ(seen, (std::set<std::string>{"a", "b", "c"}));

    std::string deep;
    for (int i = 0; i < 40; ++i) deep = "{base64:" + deep + "}";
    EXPECT_THAT(AnswerTemplate::Parse(deep).failure, HasSubstr("nested deeper"));
}

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
