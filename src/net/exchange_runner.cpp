#include "net/exchange_runner.h"

#include <poll.h>

#include <algorithm>
#include <set>
#include <utility>

#include "net/redirect.h"

namespace lumar::net {

void RunExchange(HttpExchange& exchange, const RunControl& control) {
    HttpExchange* const one[] = {&exchange};
    RunExchanges(one, control);
}

void RunExchanges(std::span<HttpExchange* const> exchanges, const RunControl& control) {
    using Clock = std::chrono::steady_clock;
    std::vector<pollfd> waits;
    std::vector<HttpExchange*> waiting;
    while (true) {
        waits.clear();
        waiting.clear();
        Clock::time_point next = Clock::now() + control.slice;
        for (HttpExchange* exchange : exchanges) {
            if (exchange->Finished()) continue;
            if (control.abortFlag && control.abortFlag->load()) {
                exchange->Cancel();
                continue;
            }
            waits.push_back({exchange->Fd(), exchange->Events(), 0});
            waiting.push_back(exchange);
            next = std::min(next, exchange->Deadline());
        }
        if (waiting.empty()) return;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now());
        ::poll(waits.data(), waits.size(), static_cast<int>(std::max<long long>(wait.count(), 0)));
        const Clock::time_point now = Clock::now();
        for (size_t i = 0; i < waiting.size(); ++i) {
            if (waits[i].revents) {
                waiting[i]->Step(waits[i].revents);
            } else if (now >= waiting[i]->Deadline()) {
                waiting[i]->Step(0);
            }
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
