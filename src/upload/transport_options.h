#pragma once
// What the caller chooses for every connection of an upload run: an extra CA, where hosts are
// really reached (for local test servers), and the proxy.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/proxy_settings.h"

namespace lumar {

// Connect to `address`:`addressPort` when a request names `host`:`port`; the Host header and
// the TLS name stay the request's (curl's --connect-to HOST:PORT:ADDR:PORT).
struct ConnectTo {
    std::string host;  // lower case; an IPv6 address without brackets
    std::uint16_t port = 0;
    std::string address;
    std::uint16_t addressPort = 0;
};

// "HOST:PORT:ADDR:PORT", IPv6 addresses in brackets; nullopt when the text is not of that form.
std::optional<ConnectTo> ParseConnectTo(std::string_view text);

struct TransportOptions {
    // Trusted in addition to the system's store; when set it takes the place of a row's CaFile.
    std::string caFile;
    std::vector<ConnectTo> connectTo;
    net::ProxySettings proxy;
    // Where the proxy variables are read; nullopt: the process's environment.
    std::optional<net::Environment> environment;

    // The redirection for host:port, or nullptr when there is none.
    [[nodiscard]] const ConnectTo* Redirection(std::string_view host, std::uint16_t port) const;
    // The proxy of a request to `url` (net::ChooseProxy with the environment set here).
    [[nodiscard]] net::ProxyChoice ProxyFor(const net::HttpUrl& url) const;
};

// The proxy setting's text: empty takes the environment's, "direct" uses none, anything else
// is the proxy for both schemes with `noProxy` as its exceptions.
net::ProxySettings ProxyFromSetting(const std::string& proxy, const std::string& noProxy);

}  // namespace lumar
