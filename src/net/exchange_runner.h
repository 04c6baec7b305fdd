#pragma once
// Drives exchanges on the caller's thread: a poll loop in slices, the front end's pump between
// the slices, and an abort flag that cancels within one slice. A caller that waits for one
// answer at a time uses the Run... functions; a caller with several tasks in flight (the
// upload run) turns the loop itself with PollTurn.
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "net/http_exchange.h"
#include "shell/event_pump.h"

namespace lumar::net {

struct RunControl {
    PumpEvents pump;
    const std::atomic<bool>* abortFlag = nullptr;
    std::chrono::milliseconds slice{200};
    // Polled for reading beside the tasks: once readable, the wait ends. The loop never reads
    // it; its owner empties it (see shell/wake_fd.h). -1: none.
    int wakeFd = -1;
};

// One turn of the loop over tasks that offer Finished(), Fd() (-1: only a deadline to wait
// for), Events(), Deadline(), Step(revents) and Cancel(): waits at most one slice, or until
// the wake fd is readable, steps what is ready or past its deadline, then pumps. After an
// abort each task is cancelled; one that Cancel() leaves unfinished is waited for as before.
// Returns false, without waiting, when every task is finished.
template <typename Task>
bool PollTurn(std::span<Task* const> tasks, const RunControl& control) {
    using Clock = std::chrono::steady_clock;
    std::vector<pollfd> waits;
    std::vector<Task*> waiting;
    Clock::time_point next = Clock::now() + control.slice;
    for (Task* task : tasks) {
        if (task->Finished()) continue;
        if (control.abortFlag && control.abortFlag->load()) {
            task->Cancel();
            if (task->Finished()) continue;
        }
        waits.push_back({task->Fd(), task->Events(), 0});
        waiting.push_back(task);
        next = std::min(next, task->Deadline());
    }
    if (waiting.empty()) return false;
    if (control.wakeFd >= 0) waits.push_back({control.wakeFd, POLLIN, 0});
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
    return true;
}

// Drives one task (see PollTurn) until it is finished.
template <typename Task>
void RunToEnd(Task& task, const RunControl& control) {
    Task* const one[] = {&task};
    while (PollTurn(std::span<Task* const>(one), control)) {
    }
}

// Returns when the exchange is finished.
void RunExchange(HttpExchange& exchange, const RunControl& control = {});

// A request and the requests its redirects ask for, at most kMaxRedirects of them, as one task
// for PollTurn. `optionsFor` gives each URL its options (its proxy, where it connects).
class FollowingExchange {
  public:
    using OptionsFor = std::function<ExchangeOptions(const HttpUrl&)>;
    FollowingExchange(ExchangeRequest request, OptionsFor optionsFor,
                      std::vector<std::string> secretHeaders = {});

    bool Finished() const { return exchange_->Finished(); }
    int Fd() const { return exchange_->Fd(); }
    short Events() const { return exchange_->Events(); }
    std::chrono::steady_clock::time_point Deadline() const { return exchange_->Deadline(); }
    void Step(short revents);
    void Cancel() { exchange_->Cancel(); }

    // The last exchange made; its Request().url is where the answer came from.
    const HttpExchange& Last() const { return *exchange_; }
    std::unique_ptr<HttpExchange> TakeLast() { return std::move(exchange_); }
    // A redirect that was not followed: too many, a loop, https to http, a bad Location.
    const std::optional<lumar::Reason>& Error() const { return error_; }
    // The host a redirect was not followed to because the request carries a key.
    const std::string& KeyRefusedHost() const { return keyRefusedHost_; }

  private:
    void Begin(ExchangeRequest request);

    OptionsFor optionsFor_;
    std::vector<std::string> secretHeaders_;
    std::set<std::pair<std::string, std::string>> asked_;
    int redirects_ = 0;
    std::unique_ptr<HttpExchange> exchange_;
    std::optional<lumar::Reason> error_;
    std::string keyRefusedHost_;
};

struct FollowedExchange {
    // The last exchange made; its Request().url is where the answer came from.
    std::unique_ptr<HttpExchange> exchange;
    // A redirect that was not followed: too many, a loop, https to http, a bad Location.
    std::optional<lumar::Reason> error;
};

// FollowingExchange driven to its end.
FollowedExchange RunFollowingRedirects(
    ExchangeRequest request, const std::function<ExchangeOptions(const HttpUrl&)>& optionsFor,
    const RunControl& control = {}, const std::vector<std::string>& secretHeaders = {});

}  // namespace lumar::net
