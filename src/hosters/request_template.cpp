#include "hosters/request_template.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>

namespace lumar {
namespace {

// A repeat count beyond this serves no host and would only let a file blow up a request.
constexpr int kMaxRepeat = 1000;

constexpr std::array<const char*, 12> kMonths{"January",   "February", "March",    "April",
                                              "May",       "June",     "July",     "August",
                                              "September", "October",  "November", "December"};
constexpr std::array<const char*, 7> kDays{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                           "Thursday", "Friday", "Saturday"};

std::mt19937& Engine() {
    thread_local std::mt19937 engine{std::random_device{}()};
    return engine;
}

std::string RandomFrom(std::string_view alphabet, int count) {
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::string out;
    for (int i = 0; i < count; ++i) out += alphabet[pick(Engine())];
    return out;
}

std::string Guid(bool upper) {
    std::string hex = RandomFrom(upper ? "0123456789ABCDEF" : "0123456789abcdef", 32);
    hex[12] = '4';  // version 4, random
    std::uniform_int_distribution<size_t> variant(0, 3);
    hex[16] = (upper ? "89AB" : "89ab")[variant(Engine())];
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" +
           hex.substr(16, 4) + "-" + hex.substr(20);
}

std::string Padded(int value, int width) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", width, value);
    return text;
}

std::string UserName() {
    if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_name != nullptr)
        return user->pw_name;
    const char* name = std::getenv("USER");
    return name != nullptr ? name : "";
}

std::string ComputerName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

// "{N}" after a random token: N, else 1; advances `pos` past it.
int RepeatCount(std::string_view text, size_t& pos) {
    if (pos >= text.size() || text[pos] != '{') return 1;
    const size_t close = text.find('}', pos);
    if (close == std::string_view::npos || close == pos + 1 || close - pos > 5) return 1;
    int count = 0;
    for (size_t i = pos + 1; i < close; ++i) {
        if (text[i] < '0' || text[i] > '9') return 1;
        count = count * 10 + (text[i] - '0');
    }
    pos = close + 1;
    return std::clamp(count, 0, kMaxRepeat);
}

class TokenExpander {
  public:
    explicit TokenExpander(const RequestImage& image) : image_(image) {
        const auto now = std::chrono::system_clock::now();
        const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
        ::localtime_r(&seconds, &local_);
        unix_ = static_cast<long long>(seconds);
        millis_ = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
            1000);
    }

    // The value of the token that starts at text[pos] (after the '%'), advancing `pos`; false
    // when no token starts there.
    bool Expand(std::string_view text, size_t& pos, std::string& out) const {
        const std::string_view rest = text.substr(pos);
        // Longest names first, so "%mon2" is not read as "%mo" and "n2".
        static constexpr std::array<std::string_view, 31> kTokens{
            "radjective", "ranimal", "height", "width", "unix", "mon2", "guid", "GUID",
            "mon",        "uln",     "rna",    "yy",    "mo",   "w2",   "wy",   "ms",
            "mi",         "pm",      "rn",     "ra",    "rx",   "rX",   "un",   "cn",
            "y",          "d",       "h",      "s",     "w",    "n",    "%"};
        for (std::string_view token : kTokens) {
            if (!rest.starts_with(token)) continue;
            // Word lists of the original are not shipped: these stay as written.
            if (token == "radjective" || token == "ranimal") return false;
            pos += token.size();
            out += Value(token, text, pos);
            return true;
        }
        return false;
    }

  private:
    std::string Value(std::string_view token, std::string_view text, size_t& pos) const {
        if (token == "%") return "%";
        if (token == "y") return std::to_string(local_.tm_year + 1900);
        if (token == "yy") return Padded((local_.tm_year + 1900) % 100, 2);
        if (token == "mo") return Padded(local_.tm_mon + 1, 2);
        if (token == "mon" || token == "mon2") return kMonths[static_cast<size_t>(local_.tm_mon)];
        if (token == "w" || token == "w2") return kDays[static_cast<size_t>(local_.tm_wday)];
        if (token == "wy") return std::to_string(local_.tm_yday / 7 + 1);
        if (token == "d") return Padded(local_.tm_mday, 2);
        if (token == "h") return Padded(local_.tm_hour, 2);
        if (token == "mi") return Padded(local_.tm_min, 2);
        if (token == "s") return Padded(local_.tm_sec, 2);
        if (token == "ms") return Padded(millis_, 3);
        if (token == "pm") return local_.tm_hour >= 12 ? "PM" : "AM";
        if (token == "unix") return std::to_string(unix_);
        if (token == "guid" || token == "GUID") return Guid(token == "GUID");
        if (token == "width") return image_.width > 0 ? std::to_string(image_.width) : "";
        if (token == "height") return image_.height > 0 ? std::to_string(image_.height) : "";
        if (token == "un") return UserName();
        if (token == "uln" || token == "cn") return ComputerName();
        if (token == "n") return "\n";
        const int count = RepeatCount(text, pos);
        if (token == "rn") return RandomFrom("0123456789", count);
        if (token == "ra")
            return RandomFrom("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz",
                              count);
        // Without the characters one misreads for another (0/O, 1/l/I).
        if (token == "rna")
            return RandomFrom("23456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnpqrstuvwxyz", count);
        return RandomFrom(token == "rx" ? "0123456789abcdef" : "0123456789ABCDEF", count);
    }

    const RequestImage& image_;
    std::tm local_{};
    long long unix_ = 0;
    int millis_ = 0;
};

// {filename} and {input} go into the request URL percent-encoded, as the format does.
std::string UrlEncoded(std::string_view text) {
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

TextResult Evaluated(std::string_view source, const AnswerContext& context) {
    const TemplateParse parsed = AnswerTemplate::Parse(source);
    if (!parsed.failure.empty()) return TextResult::Failure(parsed.failure);
    return parsed.parsed.Evaluate(context);
}

}  // namespace

std::string ExpandNameTokens(std::string_view text, const RequestImage& image) {
    if (text.find('%') == std::string_view::npos) return std::string(text);
    const TokenExpander expander(image);
    std::string out;
    for (size_t pos = 0; pos < text.size();) {
        const char c = text[pos];
        if (c == '\\' && pos + 1 < text.size()) {
            // The backslash stays for the template language, unless it only keeps a '%'.
            if (text[pos + 1] != '%') out += c;
            out += text[pos + 1];
            pos += 2;
        } else if (c == '%') {
            ++pos;
            if (!expander.Expand(text, pos, out)) out += '%';
        } else {
            out += c;
            ++pos;
        }
    }
    return out;
}

RequestTemplatesResult EvaluateRequestTemplates(const HosterDef& row, const RequestImage& image) {
    RequestTemplatesResult result{row, {}};
    if (!row.RequestTemplates) return result;
    AnswerContext context;
    context.status = 0;
    context.answers = image.answers;
    context.fileName = UrlEncoded(image.fileName);
    const TextResult url = Evaluated(row.UploadUrl, context);
    if (!url.Ok()) return {row, "RequestURL: " + url.failure};
    result.row.UploadUrl = url.text;
    context.fileName = image.fileName;
    for (auto [field, list] :
         {std::pair{"Parameters", &result.row.Parameters},
          std::pair{"Headers", &result.row.Headers}, std::pair{"Arguments", &result.row.Arguments}})
        for (auto& [name, value] : *list) {
            const TextResult evaluated = Evaluated(ExpandNameTokens(value, image), context);
            if (!evaluated.Ok())
                return {row, std::string(field) + ": " + name + ": " + evaluated.failure};
            value = evaluated.text;
        }
    return result;
}

std::vector<TemplatePrompt> RowPrompts(const HosterDef& row) {
    std::vector<std::string> sources;
    if (row.RequestTemplates) {
        sources.push_back(row.UploadUrl);
        for (const NamedValues* list : {&row.Parameters, &row.Headers, &row.Arguments})
            for (const auto& [name, value] : *list) sources.push_back(value);
    }
    for (const std::string* text :
         {&row.UrlTemplate, &row.ThumbnailTemplate, &row.DeletionTemplate, &row.ErrorTemplate})
        sources.push_back(*text);
    std::vector<TemplatePrompt> prompts;
    for (const std::string& source : sources) {
        const TemplateParse parsed = AnswerTemplate::Parse(source);
        for (TemplatePrompt& prompt : parsed.parsed.Prompts())
            if (std::none_of(prompts.begin(), prompts.end(),
                             [&](const TemplatePrompt& p) { return p.title == prompt.title; }))
                prompts.push_back(std::move(prompt));
    }
    return prompts;
}

}  // namespace lumar
