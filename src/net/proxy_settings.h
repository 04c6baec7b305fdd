#pragma once
// Which proxy a request goes through, decided as Linux users expect it from curl.
//
// The environment is handed in as a map, so callers and tests choose what it holds. A URL uses
// https_proxy (or HTTPS_PROXY) for https and http_proxy for http; the lower-case name wins when
// both are set, and HTTP_PROXY is ignored as curl ignores it (a CGI program gets it from a
// request's "Proxy:" header). no_proxy (or NO_PROXY) lists hosts reached directly, separated by
// commas or blanks: "*" alone for every host; a name for itself and every name below it (a
// leading dot changes nothing); an IP address, or a network as address/prefix length, for URLs
// that name an address. A proxy is written "[http://][user:password@]host[:port]", port 1080 when
// none is given. The options dialog's choice, when it is not "from the environment", replaces
// all of these.
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "net/http_url.h"

namespace lumar::net {

struct ProxyServer {
    std::string host;  // an IPv6 address without brackets
    std::uint16_t port = 1080;
    // "Basic ..." when the proxy's text carried a user name; sent as Proxy-Authorization.
    std::string authorization;
};

using Environment = std::map<std::string, std::string>;

// The process's own environment.
Environment ProcessEnvironment();

struct ProxySettings {
    bool fromEnvironment = true;
    // Used when not fromEnvironment: the one proxy for both schemes (empty: none) and its
    // exceptions, in the forms described above.
    std::string proxy;
    std::string noProxy;
};

struct ProxyChoice {
    std::optional<ProxyServer> proxy;    // none: connect directly
    std::optional<lumar::Reason> error;  // a proxy text Lumar cannot use; the request must fail
};

ProxyChoice ChooseProxy(const HttpUrl& url, const ProxySettings& settings, const Environment& env);

// Whether `host` (lower case, an IPv6 address without brackets) is exempt by the list.
bool MatchesNoProxy(const std::string& host, const std::string& noProxy);

// "[http://][user:password@]host[:port][/]"; the user and password percent-decoded.
ProxyChoice ParseProxy(const std::string& text);

}  // namespace lumar::net
