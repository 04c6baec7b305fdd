#include "net/redirect.h"

#include <algorithm>

namespace lumar::net {
namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x | 0x20) == (y | 0x20);
           });
}

bool SameOrigin(const HttpUrl& a, const HttpUrl& b) {
    return a.https == b.https && a.host == b.host && a.port == b.port;
}

}  // namespace

RedirectDecision FollowRedirect(const ExchangeRequest& sent, const HttpResponseReader& answer,
                                const std::vector<std::string>& secretHeaders) {
    const int status = answer.Status();
    if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308)
        return {};
    const std::optional<std::string> location = answer.Header("Location");
    if (!location) return {};
    const lumar::Outcome<HttpUrl> target = ResolveHttpUrl(sent.url, *location);
    if (!target) return {std::nullopt, lumar::Reason(ReasonCode::kBadRedirect, {*location}), {}};
    if (sent.url.https && !target->https)
        return {
            std::nullopt, lumar::Reason(ReasonCode::kRedirectDowngrade, {target->ToString()}), {}};

    ExchangeRequest next = sent;
    next.url = target.Value();
    const bool toGet = status == 303 || ((status == 301 || status == 302) && sent.method == "POST");
    if (toGet) {
        if (next.method != "HEAD") next.method = "GET";
        next.body = nullptr;
    }
    if (!toGet && sent.carriesKey && next.url.host != sent.url.host) {
        return {std::nullopt, lumar::Reason(ReasonCode::kKeyRedirect, {next.url.host}),
                next.url.host};
    }
    if (!SameOrigin(sent.url, next.url)) {
        std::erase_if(next.headers, [&](const auto& header) {
            if (EqualNoCase(header.first, "Authorization") || EqualNoCase(header.first, "Cookie"))
                return true;
            return std::any_of(
                secretHeaders.begin(), secretHeaders.end(),
                [&](const std::string& secret) { return EqualNoCase(header.first, secret); });
        });
    }
    return {std::move(next), {}, {}};
}

}  // namespace lumar::net
