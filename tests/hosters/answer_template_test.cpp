#include "hosters/answer_template.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "hosters/answer_code.h"

namespace lumar {
namespace {

using ::testing::HasSubstr;

enum class Stage { kOk, kLoadError, kAnswerError };

AnswerContext Answer() {
    AnswerContext answer;
    answer.body =
        R"({"data":{"url":"https://i.example/a.jpg","thumb":{"url":"https://i.example/a.th.jpg"},)"
        R"("list":[1,{"k":"v"}],"odd key":"o","n":null,"id":42}})";
    answer.finalUrl = "https://i.example/api/1/upload";
    answer.headers = {{"Content-Type", "application/json"}, {"X-Long", std::string(40, 'a') + "b"}};
    answer.fileName = "a b.jpg";
    static const PromptAnswers kAnswers{{"Input", "typed"}, {"Tag", "t1"}, {"a|b", "b"}};
    answer.answers = &kAnswers;
    return answer;
}

TEST(AnswerTemplate, EveryFunctionNestingEscapingAndErrors) {
    const struct {
        const char* source;
        Stage stage;
        const char* expected;  // the text, or a part of the failure
    } cases[] = {
        {"", Stage::kOk, ""},
        {"{response}", Stage::kOk, R"({"data":{"url":")"},  // checked as a prefix below
        {"{ResponseURL}", Stage::kOk, "https://i.example/api/1/upload"},
        {"{header:content-TYPE}", Stage::kOk, "application/json"},
        {"{header:missing}", Stage::kOk, ""},
        {"{JSON:$.data.thumb.url}", Stage::kOk, "https://i.example/a.th.jpg"},
        {"{json:$['data']['odd key']}", Stage::kOk, "o"},
        {"{json:data.list[1]}", Stage::kOk, R"({"k":"v"})"},
        {"{json:data.id}", Stage::kOk, "42"},
        {"{json:data.n}{json:data.none.deeper}{json:data.list[9]}{json:data.list[2]}", Stage::kOk,
         ""},
        {R"({json:\{"a":["x","y"]\}|a[1]})", Stage::kOk, "y"},
        {R"({xml:<r><u a="1">x</u></r>|/r/u}{xml:<r><u a="1">x</u></r>|/r/u/@a})", Stage::kOk,
         "x1"},
        {R"({regex:"id":(\d+)|1})", Stage::kOk, "42"},
        {R"({regex:id=42 name=x|id=(?<num>\d+)|num})", Stage::kOk, "42"},
        {R"({regex:https://[^"]+th\.jpg})", Stage::kOk, "https://i.example/a.th.jpg"},
        {"{regex:abc|x(y)?|1}", Stage::kOk, ""},
        {"{filename}|{random:only}", Stage::kOk, "a b.jpg|only"},
        {"{base64:{filename}} {base64:ab} {base64:abc}", Stage::kOk, "YSBiLmpwZw== YWI= YWJj"},
        {R"(https://h/{regex:{json:data.url}|/(\w+)\.jpg|1}.png)", Stage::kOk, "https://h/a.png"},
        {R"(a\{b\}\|\:\\c \d x|y:z)", Stage::kOk, R"(a{b}|:\c \d x|y:z)"},
        {"{nosuch}", Stage::kLoadError, "unknown function {nosuch}"},
        {"[{input}]{Prompt}|{inputbox:Tag|d}|{select:a|b}|{outputbox:T|x}", Stage::kOk,
         "[]typed|t1|b|"},
        {"{inputbox:{filename}}", Stage::kLoadError, "must be plain text"},
        {"{select}", Stage::kLoadError, "{select} cannot take 0 arguments"},
        {"{inputbox:Nobody}", Stage::kAnswerError, "no answer to the question \"Nobody\""},
        {"{json:a", Stage::kLoadError, "'{' at position 1 is never closed"},
        {"a}", Stage::kLoadError, "'}' without '{' at position 2"},
        {"{json}", Stage::kLoadError, "{json} cannot take 0 arguments"},
        {"{regex:(}", Stage::kLoadError, "bad regular expression"},
        {"{xml:///[}", Stage::kLoadError, "bad XPath"},
        {"{json:x|data}", Stage::kAnswerError, "the answer is not JSON"},
        {"{xml:/a}", Stage::kAnswerError, "the answer is not XML"},
        {"{json:data[x]}", Stage::kAnswerError, "malformed index"},
        {"{regex:abc|(a)|7}", Stage::kAnswerError, "no group \"7\""},
        {"{regex:{header:x-long}|^(a+)+$|0}", Stage::kAnswerError, "gave up on the answer"},
    };
    const AnswerContext answer = Answer();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        const TemplateParse parsed = AnswerTemplate::Parse(c.source);
        if (c.stage == Stage::kLoadError) {
            EXPECT_THAT(parsed.failure, HasSubstr(c.expected));
            continue;
        }
        ASSERT_EQ(parsed.failure, "");
        const TextResult result = parsed.parsed.Evaluate(answer);
        if (c.stage == Stage::kAnswerError) {
            EXPECT_THAT(result.failure, HasSubstr(c.expected));
        } else {
            EXPECT_EQ(result.failure, "");
            EXPECT_EQ(std::string_view(c.source) == "{response}" ? result.text.substr(0, 16)
                                                                 : result.text,
                      c.expected);
        }
    }
}

// The questions are asked before the run, each once; what {outputbox} shows is kept for the
// end of the run, titled when it has a title.
TEST(AnswerTemplate, QuestionsAndOutputs) {
    const AnswerTemplate both =
        AnswerTemplate::Parse(
            "{inputbox}{prompt:Tag|x}{inputbox:Tag}{select:a|b}{outputbox:{json:data.id}}"
            "{outputbox:Id|{json:data.id}}{outputbox:}")
            .parsed;
    EXPECT_EQ(both.Prompts(), (std::vector<TemplatePrompt>{
                                  {"Input", "", {}}, {"Tag", "x", {}}, {"a|b", "", {"a", "b"}}}));
    AnswerContext answer = Answer();
    std::vector<std::string> outputs;
    answer.outputs = &outputs;
    EXPECT_EQ(both.Evaluate(answer).text, "typedt1t1b");
    EXPECT_EQ(outputs, (std::vector<std::string>{"42", "Id: 42"}));
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

// One answer's evaluation ends with a reason once it would make or read too much, whatever
// the template asks; the same functions within their limits still work.
TEST(AnswerTemplate, AnAnswerCostsNoMoreThanItsBudget) {
    const auto repeated = [](const std::string& piece, int times) {
        std::string out;
        for (int i = 0; i < times; ++i) out += piece;
        return out;
    };
    std::string elements;
    for (int i = 0; i < 20000; ++i) elements += "<a>" + std::to_string(i) + "</a>";
    const std::string megabyte(1024 * 1024, 'x');
    const std::string jsonText = "\"" + std::string(64 * 1024, 'x') + "\"";
    const std::string xml = "<r>" + elements + "</r>";
    const std::string unbalanced(100000, '(');
    const std::string letters = std::string(1000, 'a') + "z";
    const std::string alternation = "{regex:^(?:a\\|b)*(z)|1}";
    struct {
        std::string source;
        const std::string& body;
        TemplateBudget budget;
        const char* failure;  // a part of the reason, "" for a result
    } cases[] = {
        {repeated("{response}", 2000), megabyte, {}, "longer than 1 MiB"},
        {"{random:" + repeated("{response}|", 40) + "x}", megabyte, {}, "more text than"},
        {repeated("{json:a}", 40), jsonText, {.textBytes = 1 << 20}, "more text than"},
        {"{response}", megabyte, {}, ""},
        // Each call stays far below its own match limit; together they may not.
        {repeated(alternation, 300), letters, {.regexSteps = 100'000}, "used up their work"},
        {repeated(alternation, 3), letters, {.regexSteps = 100'000}, ""},
        // A query comparing every element with every other is refused before it runs; one
        // that walks the document once is not.
        {"{xml://a[. = //a]}", xml, {}, "would visit more nodes"},
        {"{xml:/r/a[20000]}{xml:count(//a)}{xml:/r/a[@id='none']}", xml, {}, ""},
        // A failing pattern built from the answer is quoted by its start only.
        {"{regex:{response}}", unbalanced, {}, "bad regular expression \"((((("},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.source.substr(0, 60));
        const TemplateParse parsed = AnswerTemplate::Parse(c.source);
        ASSERT_EQ(parsed.failure, "");
        AnswerContext answer;
        answer.body = c.body;
        const TextResult result = parsed.parsed.Evaluate(answer, c.budget);
        EXPECT_THAT(result.failure, HasSubstr(c.failure));
        EXPECT_EQ(result.Ok(), *c.failure == '\0');
        EXPECT_LT(result.failure.size(), 400u);
    }
}

TEST(BuildCodeFromAnswer, CodeStylesAndFailures) {
    const char* kJson = R"({"data":{"url":"https://i/a.jpg","thumb":{"url":"https://i/t.jpg"}}})";
    const std::string kLongestLink = "https://x/" + std::string(8192 - 10, 'a');
    const std::string kLongestCode = "[IMG]" + kLongestLink + "[/IMG]";
    const std::string kTooLongLink = kLongestLink + "a";
    const struct {
        const char* url;
        const char* thumbnail;
        int status;
        const char* body;
        CodeStyle style;
        const char* code;     // expected code, or
        const char* failure;  // a part of the expected reason
    } cases[] = {
        {"{json:data.url}", "{json:data.thumb.url}", 200, kJson, CodeStyle::kLinkedThumbnail,
         "[URL=https://i/a.jpg][IMG]https://i/t.jpg[/IMG][/URL]", ""},
        {"{json:data.url}", "{json:data.thumb.url}", 201, kJson, CodeStyle::kFullImage,
         "[IMG]https://i/a.jpg[/IMG]", ""},
        {"{json:data.url}", "{json:data.thumb.url}", 200, kJson, CodeStyle::kLinkOnly,
         "[URL]https://i/a.jpg[/URL]", ""},
        {"{json:data.url}", "{json:data.none}", 200, kJson, CodeStyle::kLinkedThumbnail,
         "[IMG]https://i/a.jpg[/IMG]", ""},
        {"", "", 200, "  https://x/y.jpg\r\n", CodeStyle::kLinkedThumbnail,
         "[IMG]https://x/y.jpg[/IMG]", ""},
        {"{json:url}", "", 200, R"({"url":"https://x/a.jpg[/IMG][/URL]x y\"'<b>"})",
         CodeStyle::kFullImage, "[IMG]https://x/a.jpg%5B/IMG%5D%5B/URL%5Dx%20y%22%27%3Cb%3E[/IMG]",
         ""},
        {"{json:data.url}", "", 400, R"({"error":{"message":"Invalid API key"}})",
         CodeStyle::kFullImage, "", "the host answered with status 400: Invalid API key"},
        {"{json:data.url}", "", 503, "", CodeStyle::kFullImage, "",
         "the host answered with status 503"},
        {"{json:data.nothing}", "", 200, kJson, CodeStyle::kFullImage, "",
         "the answer holds no URL"},
        {"", "", 200, "Error: quota exceeded", CodeStyle::kFullImage, "",
         "URL is no web address: Error: quota"},
        {"{json:data.url}", "{response}", 200, kJson, CodeStyle::kLinkedThumbnail, "",
         "ThumbnailURL is no web address"},
        {"", "", 200, "javascript:alert(1)", CodeStyle::kLinkOnly, "",
         "URL is no web address: javascript:alert(1)"},
        {"{json:data.url}", "{json:data.t}", 200,
         R"({"data":{"url":"https://i/a.jpg","t":"data:text/html,<script>"}})",
         CodeStyle::kLinkedThumbnail, "", "ThumbnailURL is no web address: data:text/html"},
        {"", "", 200, "http:///a.jpg", CodeStyle::kFullImage, "", "URL is no web address"},
        {"{json:data.url}", "", 200, "<html>", CodeStyle::kFullImage, "",
         "URL: the answer is not JSON"},
        // A link goes into the posting and the history: 8 KiB and no more.
        {"", "", 200, kLongestLink.c_str(), CodeStyle::kFullImage, kLongestCode.c_str(), ""},
        {"", "", 200, kTooLongLink.c_str(), CodeStyle::kFullImage, "",
         "URL is longer than 8 KiB: https://x/aaa"},
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
        // A refusal names the field and the link for the log's own words.
        if (const auto refused = ReadAnswerLinks(fields.fields, answer).refused) {
            EXPECT_EQ(refused->field + " is no web address: " + refused->link, result.failure);
        }
    }
    EXPECT_EQ(ParseAnswerFields("", "", "{delete}", "").failure,
              "DeletionURL: unknown function {delete} at position 1");
}

}  // namespace
}  // namespace lumar
