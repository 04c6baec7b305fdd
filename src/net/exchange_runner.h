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

// The waits of one turn over tasks that offer Finished(), Fd() (-1: only a deadline to wait
// for), Events(), Deadline(), Step(revents) and Cancel(), for a caller that does the waiting
// itself (the upload run, on its front end's loop): BeginTurn gathers them, EndTurn steps what
// is ready or past its deadline once `waits` hold their revents. After an abort each task is
// cancelled; one that Cancel() leaves unfinished is waited for as before.
template <typename Task>
struct Turn {
    std::vector<pollfd> waits;
    std::vector<Task*> waiting;
    std::chrono::steady_clock::time_point next = std::chrono::steady_clock::time_point::max();
};

// False, with nothing to wait for, when every task is finished.
template <typename Task>
bool BeginTurn(std::span<Task* const> tasks, const std::atomic<bool>* abortFlag, Turn<Task>& turn) {
    turn = {};
    for (Task* task : tasks) {
        if (task->Finished()) continue;
        if (abortFlag && abortFlag->load()) {
            task->Cancel();
            if (task->Finished()) continue;
        }
        turn.waits.push_back({task->Fd(), task->Events(), 0});
        turn.waiting.push_back(task);
        turn.next = std::min(turn.next, task->Deadline());
    }
    return !turn.waiting.empty();
}

template <typename Task>
void EndTurn(Turn<Task>& turn) {
    const std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
    for (size_t i = 0; i < turn.waiting.size(); ++i) {
        if (turn.waits[i].revents) {
            turn.waiting[i]->Step(turn.waits[i].revents);
        } else if (now >= turn.waiting[i]->Deadline()) {
            turn.waiting[i]->Step(0);
        }
    }
}

// One turn of the loop over tasks (see Turn): waits at most one slice, or until the wake fd is
// readable, steps what is ready or past its deadline, then pumps. Returns false, without
// waiting, when every task is finished.
template <typename Task>
bool PollTurn(std::span<Task* const> tasks, const RunControl& control) {
    using Clock = std::chrono::steady_clock;
    Turn<Task> turn;
    if (!BeginTurn(tasks, control.abortFlag, turn)) return false;
    const Clock::time_point next = std::min(turn.next, Clock::now() + control.slice);
    if (control.wakeFd >= 0) turn.waits.push_back({control.wakeFd, POLLIN, 0});
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now());
    ::poll(turn.waits.data(), turn.waits.size(),
           static_cast<int>(std::max<long long>(wait.count(), 0)));
    EndTurn(turn);
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

    [[nodiscard]] bool Finished() const { return exchange_->Finished(); }
    [[nodiscard]] int Fd() const { return exchange_->Fd(); }
    [[nodiscard]] short Events() const { return exchange_->Events(); }
    [[nodiscard]] std::chrono::steady_clock::time_point Deadline() const {
        return exchange_->Deadline();
    }
    void Step(short revents);
    void Cancel() { exchange_->Cancel(); }

    // The last exchange made; its Request().url is where the answer came from.
    [[nodiscard]] const HttpExchange& Last() const { return *exchange_; }
    std::unique_ptr<HttpExchange> TakeLast() { return std::move(exchange_); }
    // A redirect that was not followed: too many, a loop, https to http, a bad Location.
    [[nodiscard]] const std::optional<lumar::Reason>& Error() const { return error_; }
    // The host a redirect was not followed to because the request carries a key.
    [[nodiscard]] const std::string& KeyRefusedHost() const { return keyRefusedHost_; }

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
