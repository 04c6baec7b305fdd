#include "upload/response_parser.h"

#include <vector>

#include "shell/plain_text.h"

namespace lumar {
namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string ReplaceAmpEntities(std::string_view code) {
    std::string out;
    out.reserve(code.size());
    size_t i = 0;
    while (i < code.size()) {
        if (StartsWithNoCase(code.substr(i), "&amp;")) {
            out += '&';
            i += 5;
        } else {
            out += code[i++];
        }
    }
    return out;
}

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t') || byte == 0x7F;
}

}  // namespace

size_t FindNoCase(std::string_view text, std::string_view needle, size_t from) {
    if (from > text.size()) return std::string_view::npos;
    if (needle.empty()) return from;
    if (needle.size() > text.size() - from) return std::string_view::npos;
    // Knuth-Morris-Pratt: a plain scan compares text x needle characters when the needle
    // nearly matches everywhere (seconds for a long marker over a large answer).
    std::vector<size_t> border(needle.size(), 0);
    for (size_t i = 1, k = 0; i < needle.size(); ++i) {
        while (k > 0 && Lower(needle[i]) != Lower(needle[k])) k = border[k - 1];
        if (Lower(needle[i]) == Lower(needle[k])) ++k;
        border[i] = k;
    }
    for (size_t i = from, k = 0; i < text.size(); ++i) {
        while (k > 0 && Lower(text[i]) != Lower(needle[k])) k = border[k - 1];
        if (Lower(text[i]) == Lower(needle[k])) ++k;
        if (k == needle.size()) return i + 1 - k;
    }
    return std::string_view::npos;
}

CodeCut CutCode(std::string_view answer, const HosterDef& hoster) {
    CodeCut cut;
    cut.problem = CutProblem::kNoCode;
    // An empty start marker would "succeed" on any answer, error pages included.
    if (hoster.StartMarker.empty() || hoster.EndMarker.empty()) return cut;
    size_t p = FindNoCase(answer, hoster.StartMarker);
    if (p == std::string_view::npos) return cut;
    if (!hoster.CodeMarker.empty()) {
        p = FindNoCase(answer, hoster.CodeMarker, p);
        if (p == std::string_view::npos) return cut;
    }
    // Without an end marker, more than the cap after the start is a code too long as well: the
    // answer may have been cut off at its own cap before the end marker came.
    const size_t e = FindNoCase(answer, hoster.EndMarker, p);
    if (e == std::string_view::npos && answer.size() - p <= kMaxCodeBytes) return cut;
    if (e == std::string_view::npos || e - p > kMaxCodeBytes) {
        cut.problem = CutProblem::kTooLong;
        return cut;
    }
    std::string code = ReplaceAmpEntities(answer.substr(p, e - p));
    if (hoster.TrimCount > 0) {
        const size_t trim = static_cast<size_t>(hoster.TrimCount);
        if (code.size() < trim) return cut;
        code.resize(code.size() - trim);
    }
    std::erase_if(code, IsControl);
    if (code.empty()) {
        cut.problem = CutProblem::kEmpty;
        return cut;
    }
    cut.code = std::move(code);
    cut.problem = CutProblem::kNone;
    return cut;
}

std::optional<std::string> ExtractCode(std::string_view answer, const HosterDef& hoster) {
    CodeCut cut = CutCode(answer, hoster);
    if (cut.problem != CutProblem::kNone) return std::nullopt;
    return std::move(cut.code);
}

}  // namespace lumar
