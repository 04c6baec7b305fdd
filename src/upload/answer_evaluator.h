#pragma once
// Reads hosts' answers to their codes on a thread of its own: a row's templates may spend
// their whole work budget on one answer, and the loop that drives the exchanges (in the window,
// the window's own thread) keeps turning meanwhile. One thread takes the answers in the order
// they were handed in, so they are read in the order they came, as on the loop's thread.
//
// Errors in this room: nothing throws here; what the reading finds goes where it writes.
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "shell/wake_fd.h"

namespace lumar {

class AnswerEvaluator {
  public:
    // `wake` is signalled each time an answer has been read. The thread starts with the first,
    // so a run that reads none costs none.
    explicit AnswerEvaluator(const WakeFd& wake);
    AnswerEvaluator(const AnswerEvaluator&) = delete;
    AnswerEvaluator& operator=(const AnswerEvaluator&) = delete;
    // Reads what was handed in, then ends its thread.
    ~AnswerEvaluator();

    // Runs `read` on the thread; the future is ready once it ran.
    std::future<void> Read(std::function<void()> read);

  private:
    void Work();

    const WakeFd& wake_;
    std::mutex mutex_;
    std::condition_variable added_;
    std::deque<std::packaged_task<void()>> queue_;
    bool ending_ = false;
    std::thread thread_;
};

}  // namespace lumar
