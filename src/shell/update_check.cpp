#include "shell/update_check.h"

#include <charconv>

namespace lumar {
namespace {

std::string_view WithoutTrailingBlanks(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

// The next dot-separated number of `text`, consumed; 0 when it is missing or no number.
int NextNumber(std::string_view& text) {
    const size_t dot = text.find('.');
    const std::string_view part = text.substr(0, dot);
    text = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    int value = 0;
    const auto result = std::from_chars(part.data(), part.data() + part.size(), value);
    return result.ec == std::errc() && result.ptr == part.data() + part.size() && value >= 0 ? value
                                                                                             : 0;
}

std::string Padded(int value, size_t width) {
    std::string digits = std::to_string(value);
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    return digits;
}

}  // namespace

std::string UpdateVersionText(std::string_view projectVersion) {
    const int major = NextNumber(projectVersion);
    const int minor = NextNumber(projectVersion);
    const int revision = NextNumber(projectVersion);
    return "V" + std::to_string(major) + "." + Padded(minor, 2) + "." + Padded(revision, 4);
}

const std::string& CurrentVersionText() {
    static const std::string text = UpdateVersionText(LUMAR_VERSION);
    return text;
}

bool IsVersionText(std::string_view text) {
    return !text.empty() && text.find('<') == std::string_view::npos;
}

bool ShouldOfferUpdate(std::string_view documentText, std::string_view current) {
    const std::string_view version = WithoutTrailingBlanks(documentText);
    return IsVersionText(version) && version != current;
}

bool ShouldOfferUpdate(std::string_view documentText) {
    return ShouldOfferUpdate(documentText, CurrentVersionText());
}

std::string_view VersionDocumentText(int httpStatus, std::string_view body) {
    // An error answer such as "404 Not Found" in plain text holds no "<" and would otherwise
    // be taken for a new version at every start.
    if (httpStatus < 200 || httpStatus > 299) return {};
    if (body.size() > kMaxVersionDocumentBytes) return {};
    return body;
}

}  // namespace lumar
