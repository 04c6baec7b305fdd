#include "upload/response_parser.h"

namespace lumar {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string ReplaceAmpEntities(std::string_view code) {
    std::string out;
    out.reserve(code.size());
    size_t i = 0;
    while (i < code.size()) {
        if (code[i] == '&' && FindNoCase(code.substr(i, 5), "&amp;") == 0) {
            out += '&';
            i += 5;
        } else {
            out += code[i++];
        }
    }
    return out;
}

}  // namespace

size_t FindNoCase(std::string_view text, std::string_view needle, size_t from) {
    if (from > text.size()) return std::string_view::npos;
    if (needle.empty()) return from;
    if (needle.size() > text.size()) return std::string_view::npos;
    const char first = Lower(needle[0]);
    for (size_t i = from; i + needle.size() <= text.size(); ++i) {
        if (Lower(text[i]) != first) continue;
        size_t k = 1;
        while (k < needle.size() && Lower(text[i + k]) == Lower(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

std::optional<std::string> ExtractCode(std::string_view answer, const HosterDef& hoster) {
    // An empty start marker would "succeed" on any answer, error pages included.
    if (hoster.StartMarker.empty() || hoster.EndMarker.empty()) return std::nullopt;
    size_t p = FindNoCase(answer, hoster.StartMarker);
    if (p == std::string_view::npos) return std::nullopt;
    if (!hoster.CodeMarker.empty()) {
        p = FindNoCase(answer, hoster.CodeMarker, p);
        if (p == std::string_view::npos) return std::nullopt;
    }
    const size_t e = FindNoCase(answer, hoster.EndMarker, p);
    if (e == std::string_view::npos) return std::nullopt;
    std::string code = ReplaceAmpEntities(answer.substr(p, e - p));
    if (hoster.TrimCount > 0) {
        const size_t trim = static_cast<size_t>(hoster.TrimCount);
        if (code.size() < trim) return std::nullopt;
        code.resize(code.size() - trim);
    }
    return code;
}

}  // namespace lumar
