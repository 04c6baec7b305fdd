#pragma once
// Drives exchanges for callers that wait for one at a time (the command line, a simple run):
// a poll loop of their own in slices, the front end's pump between the slices, and an abort
// flag that cancels within one slice.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "net/http_exchange.h"
#include "shell/event_pump.h"

namespace lumar::net {

struct RunControl {
    PumpEvents pump;
    const std::atomic<bool>* abortFlag = nullptr;
    std::chrono::milliseconds slice{200};
};

// Returns when the exchange is finished.
void RunExchange(HttpExchange& exchange, const RunControl& control = {});
// Drives several in one poll loop; returns when all are finished.
void RunExchanges(std::span<HttpExchange* const> exchanges, const RunControl& control = {});

struct FollowedExchange {
    // The last exchange made; its Request().url is where the answer came from.
    std::unique_ptr<HttpExchange> exchange;
    // A redirect that was not followed: too many, a loop, https to http, a bad Location.
    std::string error;
};

// Runs `request` and the requests its redirects ask for, at most kMaxRedirects of them.
// `optionsFor` gives each URL its options (its proxy, where it connects).
FollowedExchange RunFollowingRedirects(
    ExchangeRequest request, const std::function<ExchangeOptions(const HttpUrl&)>& optionsFor,
    const RunControl& control = {}, const std::vector<std::string>& secretHeaders = {});

}  // namespace lumar::net
