#include "net/exchange_runner.h"

#include "net/redirect.h"

namespace lumar::net {

void RunExchange(HttpExchange& exchange, const RunControl& control) {
    RunToEnd(exchange, control);
}

FollowingExchange::FollowingExchange(ExchangeRequest request, OptionsFor optionsFor,
                                     std::vector<std::string> secretHeaders)
    : optionsFor_(std::move(optionsFor)), secretHeaders_(std::move(secretHeaders)) {
    Begin(std::move(request));
}

void FollowingExchange::Begin(ExchangeRequest request) {
    asked_.emplace(request.method, request.url.ToString());
    ExchangeOptions options = optionsFor_(request.url);
    exchange_ = std::make_unique<HttpExchange>(std::move(request), std::move(options));
}

void FollowingExchange::Step(short revents) {
    exchange_->Step(revents);
    if (exchange_->GetState() != HttpExchange::State::kDone) return;
    RedirectDecision next =
        FollowRedirect(exchange_->Request(), exchange_->Response(), secretHeaders_);
    if (!next.next) {
        error_ = std::move(next.error);
        keyRefusedHost_ = std::move(next.keyRefusedHost);
        return;
    }
    if (asked_.contains({next.next->method, next.next->url.ToString()})) {
        error_ = lumar::Reason(ReasonCode::kRedirectLoop, {next.next->url.ToString()});
        return;
    }
    if (redirects_ == kMaxRedirects) {
        error_ = lumar::Reason(ReasonCode::kTooManyRedirects, {std::to_string(kMaxRedirects)});
        return;
    }
    ++redirects_;
    Begin(std::move(*next.next));
}

FollowedExchange RunFollowingRedirects(
    ExchangeRequest request, const std::function<ExchangeOptions(const HttpUrl&)>& optionsFor,
    const RunControl& control, const std::vector<std::string>& secretHeaders) {
    FollowingExchange following(std::move(request), optionsFor, secretHeaders);
    RunToEnd(following, control);
    FollowedExchange out;
    out.error = following.Error();
    out.exchange = following.TakeLast();
    return out;
}

}  // namespace lumar::net
