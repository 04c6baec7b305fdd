#pragma once
// The template language custom uploader files use to read a host's answer: literal text with
// functions in braces, e.g. "{json:data.url}" or "https://host/{regex:id=(\d+)|1}.jpg".
// Functions nest ("{base64:{filename}}"); a backslash makes any of { } | : \ literal;
// function names ignore case. A template is read once, when its row is loaded, so a typo is
// reported there, and evaluated for every answer.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hosters/text_result.h"

namespace lumar {

// What a person answered before the run, by the question's title (TemplatePrompt::title).
using PromptAnswers = std::map<std::string, std::string, std::less<>>;

// What a template may look at: one answer of the host to one image, or, for the values of a
// request, the image about to be sent (status 0, no body).
struct AnswerContext {
    int status = 200;
    std::string body;
    std::string finalUrl;  // the URL after redirects
    std::vector<std::pair<std::string, std::string>> headers;
    std::string fileName;                    // the uploaded image's name
    const PromptAnswers* answers = nullptr;  // for {inputbox} and {select}
    // {outputbox} texts are added here for the front end to show after the run; without a
    // place to put them they are dropped.
    std::vector<std::string>* outputs = nullptr;
    std::string input{};  // the uploaded text: always empty, since images are uploaded

    // The first header of that name, ignoring case; empty when there is none.
    [[nodiscard]] std::string Header(std::string_view name) const;
};

enum class TemplateFunction {
    kResponse,
    kResponseUrl,
    kHeader,
    kJson,
    kXml,
    kRegex,
    kFileName,
    kRandom,
    kBase64,
    kInput,
    kInputBox,
    kSelect,
    kOutputBox
};

// A question a template asks once per run: {inputbox:title|default} (also spelled {prompt})
// or {select:a|b|c}, whose title is its choices as written, "a|b|c".
struct TemplatePrompt {
    std::string title;
    std::string defaultText;
    std::vector<std::string> choices;  // empty for a free text

    bool operator==(const TemplatePrompt&) const = default;
};

struct TemplatePart;
using TemplateText = std::vector<TemplatePart>;

// Literal text, or a function call whose arguments are templates themselves.
struct TemplatePart {
    std::string literal;
    std::optional<TemplateFunction> function;
    std::vector<TemplateText> arguments;
};

// What evaluating the templates of one answer may cost, shared by all of them (the links and
// the error message), so that a hostile definition or answer can neither exhaust memory nor
// hold the upload: each template's result is capped, and the text made, the regular
// expressions' steps and the XPath nodes visited are drawn from one allowance. What runs out
// is a failure naming it.
struct TemplateBudget {
    static constexpr size_t kMaxResultBytes = 1024 * 1024;  // one evaluated template
    size_t textBytes = 16 * 1024 * 1024;  // all text the functions and literals make
    std::uint64_t regexSteps = 10'000'000;
    std::uint64_t xpathNodes = 50'000'000;
};

struct TemplateParse;

class AnswerTemplate {
  public:
    // The template, or why it cannot be read: an unknown function, a wrong number of
    // arguments, a question whose title or choices are not plain text, a bad literal pattern,
    // or an unbalanced brace, with its position.
    static TemplateParse Parse(std::string_view source);

    [[nodiscard]] bool Empty() const { return parts_.empty(); }
    // With a budget of its own, or one shared with the answer's other templates.
    [[nodiscard]] TextResult Evaluate(const AnswerContext& answer) const;
    TextResult Evaluate(const AnswerContext& answer, TemplateBudget& budget) const;
    // The questions the template asks, in order, each once.
    [[nodiscard]] std::vector<TemplatePrompt> Prompts() const;

  private:
    TemplateText parts_;
};

struct TemplateParse {
    AnswerTemplate parsed;
    std::string failure;  // empty when the source was read
};

}  // namespace lumar
