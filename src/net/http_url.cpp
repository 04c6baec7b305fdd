#include "net/http_url.h"

#include <arpa/inet.h>

#include <algorithm>
#include <vector>

#include "shell/plain_text.h"

namespace lumar::net {
namespace {

bool IsAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Blanks and line breaks around a URL are no part of it.
std::string_view TrimUrl(std::string_view s) {
    return Trim(s, " \t\r\n");
}

bool HasControlCharacter(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
}

lumar::Outcome<HttpUrl> Fail(ReasonCode code, std::string_view text) {
    return lumar::Reason(code, {std::string(text)});
}

// The scheme of an absolute reference ("https" of "https://x"), empty for a relative one.
std::string_view SchemeOf(std::string_view ref) {
    if (ref.empty() || !IsAlpha(ref.front())) return {};
    for (size_t i = 1; i < ref.size(); ++i) {
        const char c = ref[i];
        if (c == ':') return ref.substr(0, i);
        if (!IsAlpha(c) && !IsDigit(c) && c != '+' && c != '-' && c != '.') return {};
    }
    return {};
}

// RFC 3986 section 5.2.4, on a path that starts with "/".
std::string RemoveDotSegments(std::string_view path) {
    std::vector<std::string_view> kept;
    std::string_view rest = path.substr(1);
    while (true) {
        const size_t slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        const bool last = slash == std::string_view::npos;
        if (segment == "..") {
            if (!kept.empty()) kept.pop_back();
            if (last) kept.emplace_back();
        } else if (segment == ".") {
            if (last) kept.emplace_back();
        } else {
            kept.push_back(segment);
        }
        if (last) break;
        rest.remove_prefix(slash + 1);
    }
    std::string out;
    for (std::string_view segment : kept) out.append("/").append(segment);
    return out.empty() ? "/" : out;
}

// Blanks and bytes beyond ASCII cannot stand in a request line; browsers send them encoded.
std::string PercentEncodeUnsafe(std::string_view s) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u == ' ' || u >= 0x80) {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

// Path and query as the request line carries them, from a reference's path part onwards.
std::string NormalTarget(std::string_view pathAndMore) {
    pathAndMore = pathAndMore.substr(0, pathAndMore.find('#'));
    const size_t question = pathAndMore.find('?');
    std::string_view path = pathAndMore.substr(0, question);
    const std::string_view query =
        question == std::string_view::npos ? std::string_view{} : pathAndMore.substr(question);
    std::string normal = RemoveDotSegments(
        path.empty() || path.front() != '/' ? "/" + std::string(path) : std::string(path));
    return PercentEncodeUnsafe(normal.append(query));
}

std::optional<std::uint16_t> ParsePort(std::string_view digits, std::uint16_t defaultPort) {
    if (digits.empty()) return defaultPort;
    if (digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), IsDigit))
        return std::nullopt;
    unsigned value = 0;
    for (char c : digits) value = value * 10 + static_cast<unsigned>(c - '0');
    if (value == 0 || value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

bool IsRegNameCharacter(char c) {
    return IsAlpha(c) || IsDigit(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

// A name whose last label is a number is meant as an IPv4 address; it must be a whole one
// (a name like "1.2.3" would otherwise go to the resolver, which reads it as 1.2.0.3).
bool LooksLikeIpv4(std::string_view host) {
    std::string_view label = host;
    if (!label.empty() && label.back() == '.') label.remove_suffix(1);
    const size_t dot = label.rfind('.');
    if (dot != std::string_view::npos) label.remove_prefix(dot + 1);
    return !label.empty() && std::all_of(label.begin(), label.end(), IsDigit);
}

// Splits "host:port" or "[v6]:port" and checks both; the code of what is wrong on failure.
std::optional<ReasonCode> ParseAuthority(std::string_view authority, HttpUrl& url) {
    if (authority.find('@') != std::string_view::npos) {
        return ReasonCode::kUrlCredentials;
    }
    std::string_view host;
    std::string_view port;
    if (!authority.empty() && authority.front() == '[') {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            return ReasonCode::kUrlBadHost;
        }
        host = authority.substr(1, close - 1);
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty() && after.front() != ':') {
            return ReasonCode::kUrlBadHost;
        }
        if (!after.empty()) port = after.substr(1);
        in6_addr address{};
        if (inet_pton(AF_INET6, std::string(host).c_str(), &address) != 1) {
            return ReasonCode::kUrlBadHost;
        }
    } else {
        const size_t colon = authority.rfind(':');
        host = authority.substr(0, colon);
        if (colon != std::string_view::npos) port = authority.substr(colon + 1);
        if (!std::all_of(host.begin(), host.end(), IsRegNameCharacter)) {
            return ReasonCode::kUrlBadHost;
        }
        in_addr address{};
        if (LooksLikeIpv4(host) && inet_pton(AF_INET, std::string(host).c_str(), &address) != 1) {
            return ReasonCode::kUrlBadHost;
        }
    }
    if (host.empty()) {
        return ReasonCode::kUrlBadHost;
    }
    const std::optional<std::uint16_t> number = ParsePort(port, url.DefaultPort());
    if (!number) {
        return ReasonCode::kUrlBadPort;
    }
    url.host.clear();
    std::transform(host.begin(), host.end(), std::back_inserter(url.host), Lower);
    url.port = *number;
    return std::nullopt;
}

}  // namespace

std::string HttpUrl::HostHeader() const {
    std::string out = IsIpv6() ? "[" + host + "]" : host;
    if (port != DefaultPort()) out += ":" + std::to_string(port);
    return out;
}

std::string HttpUrl::ToString() const {
    return (https ? "https://" : "http://") + HostHeader() + target;
}

lumar::Outcome<HttpUrl> ParseHttpUrl(std::string_view text) {
    text = TrimUrl(text);
    if (HasControlCharacter(text)) return Fail(ReasonCode::kUrlControl, text);
    std::string scheme(SchemeOf(text));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), Lower);
    if (scheme != "http" && scheme != "https") return Fail(ReasonCode::kUrlNotHttp, text);
    std::string_view rest = text.substr(scheme.size() + 1);
    if (rest.substr(0, 2) != "//") return Fail(ReasonCode::kUrlNotHttp, text);
    rest.remove_prefix(2);

    HttpUrl url;
    url.https = scheme == "https";
    const size_t authorityEnd = std::min(rest.find_first_of("/?#"), rest.size());
    if (const std::optional<ReasonCode> wrong = ParseAuthority(rest.substr(0, authorityEnd), url))
        return Fail(*wrong, text);
    url.target = NormalTarget(rest.substr(authorityEnd));
    return url;
}

lumar::Outcome<HttpUrl> ResolveHttpUrl(const HttpUrl& base, std::string_view location) {
    location = TrimUrl(location);
    if (HasControlCharacter(location)) return Fail(ReasonCode::kUrlControl, location);
    if (!SchemeOf(location).empty()) return ParseHttpUrl(location);
    if (location.substr(0, 2) == "//")
        return ParseHttpUrl((base.https ? "https:" : "http:") + std::string(location));

    HttpUrl url = base;
    const std::string_view basePath =
        std::string_view(base.target).substr(0, base.target.find('?'));
    if (location.empty() || location.front() == '#') {
        // The same resource: the target stays as it is.
    } else if (location.front() == '/') {
        url.target = NormalTarget(location);
    } else if (location.front() == '?') {
        url.target = NormalTarget(std::string(basePath) + std::string(location));
    } else {
        const std::string_view folder = basePath.substr(0, basePath.rfind('/') + 1);
        url.target = NormalTarget(std::string(folder) + std::string(location));
    }
    return url;
}

std::string_view UrlProblemText(const lumar::Reason& reason) {
    switch (reason.code) {
        case ReasonCode::kUrlControl:
            return "control character in URL";
        case ReasonCode::kUrlCredentials:
            return "user name or password in URL not supported";
        case ReasonCode::kUrlBadHost:
            return "bad host in URL";
        case ReasonCode::kUrlBadPort:
            return "bad port in URL";
        default:
            return "not an http or https URL";
    }
}

}  // namespace lumar::net
