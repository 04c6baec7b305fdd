#include "net/task_loop.h"

#include <algorithm>

namespace lumar::net {

void DriveToEnd(LoopTask& task, std::chrono::milliseconds most,
                const std::function<void()>& betweenSteps) {
    using Clock = std::chrono::steady_clock;
    while (!task.Finished()) {
        std::vector<pollfd> waits = task.Waits();
        const Clock::time_point now = Clock::now();
        const Clock::time_point deadline = task.Deadline();
        std::chrono::milliseconds wait = most;
        if (deadline - now < most)
            wait = std::max(std::chrono::ceil<std::chrono::milliseconds>(deadline - now),
                            std::chrono::milliseconds(0));
        const int count = ::poll(waits.data(), waits.size(), static_cast<int>(wait.count()));
        std::erase_if(waits, [&](const pollfd& p) { return count <= 0 || p.revents == 0; });
        task.Step(waits);
        if (betweenSteps) betweenSteps();
    }
}

}  // namespace lumar::net
