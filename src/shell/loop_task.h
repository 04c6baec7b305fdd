#pragma once
// Work that waits on descriptors and a deadline, driven by its caller's loop: lumar-cli's poll
// loop (net/task_loop.h) or the window's own event loop (shell/ui/task_driver.h). Between two
// steps nothing of it runs, so the window never pumps its events from inside network work and
// several such tasks share one loop without holding each other up.
#include <poll.h>

#include <chrono>
#include <span>
#include <vector>

namespace lumar {

class LoopTask {
  public:
    virtual ~LoopTask() = default;

    // What the task waits for now (fd and events; revents unused). A negative fd is no wait.
    [[nodiscard]] virtual std::vector<pollfd> Waits() const = 0;
    // When the task wants a step even without any of its waits ready; time_point::max(): never.
    [[nodiscard]] virtual std::chrono::steady_clock::time_point Deadline() const = 0;
    // Goes on with the waits that are ready (with their revents); an empty span: the deadline
    // passed, or the caller looks again. A step does not block.
    virtual void Step(std::span<const pollfd> ready) = 0;
    [[nodiscard]] virtual bool Finished() const = 0;
};

}  // namespace lumar
