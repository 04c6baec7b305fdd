#pragma once
// What follows a redirect: the next request, decided from the one sent and its answer; the
// caller loops (RunFollowingRedirects in exchange_runner.h does it for simple callers).
//
// 301, 302, 303, 307 and 308 with a Location are followed. 303 asks with GET (a HEAD stays
// HEAD), and so do 301 and 302 after a POST, as browsers do; 307 and 308 repeat the request
// with its body. A redirect from https to http is refused: it would send the request, and
// whatever key it carries, in clear. When the redirect leaves the origin (scheme, host or
// port), Authorization, Cookie and the caller's own secret headers stay behind. A request
// that carries a key is not repeated (method and body kept) to another host at all: its key
// may sit in the body or a header of any name, and an upload without it is no use there.
#include <optional>
#include <string>
#include <vector>

#include "net/http_exchange.h"

namespace lumar::net {

inline constexpr int kMaxRedirects = 5;

struct RedirectDecision {
    std::optional<ExchangeRequest> next;  // none: the answer is final, or `error` says why not
    std::optional<lumar::Reason> error;
    std::string keyRefusedHost;  // set when it was not followed to keep the key from this host
};

RedirectDecision FollowRedirect(const ExchangeRequest& sent, const HttpResponseReader& answer,
                                const std::vector<std::string>& secretHeaders = {});

}  // namespace lumar::net
