#include "net/proxy_settings.h"

#include <arpa/inet.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "shell/plain_text.h"

extern char** environ;

namespace lumar::net {
namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string ToLower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), Lower);
    return out;
}

// The value of the first variable of `names` that is set and not empty.
std::string FirstSet(const Environment& env, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const auto it = env.find(name);
        if (it != env.end() && !Trim(it->second).empty()) return std::string(Trim(it->second));
    }
    return {};
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = Lower(c);
    return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

std::string PercentDecode(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string Base64(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

// An address of either family as 16 bytes (IPv4 mapped into IPv6) and its bit count.
struct IpBits {
    unsigned char bytes[16] = {};
    int bits = 0;
};

std::optional<IpBits> ParseIp(const std::string& text) {
    IpBits out;
    in_addr v4{};
    if (::inet_pton(AF_INET, text.c_str(), &v4) == 1) {
        std::memcpy(out.bytes, &v4, 4);
        out.bits = 32;
        return out;
    }
    if (::inet_pton(AF_INET6, text.c_str(), out.bytes) == 1) {
        out.bits = 128;
        return out;
    }
    return std::nullopt;
}

bool SamePrefix(const IpBits& a, const IpBits& b, int bits) {
    for (int i = 0; i < bits; ++i) {
        const int mask = 0x80 >> (i % 8);
        if ((a.bytes[i / 8] & mask) != (b.bytes[i / 8] & mask)) return false;
    }
    return true;
}

// One no_proxy entry against a host that is an address: the same address, or inside the
// network "address/bits".
bool MatchesAddress(const IpBits& host, std::string_view entry) {
    const size_t slash = entry.find('/');
    const std::optional<IpBits> network = ParseIp(std::string(entry.substr(0, slash)));
    if (!network || network->bits != host.bits) return false;
    int bits = host.bits;
    if (slash != std::string_view::npos) {
        const std::string_view digits = entry.substr(slash + 1);
        if (digits.empty() || digits.size() > 3 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        bits = std::stoi(std::string(digits));
        if (bits > host.bits) return false;
    }
    return SamePrefix(host, *network, bits);
}

// One entry against a name: the name itself or any name below it.
bool MatchesName(std::string_view host, std::string_view entry) {
    if (!entry.empty() && entry.front() == '.') entry.remove_prefix(1);
    if (entry.empty()) return false;
    if (host == entry) return true;
    return host.size() > entry.size() && host.ends_with(entry) &&
           host[host.size() - entry.size() - 1] == '.';
}

}  // namespace

Environment ProcessEnvironment() {
    Environment env;
    for (char** e = environ; e && *e; ++e) {
        const std::string_view entry(*e);
        const size_t equals = entry.find('=');
        if (equals != std::string_view::npos)
            env.emplace(std::string(entry.substr(0, equals)),
                        std::string(entry.substr(equals + 1)));
    }
    return env;
}

bool MatchesNoProxy(const std::string& rawHost, const std::string& noProxy) {
    std::string host = ToLower(rawHost);
    if (!host.empty() && host.back() == '.') host.pop_back();
    const std::optional<IpBits> address = ParseIp(host);
    std::string_view list(noProxy);
    if (Trim(list) == "*") return true;
    while (!list.empty()) {
        const size_t end = list.find_first_of(", \t");
        std::string entry = ToLower(list.substr(0, end));
        list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
        if (entry.size() >= 2 && entry.front() == '[') {
            const size_t close = entry.find(']');
            if (close != std::string::npos)
                entry = entry.substr(1, close - 1) + entry.substr(close + 1);
        }
        if (!entry.empty() && entry.back() == '.') entry.pop_back();
        if (entry.empty()) continue;
        if (address ? MatchesAddress(*address, entry) : MatchesName(host, entry)) return true;
    }
    return false;
}

ProxyChoice ParseProxy(const std::string& rawText) {
    std::string_view text = Trim(rawText);
    const size_t schemeEnd = text.find("://");
    if (schemeEnd != std::string_view::npos) {
        const std::string scheme = ToLower(text.substr(0, schemeEnd));
        if (scheme != "http")
            return {std::nullopt, lumar::Reason(ReasonCode::kProxyScheme, {scheme})};
        text.remove_prefix(schemeEnd + 3);
    }
    text = text.substr(0, text.find_first_of("/?#"));
    std::string authorization;
    if (const size_t at = text.rfind('@'); at != std::string_view::npos) {
        const std::string_view user = text.substr(0, at);
        const size_t colon = user.find(':');
        authorization = "Basic " + Base64(PercentDecode(user.substr(0, colon)) + ":" +
                                          (colon == std::string_view::npos
                                               ? std::string()
                                               : PercentDecode(user.substr(colon + 1))));
        text.remove_prefix(at + 1);
    }
    // The URL parser checks host and port; a proxy without a port gets curl's default.
    const bool bracketed = !text.empty() && text.front() == '[';
    const size_t colon = text.rfind(':');
    const bool hasPort = colon != std::string_view::npos &&
                         (!bracketed || colon > text.find(']')) &&
                         (bracketed || text.find(':') == colon);
    const lumar::Outcome<HttpUrl> parsed =
        ParseHttpUrl("http://" + std::string(text) + (hasPort ? "" : ":1080") + "/");
    if (!parsed) return {std::nullopt, lumar::Reason(ReasonCode::kBadProxy, {rawText})};
    return {ProxyServer{parsed->host, parsed->port, authorization}, std::nullopt};
}

ProxyChoice ChooseProxy(const HttpUrl& url, const ProxySettings& settings, const Environment& env) {
    std::string proxy = settings.proxy;
    std::string noProxy = settings.noProxy;
    if (settings.fromEnvironment) {
        proxy = url.https ? FirstSet(env, {"https_proxy", "HTTPS_PROXY"})
                          : FirstSet(env, {"http_proxy"});
        noProxy = FirstSet(env, {"no_proxy", "NO_PROXY"});
    }
    if (Trim(proxy).empty() || MatchesNoProxy(url.host, noProxy)) return {};
    return ParseProxy(proxy);
}

}  // namespace lumar::net
