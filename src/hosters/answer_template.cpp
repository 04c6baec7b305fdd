#include "hosters/answer_template.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <pugixml.hpp>
#include <random>
#include <utility>

#include "hosters/json_path.h"
#include "hosters/regex_match.h"

namespace lumar {
namespace {

// Deeper nesting serves no answer and would only let a hostile file exhaust the stack.
constexpr int kMaxNesting = 16;
constexpr size_t kUnlimited = static_cast<size_t>(-1);

struct FunctionInfo {
    std::string_view name;
    TemplateFunction function;
    size_t minArguments, maxArguments;
};

constexpr std::array<FunctionInfo, 14> kFunctions{{
    {"response", TemplateFunction::kResponse, 0, 0},
    {"responseurl", TemplateFunction::kResponseUrl, 0, 0},
    {"header", TemplateFunction::kHeader, 1, 1},
    {"json", TemplateFunction::kJson, 1, 2},
    {"xml", TemplateFunction::kXml, 1, 2},
    {"regex", TemplateFunction::kRegex, 1, 3},
    {"filename", TemplateFunction::kFileName, 0, 0},
    {"random", TemplateFunction::kRandom, 1, kUnlimited},
    {"base64", TemplateFunction::kBase64, 1, 1},
    {"input", TemplateFunction::kInput, 0, 0},
    {"inputbox", TemplateFunction::kInputBox, 0, 2},
    {"prompt", TemplateFunction::kInputBox, 0, 2},
    {"select", TemplateFunction::kSelect, 1, kUnlimited},
    {"outputbox", TemplateFunction::kOutputBox, 1, 2},
}};

bool IsSpecial(char c) {
    return c == '{' || c == '}' || c == '|' || c == ':' || c == '\\';
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// A literal argument ("" or one literal part) can be checked when the row is loaded.
std::optional<std::string> LiteralOf(const TemplateText& text) {
    if (text.empty()) return std::string();
    if (text.size() == 1 && !text[0].function) return text[0].literal;
    return std::nullopt;
}

std::string ShownXPath(const std::string& xpath) {
    return "\"" + xpath.substr(0, 200) + (xpath.size() > 200 ? "...\"" : "\"");
}

std::string XPathProblem(const std::string& xpath) {
    try {
        pugi::xpath_query query(xpath.c_str());
        return {};
    } catch (const pugi::xpath_exception& e) {
        return "bad XPath " + ShownXPath(xpath) + ": " + e.what();
    }
}

class Parser {
  public:
    explicit Parser(std::string_view source) : source_(source) {}

    // The parts, or empty parts and the reason in `failure`.
    TemplateText Run(std::string& failure) {
        TemplateText text = ParseText(false, 0);
        failure = failure_;
        return failure.empty() ? text : TemplateText{};
    }

  private:
    bool Fail(std::string reason) {
        if (failure_.empty()) failure_ = std::move(reason);
        return false;
    }

    [[nodiscard]] std::string Here() const { return " at position " + std::to_string(pos_ + 1); }

    // Literal text and calls up to the end; inside an argument up to its '|' or '}'.
    TemplateText ParseText(bool inArgument, int depth) {
        TemplateText text;
        std::string literal;
        auto flush = [&] {
            if (!literal.empty()) text.push_back({std::move(literal), std::nullopt, {}});
            literal.clear();
        };
        while (pos_ < source_.size() && failure_.empty()) {
            const char c = source_[pos_];
            if (c == '\\' && pos_ + 1 < source_.size() && IsSpecial(source_[pos_ + 1])) {
                literal += source_[pos_ + 1];
                pos_ += 2;
            } else if (c == '{') {
                flush();
                if (auto call = ParseCall(depth + 1)) text.push_back(std::move(*call));
            } else if (inArgument && (c == '|' || c == '}')) {
                break;
            } else if (c == '}') {
                Fail("'}' without '{'" + Here());
            } else {
                literal += c;
                ++pos_;
            }
        }
        flush();
        return text;
    }

    std::optional<TemplatePart> ParseCall(int depth) {
        const size_t open = pos_++;
        if (depth > kMaxNesting)
            return Fail("functions nested deeper than 16 levels" + Here()), std::nullopt;
        const size_t nameEnd = std::min(source_.find_first_of("{}|:\\", pos_), source_.size());
        const std::string name = Lower(source_.substr(pos_, nameEnd - pos_));
        pos_ = nameEnd;
        const auto unclosed = "'{' at position " + std::to_string(open + 1) + " is never closed";
        if (pos_ >= source_.size()) return Fail(unclosed), std::nullopt;
        const auto known = std::find_if(kFunctions.begin(), kFunctions.end(),
                                        [&](const FunctionInfo& s) { return s.name == name; });
        if (known == kFunctions.end())
            return Fail("unknown function {" + name + "} at position " + std::to_string(open + 1)),
                   std::nullopt;

        TemplatePart call{{}, known->function, {}};
        if (source_[pos_] == ':') {
            do {
                ++pos_;
                call.arguments.push_back(ParseText(true, depth));
                if (!failure_.empty()) return std::nullopt;
                if (pos_ >= source_.size()) return Fail(unclosed), std::nullopt;
            } while (source_[pos_] == '|');
        } else if (source_[pos_] != '}') {
            return Fail("unexpected '" + std::string(1, source_[pos_]) + "' after {" + name +
                        Here()),
                   std::nullopt;
        }
        ++pos_;  // the closing brace
        if (!CheckArguments(*known, call)) return std::nullopt;
        return call;
    }

    bool CheckArguments(const FunctionInfo& known, const TemplatePart& call) {
        const size_t count = call.arguments.size();
        if (count < known.minArguments || count > known.maxArguments)
            return Fail("{" + std::string(known.name) + "} cannot take " + std::to_string(count) +
                        " argument" + (count == 1 ? "" : "s"));
        // A question is asked before the run, when no answer is there to fill it in.
        if (known.function == TemplateFunction::kInputBox ||
            known.function == TemplateFunction::kSelect)
            for (const TemplateText& argument : call.arguments)
                if (!LiteralOf(argument))
                    return Fail("{" + std::string(known.name) +
                                "}: the title, default and choices must be plain text");
        if (known.function == TemplateFunction::kRegex) {
            const auto pattern = LiteralOf(call.arguments[count == 3 ? 1 : 0]);
            if (pattern) {
                const std::string problem = RegexPatternProblem(*pattern);
                if (!problem.empty()) return Fail(problem);
            }
        }
        if (known.function == TemplateFunction::kXml) {
            const auto xpath = LiteralOf(call.arguments.back());
            if (xpath) {
                const std::string problem = XPathProblem(*xpath);
                if (!problem.empty()) return Fail(problem);
            }
        }
        return true;
    }

    std::string_view source_;
    size_t pos_ = 0;
    std::string failure_;
};

std::string Base64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        uint32_t chunk = 0;
        for (size_t k = 0; k < 3; ++k)
            chunk = chunk << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (size_t k = 0; k < 4; ++k) out += k <= n ? kAlphabet[chunk >> (18 - 6 * k) & 63] : '=';
    }
    return out;
}

// The most nodes a query may visit, as a power of the document's size: a predicate that walks
// the document, a further '//' or a comparison may each go over the document once more for
// every node the rest of the query reaches.
int XPathExponent(std::string_view xpath) {
    int exponent = 1;
    int brackets = 0;
    bool descendantSeen = false;
    char quote = 0;
    for (size_t i = 0; i < xpath.size(); ++i) {
        const char c = xpath[i];
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '[') {
            ++brackets;
            const size_t close = std::min(xpath.find(']', i), xpath.size());
            // A predicate that walks from the node (".", "//a", "ancestor::a", a path from the
            // root) may cost as much as the query; a position or an attribute test does not.
            if (xpath.substr(i + 1, close - i - 1).find_first_of("/.:") != std::string_view::npos)
                ++exponent;
        } else if (c == ']') {
            brackets = std::max(0, brackets - 1);
        } else if (c == '/' && i + 1 < xpath.size() && xpath[i + 1] == '/') {
            if (std::exchange(descendantSeen, true)) ++exponent;
            ++i;
        } else if (brackets == 0 &&
                   (c == '<' || c == '>' ||
                    (c == '=' && i > 0 && xpath[i - 1] != '<' && xpath[i - 1] != '>'))) {
            ++exponent;
        }
    }
    return exponent;
}

std::uint64_t NodeCount(pugi::xml_document& document) {
    struct Counter : pugi::xml_tree_walker {
        std::uint64_t nodes = 1;
        bool for_each(pugi::xml_node& node) override {
            ++nodes;
            for ([[maybe_unused]] const pugi::xml_attribute& attribute : node.attributes()) ++nodes;
            return true;
        }
    } counter;
    document.traverse(counter);
    return counter.nodes;
}

// nodes^exponent, or `cap` + 1 once it passes `cap`.
std::uint64_t BoundedPower(std::uint64_t nodes, int exponent, std::uint64_t cap) {
    std::uint64_t product = 1;
    for (int i = 0; i < exponent; ++i) {
        if (product > cap / nodes) return cap + 1;
        product *= nodes;
    }
    return product;
}

TextResult EvaluateXPath(const std::string& xml, const std::string& xpath, TemplateBudget& budget) {
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(xml.data(), xml.size());
    if (!parsed)
        return TextResult::Failure(std::string("the answer is not XML: ") + parsed.description());
    // pugixml cannot be stopped midway, so the query is refused before it starts when the
    // most it might visit is more than is left.
    const std::uint64_t cost =
        BoundedPower(NodeCount(document), XPathExponent(xpath), budget.xpathNodes);
    if (cost > budget.xpathNodes)
        return TextResult::Failure("the XPath " + ShownXPath(xpath) +
                                   " would visit more nodes than this answer may cost");
    budget.xpathNodes -= cost;
    try {
        pugi::xpath_query query(xpath.c_str());
        return TextResult::Text(query.evaluate_string(document));
    } catch (const pugi::xpath_exception& e) {
        return TextResult::Failure("bad XPath " + ShownXPath(xpath) + ": " + e.what());
    }
}

const std::string& PickRandom(const std::vector<std::string>& choices) {
    thread_local std::mt19937 engine{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, choices.size() - 1);
    return choices[pick(engine)];
}

TextResult EvaluateText(const TemplateText& text, const AnswerContext& answer,
                        TemplateBudget& budget);

// Draws the text a function reads (an answer it searches) or makes from the budget.
bool Spend(TemplateBudget& budget, size_t bytes) {
    if (bytes > budget.textBytes) return false;
    budget.textBytes -= bytes;
    return true;
}

TextResult TooLong() {
    return TextResult::Failure("a template's result would be longer than 1 MiB");
}

TextResult TextSpent() {
    return TextResult::Failure("the templates made or read more text than this answer may cost");
}

std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) out += (i ? "|" : "") + items[i];
    return out;
}

TemplatePrompt PromptOf(TemplateFunction function, const std::vector<std::string>& args) {
    if (function == TemplateFunction::kSelect) return {Joined(args), {}, args};
    return {args.empty() ? "Input" : args[0], args.size() > 1 ? args[1] : "", {}};
}

TextResult Answered(const TemplatePrompt& prompt, const AnswerContext& answer) {
    if (answer.answers != nullptr)
        if (const auto found = answer.answers->find(prompt.title); found != answer.answers->end())
            return TextResult::Text(found->second);
    return TextResult::Failure("no answer to the question \"" + prompt.title + "\"");
}

TextResult Output(const std::vector<std::string>& args, const AnswerContext& answer) {
    const std::string& text = args.back();
    if (answer.outputs != nullptr && !text.empty())
        answer.outputs->push_back(args.size() > 1 && !args[0].empty() ? args[0] + ": " + text
                                                                      : text);
    return TextResult::Text({});
}

// The text a function reads besides its arguments: the answer, or its first argument.
size_t BytesRead(const TemplatePart& call, const std::vector<std::string>& args,
                 const AnswerContext& answer) {
    switch (*call.function) {
        case TemplateFunction::kJson:
        case TemplateFunction::kXml:
            return args.size() == 1 ? answer.body.size() : args[0].size();
        case TemplateFunction::kRegex:
            return args.size() == 3 ? args[0].size() : answer.body.size();
        default:
            return 0;
    }
}

TextResult Call(const TemplatePart& call, const AnswerContext& answer, TemplateBudget& budget) {
    std::vector<std::string> args;
    for (const TemplateText& argument : call.arguments) {
        TextResult value = EvaluateText(argument, answer, budget);
        if (!value.Ok()) return value;
        args.push_back(std::move(value.text));
    }
    if (!Spend(budget, BytesRead(call, args, answer))) return TextSpent();
    switch (*call.function) {
        case TemplateFunction::kResponse:
            return TextResult::Text(answer.body);
        case TemplateFunction::kResponseUrl:
            return TextResult::Text(answer.finalUrl);
        case TemplateFunction::kHeader:
            return TextResult::Text(answer.Header(args[0]));
        case TemplateFunction::kJson:
            return args.size() == 1 ? EvaluateJsonPath(answer.body, args[0])
                                    : EvaluateJsonPath(args[0], args[1]);
        case TemplateFunction::kXml:
            return args.size() == 1 ? EvaluateXPath(answer.body, args[0], budget)
                                    : EvaluateXPath(args[0], args[1], budget);
        case TemplateFunction::kRegex:
            if (args.size() == 3) return MatchRegex(args[0], args[1], args[2], &budget.regexSteps);
            return MatchRegex(answer.body, args[0], args.size() == 2 ? args[1] : "",
                              &budget.regexSteps);
        case TemplateFunction::kFileName:
            return TextResult::Text(answer.fileName);
        case TemplateFunction::kRandom:
            return TextResult::Text(PickRandom(args));
        case TemplateFunction::kBase64:
            if (args[0].size() / 3 * 4 > TemplateBudget::kMaxResultBytes) return TooLong();
            return TextResult::Text(Base64(args[0]));
        case TemplateFunction::kInput:
            return TextResult::Text(answer.input);
        case TemplateFunction::kInputBox:
        case TemplateFunction::kSelect:
            return Answered(PromptOf(*call.function, args), answer);
        case TemplateFunction::kOutputBox:
            return Output(args, answer);
    }
    return TextResult::Failure("unknown function");
}

TextResult EvaluateText(const TemplateText& text, const AnswerContext& answer,
                        TemplateBudget& budget) {
    std::string out;
    const auto append = [&](std::string_view piece) {
        if (piece.size() > TemplateBudget::kMaxResultBytes - out.size()) return TooLong();
        if (!Spend(budget, piece.size())) return TextSpent();
        out += piece;
        return TextResult::Text({});
    };
    for (const TemplatePart& part : text) {
        TextResult value = part.function ? Call(part, answer, budget) : TextResult::Text({});
        if (!value.Ok()) return value;
        TextResult appended = append(part.function ? value.text : part.literal);
        if (!appended.Ok()) return appended;
    }
    return TextResult::Text(std::move(out));
}

void CollectPrompts(const TemplateText& text, std::vector<TemplatePrompt>& prompts) {
    for (const TemplatePart& part : text) {
        if (!part.function) continue;
        for (const TemplateText& argument : part.arguments) CollectPrompts(argument, prompts);
        if (part.function != TemplateFunction::kInputBox &&
            part.function != TemplateFunction::kSelect)
            continue;
        std::vector<std::string> args;
        for (const TemplateText& argument : part.arguments) args.push_back(*LiteralOf(argument));
        TemplatePrompt prompt = PromptOf(*part.function, args);
        if (std::none_of(prompts.begin(), prompts.end(),
                         [&](const TemplatePrompt& p) { return p.title == prompt.title; }))
            prompts.push_back(std::move(prompt));
    }
}

}  // namespace

std::vector<TemplatePrompt> AnswerTemplate::Prompts() const {
    std::vector<TemplatePrompt> prompts;
    CollectPrompts(parts_, prompts);
    return prompts;
}

std::string AnswerContext::Header(std::string_view name) const {
    const std::string wanted = Lower(name);
    for (const auto& [key, value] : headers)
        if (Lower(key) == wanted) return value;
    return {};
}

TemplateParse AnswerTemplate::Parse(std::string_view source) {
    TemplateParse result;
    result.parsed.parts_ = Parser(source).Run(result.failure);
    return result;
}

TextResult AnswerTemplate::Evaluate(const AnswerContext& answer) const {
    TemplateBudget budget;
    return Evaluate(answer, budget);
}

TextResult AnswerTemplate::Evaluate(const AnswerContext& answer, TemplateBudget& budget) const {
    return EvaluateText(parts_, answer, budget);
}

}  // namespace lumar
