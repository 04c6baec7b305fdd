#include "upload/url.h"

#include <cctype>
#include <string_view>

#include "shell/plain_text.h"

namespace lumar {
namespace {

bool StartsWithHttp(std::string_view s) {
    static constexpr char kHttp[] = "http";
    for (size_t i = 0; i < 4; ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != kHttp[i]) return false;
    return true;
}

}  // namespace

void CURL::ParseURL(const std::string& strURL, std::string strProxy) {
    std::string_view s = Trim(strURL, " ");
    if (s.size() < 6) return;
    if (StartsWithHttp(s)) {
        // The first "/" from the fifth character on ends the scheme; the text after the
        // slash that follows it is host and path. Without such a slash (position 0) only the
        // first character goes, as the position arithmetic has it.
        const size_t slash = s.find('/', 4);
        const size_t p = slash == std::string_view::npos ? 0 : slash + 1;  // 1-based position
        s = p + 1 <= s.size() ? s.substr(p + 1) : std::string_view();
    }
    const size_t q = s.find('/');
    path_ = q == std::string_view::npos ? std::string("/") : std::string(s.substr(q));
    host_ = std::move(strProxy);
    port_ = 80;
}

}  // namespace lumar
