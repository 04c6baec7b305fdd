#pragma once
// The poll loop of a front end without an event loop of its own (lumar-cli, the tests).
#include <functional>

#include "shell/loop_task.h"

namespace lumar::net {

// Steps `task` until it is finished. A wait is at most `most` long, so a flag set from a signal
// handler (a Ctrl+C that came just before the poll) is seen within it; `betweenSteps`, when
// given, runs after every step.
void DriveToEnd(LoopTask& task, std::chrono::milliseconds most,
                const std::function<void()>& betweenSteps = {});

}  // namespace lumar::net
