#include "upload/answer_evaluator.h"

#include <utility>

namespace lumar {

AnswerEvaluator::AnswerEvaluator(const WakeFd& wake) : wake_(wake) {}

AnswerEvaluator::~AnswerEvaluator() {
    {
        const std::lock_guard lock(mutex_);
        ending_ = true;
    }
    added_.notify_all();
    if (thread_.joinable()) thread_.join();
}

std::future<void> AnswerEvaluator::Read(std::function<void()> read) {
    std::packaged_task<void()> task(std::move(read));
    std::future<void> done = task.get_future();
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(std::move(task));
        if (!thread_.joinable()) thread_ = std::thread([this] { Work(); });
    }
    added_.notify_all();
    return done;
}

void AnswerEvaluator::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        added_.wait(lock, [this] { return ending_ || !queue_.empty(); });
        if (queue_.empty()) return;
        std::packaged_task<void()> task = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        task();
        // After the result is in, so the loop that wakes finds it.
        wake_.Signal();
        lock.lock();
    }
}

}  // namespace lumar
