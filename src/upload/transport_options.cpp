#include "upload/transport_options.h"

#include <algorithm>

#include "shell/plain_text.h"
#include "shell/settings_keys.h"

namespace lumar {
namespace {

// Takes "[v6]:" or "name:" from the front of `text`; false when there is none.
bool TakeHost(std::string_view& text, std::string& host) {
    size_t end = 0;
    if (!text.empty() && text.front() == '[') {
        end = text.find(']');
        if (end == std::string_view::npos || end + 1 >= text.size() || text[end + 1] != ':')
            return false;
        host = std::string(text.substr(1, end - 1));
        text.remove_prefix(end + 2);
    } else {
        end = text.find(':');
        if (end == std::string_view::npos) return false;
        host = std::string(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    std::transform(host.begin(), host.end(), host.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return !host.empty();
}

bool ParsePort(std::string_view text, std::uint16_t& port) {
    long long number = 0;
    if (!ParseInteger(text, number) || number < 1 || number > 65535) return false;
    port = static_cast<std::uint16_t>(number);
    return true;
}

}  // namespace

std::optional<ConnectTo> ParseConnectTo(std::string_view text) {
    ConnectTo out;
    if (!TakeHost(text, out.host)) return std::nullopt;
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos || !ParsePort(text.substr(0, colon), out.port))
        return std::nullopt;
    text.remove_prefix(colon + 1);
    const size_t last = text.rfind(':');
    if (last == std::string_view::npos || !ParsePort(text.substr(last + 1), out.addressPort))
        return std::nullopt;
    std::string_view address = text.substr(0, last);
    if (address.size() > 2 && address.front() == '[' && address.back() == ']')
        address = address.substr(1, address.size() - 2);
    if (address.empty()) return std::nullopt;
    out.address = std::string(address);
    return out;
}

const ConnectTo* TransportOptions::Redirection(std::string_view host, std::uint16_t port) const {
    for (const ConnectTo& c : connectTo)
        if (c.port == port && c.host.size() == host.size() &&
            std::equal(host.begin(), host.end(), c.host.begin(),
                       [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b; }))
            return &c;
    return nullptr;
}

net::ProxyChoice TransportOptions::ProxyFor(const net::HttpUrl& url) const {
    return net::ChooseProxy(url, proxy, environment ? *environment : net::ProcessEnvironment());
}

net::ProxySettings ProxyFromSetting(const std::string& proxy, const std::string& noProxy) {
    net::ProxySettings settings;
    const std::string_view text = Trim(proxy);
    if (text.empty()) return settings;
    settings.fromEnvironment = false;
    if (text != "direct") settings.proxy = std::string(text);
    settings.noProxy = noProxy;
    return settings;
}

}  // namespace lumar
