#include "hosters/sxcu_legacy.h"

#include <cctype>
#include <charconv>

namespace lumar {
namespace {

bool IsFunctionName(std::string_view name) {
    if (name.empty()) return false;
    for (char c : name)
        if (!std::isalpha(static_cast<unsigned char>(c))) return false;
    return true;
}

bool IsSpecial(char c) {
    return c == '{' || c == '}' || c == '|' || c == ':' || c == '\\';
}

// Escapes only what the current syntax would misread, so URLs and patterns stay legible:
// braces, a bar inside an argument, and a backslash that would otherwise escape what follows.
std::string Escaped(std::string_view text, bool inArgument) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool last = i + 1 == text.size();
        if (c == '{' || c == '}' || (inArgument && c == '|') ||
            (c == '\\' && (last || IsSpecial(text[i + 1]) || text[i + 1] == '$')))
            out += '\\';
        out += c;
    }
    return out;
}

std::vector<std::string_view> SplitArguments(std::string_view text) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t bar; (bar = text.find('|', start)) != std::string_view::npos; start = bar + 1)
        parts.push_back(text.substr(start, bar - start));
    parts.push_back(text.substr(start));
    return parts;
}

// "$regex:N|G$" or "$regex:N,G$" with the pattern taken from the list.
TextResult RegexCall(std::vector<std::string_view> args,
                     const std::vector<std::string>& regexList) {
    if (const size_t comma = args[0].find(','); args.size() == 1 && comma != std::string_view::npos)
        args = {args[0].substr(0, comma), args[0].substr(comma + 1)};
    size_t number = 0;
    const auto [end, error] =
        std::from_chars(args[0].data(), args[0].data() + args[0].size(), number);
    if (error != std::errc() || end != args[0].data() + args[0].size() || number < 1 ||
        number > regexList.size())
        return TextResult::Failure("$regex:" + std::string(args[0]) +
                                   "$ names no entry of the RegexList");
    std::string call = "{regex:" + Escaped(regexList[number - 1], true);
    if (args.size() > 1) call += "|" + Escaped(args[1], true);
    return TextResult::Text(call + "}");
}

TextResult ConvertCall(std::string_view inner, const std::vector<std::string>& regexList) {
    const size_t colon = inner.find(':');
    std::string name(inner.substr(0, colon));
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (colon == std::string_view::npos) return TextResult::Text("{" + name + "}");
    const auto args = SplitArguments(inner.substr(colon + 1));
    if (name == "regex") return RegexCall(args, regexList);
    std::string call = "{" + name + ":";
    for (size_t i = 0; i < args.size(); ++i) call += (i ? "|" : "") + Escaped(args[i], true);
    return TextResult::Text(call + "}");
}

}  // namespace

bool IsOlderGeneration(std::string_view version) {
    int major = 0, minor = 0;
    const char* end = version.data() + version.size();
    auto [next, error] = std::from_chars(version.data(), end, major);
    if (error != std::errc()) return false;
    if (next < end && *next == '.') std::from_chars(next + 1, end, minor);
    return major < 13 || (major == 13 && minor <= 7);
}

bool HasOlderSyntax(std::string_view text) {
    for (size_t dollar = text.find('$'); dollar != std::string_view::npos;
         dollar = text.find('$', dollar + 1)) {
        const size_t end = text.find_first_of(":$", dollar + 1);
        if (end != std::string_view::npos &&
            IsFunctionName(text.substr(dollar + 1, end - dollar - 1)))
            return true;
    }
    return false;
}

TextResult ConvertOlderSyntax(std::string_view text, const std::vector<std::string>& regexList) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size() && text[i + 1] == '$') {
            out += '$';
            i += 2;
            continue;
        }
        const size_t close = c == '$' ? text.find('$', i + 1) : std::string_view::npos;
        const std::string_view inner =
            close == std::string_view::npos ? "" : text.substr(i + 1, close - i - 1);
        if (close != std::string_view::npos && IsFunctionName(inner.substr(0, inner.find(':')))) {
            TextResult call = ConvertCall(inner, regexList);
            if (!call.Ok()) return call;
            out += call.text;
            i = close + 1;
            continue;
        }
        out += Escaped(text.substr(i, 1), false);
        ++i;
    }
    return TextResult::Text(out);
}

}  // namespace lumar
