#include "shell/ui/task_driver.h"

#include <QSocketNotifier>
#include <algorithm>
#include <climits>
#include <set>

namespace lumar::ui {

TaskDriver::TaskDriver(LoopTask& task, std::function<void()> finished, QObject* parent)
    : QObject(parent), task_(task), finished_(std::move(finished)) {
    deadline_.setSingleShot(true);
    deadline_.setTimerType(Qt::PreciseTimer);
    connect(&deadline_, &QTimer::timeout, this, [this] { StepWith({}); });
    // From the loop, so the caller that started the task is done before anything ends.
    QTimer::singleShot(0, this, [this] { Sync(); });
}

TaskDriver::~TaskDriver() = default;

void TaskDriver::StepWith(std::span<const pollfd> ready) {
    if (stepping_ || done_) return;
    stepping_ = true;
    for (const auto& [key, notifier] : notifiers_) notifier->setEnabled(false);
    deadline_.stop();
    task_.Step(ready);
    stepping_ = false;
    Sync();
}

void TaskDriver::Sync() {
    if (stepping_ || done_) return;
    if (task_.Finished()) {
        done_ = true;
        for (const auto& [key, notifier] : notifiers_) notifier->deleteLater();
        notifiers_.clear();
        deadline_.stop();
        if (finished_) std::exchange(finished_, {})();
        return;
    }
    std::set<std::pair<int, short>> wanted;
    for (const pollfd& wait : task_.Waits()) {
        if (wait.fd < 0) continue;
        for (const short direction : {short(POLLIN), short(POLLOUT)})
            if (wait.events & direction) wanted.insert({wait.fd, direction});
    }
    for (auto it = notifiers_.begin(); it != notifiers_.end();) {
        if (wanted.contains(it->first)) {
            ++it;
            continue;
        }
        // Possibly the notifier whose signal is being handled: it goes once that is over.
        it->second->setEnabled(false);
        it->second->deleteLater();
        it = notifiers_.erase(it);
    }
    for (const auto& key : wanted) {
        QSocketNotifier*& notifier = notifiers_[key];
        if (!notifier) {
            notifier = new QSocketNotifier(
                key.first, key.second == POLLIN ? QSocketNotifier::Read : QSocketNotifier::Write,
                this);
            connect(notifier, &QSocketNotifier::activated, this, [this, key] {
                const pollfd one{key.first, key.second, key.second};
                StepWith(std::span<const pollfd>(&one, 1));
            });
        }
        notifier->setEnabled(true);
    }
    const auto deadline = task_.Deadline();
    if (deadline == std::chrono::steady_clock::time_point::max()) return;
    const auto wait =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    deadline_.start(static_cast<int>(std::clamp<long long>(wait.count(), 0, INT_MAX)));
}

}  // namespace lumar::ui
