#include "net/exchange_runner.h"

#include <poll.h>

#include <algorithm>
#include <set>
#include <utility>

#include "net/redirect.h"

namespace lumar::net {

void RunExchange(HttpExchange& exchange, const RunControl& control) {
    using Clock = std::chrono::steady_clock;
    while (!exchange.Finished()) {
        if (control.abortFlag && control.abortFlag->load()) return exchange.Cancel();
        const auto untilDeadline =
            std::chrono::ceil<std::chrono::milliseconds>(exchange.Deadline() - Clock::now());
        const auto wait = std::clamp(untilDeadline, std::chrono::milliseconds(0), control.slice);
        pollfd p{exchange.Fd(), exchange.Events(), 0};
        const int ready = ::poll(&p, 1, static_cast<int>(wait.count()));
        if (ready > 0) {
            exchange.Step(p.revents);
        } else if (Clock::now() >= exchange.Deadline()) {
            exchange.Step(0);
        }
        Pump(control.pump);
    }
}

FollowedExchange RunFollowingRedirects(
    ExchangeRequest request, const std::function<ExchangeOptions(const HttpUrl&)>& optionsFor,
    const RunControl& control, const std::vector<std::string>& secretHeaders) {
    FollowedExchange out;
    std::set<std::pair<std::string, std::string>> asked;
    for (int redirects = 0;; ++redirects) {
        asked.emplace(request.method, request.url.ToString());
        out.exchange = std::make_unique<HttpExchange>(request, optionsFor(request.url));
        RunExchange(*out.exchange, control);
        if (out.exchange->GetState() != HttpExchange::State::Done) return out;
        RedirectDecision next = FollowRedirect(request, out.exchange->Response(), secretHeaders);
        if (!next.next) {
            out.error = std::move(next.error);
            return out;
        }
        if (asked.contains({next.next->method, next.next->url.ToString()})) {
            out.error = "redirect loop at " + next.next->url.ToString();
            return out;
        }
        if (redirects == kMaxRedirects) {
            out.error = "more than " + std::to_string(kMaxRedirects) + " redirects";
            return out;
        }
        request = std::move(*next.next);
    }
}

}  // namespace lumar::net
