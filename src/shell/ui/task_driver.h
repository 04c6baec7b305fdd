#pragma once
// Drives a LoopTask on Qt's own event loop: a QSocketNotifier for each descriptor and direction
// the task waits on and a single-shot timer for its deadline, both set anew after every step.
// The window never pumps its events from inside network work, and any number of tasks (a run,
// a deletion, a probe) share the loop. While a step runs nothing re-enters the task, not even
// from a dialog's own loop the step may open.
#include <QObject>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <utility>

#include "shell/loop_task.h"

class QSocketNotifier;

namespace lumar::ui {

class TaskDriver : public QObject {
  public:
    // Drives `task`, already started, which must outlive the driver's work on it. `finished`
    // runs once, from the loop, when the task is finished; it is the last thing the driver does
    // with the task, and it may let go of both (the driver with deleteLater).
    TaskDriver(LoopTask& task, std::function<void()> finished, QObject* parent = nullptr);
    ~TaskDriver() override;

  private:
    void StepWith(std::span<const pollfd> ready);
    void Sync();

    LoopTask& task_;
    std::function<void()> finished_;
    // By descriptor and direction (POLLIN, POLLOUT).
    std::map<std::pair<int, short>, QSocketNotifier*> notifiers_;
    QTimer deadline_;
    bool stepping_ = false;
    bool done_ = false;
};

// Drives `task`, already started, on Qt's loop and hands it to `finished` once it is finished;
// then the task and its driver go. When `parent` goes first, it takes both with it unfinished,
// and `finished` never runs.
template <typename Task>
void DriveTask(std::unique_ptr<Task> task, std::function<void(Task&)> finished, QObject* parent) {
    std::shared_ptr<Task> owned(std::move(task));
    auto driver = std::make_shared<TaskDriver*>(nullptr);
    *driver = new TaskDriver(
        *owned,
        [owned, driver, finished = std::move(finished)] {
            (*driver)->deleteLater();
            finished(*owned);
        },
        parent);
}

}  // namespace lumar::ui
