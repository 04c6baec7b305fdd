#pragma once
// Absolute http:// and https:// URLs as the standard transport uses them.
//
// ParseHttpUrl takes the text of a URL (surrounding blanks are ignored) and returns its
// scheme, host, port and request target; ResolveHttpUrl turns a redirect's Location (absolute
// or relative) into the URL it names from the URL that was asked. Both fail with a reason
// (shell/outcome.h) and no URL when the text is not an http(s) URL Lumar can connect to: another
// scheme, a user name or password in it, an empty or malformed host, a bad port, control
// characters. Blanks and bytes beyond ASCII in the path or query are percent-encoded, as browsers
// send them; the fragment is dropped (it never travels).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "shell/outcome.h"

namespace lumar::net {

struct HttpUrl {
    bool https = false;
    // Lower case; an IPv6 address without its brackets.
    std::string host;
    std::uint16_t port = 80;
    // Path and query as the request line carries them; never empty, always starts with "/".
    std::string target = "/";

    [[nodiscard]] std::uint16_t DefaultPort() const { return https ? 443 : 80; }
    [[nodiscard]] bool IsIpv6() const { return host.find(':') != std::string::npos; }
    // The host as the Host header and the URL write it: IPv6 in brackets, the port only
    // when it is not the scheme's default.
    [[nodiscard]] std::string HostHeader() const;
    // The whole URL again, in its normal form.
    [[nodiscard]] std::string ToString() const;
};

lumar::Outcome<HttpUrl> ParseHttpUrl(std::string_view text);

// The URL a redirect's Location names, taken relative to `base` (RFC 3986 reference
// resolution: "//host/x", "/x", "x", "../x", "?q" and absolute URLs).
lumar::Outcome<HttpUrl> ResolveHttpUrl(const HttpUrl& base, std::string_view location);

// What is wrong with an address, in the English of the problem lists of host definitions
// (hosters.ini, .sxcu), which their authors read: "bad port in URL", ...
std::string_view UrlProblemText(const lumar::Reason& reason);

}  // namespace lumar::net
