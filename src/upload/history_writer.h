#pragma once
// Records a run's successes on a thread of its own, through a second connection to the run's
// history: a write that waits for another program's lock holds up only the report of the image
// it belongs to, never the loop, the window or the other images in flight.
//
// Errors in this room: nothing throws; a write that failed comes back as its reason.
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>
#include <utility>

#include "history/history_store.h"
#include "shell/outcome.h"
#include "shell/wake_fd.h"

namespace lumar {

class HistoryWriter {
  public:
    // Opens its connection to the file of `store`, which must be open. `done`, when given, is
    // signalled after each result; it must outlive this.
    explicit HistoryWriter(const HistoryStore& store, const WakeFd* done = nullptr);
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;
    // Writes what was handed in, then ends its thread.
    ~HistoryWriter();

    // Hands the entry to the thread; the result is there once it is committed or failed.
    std::future<Status> Write(HistoryEntry entry);

  private:
    void Work();

    HistoryStore store_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::pair<HistoryEntry, std::promise<Status>>> queue_;
    bool ending_ = false;
    const WakeFd* done_;
    std::thread thread_;
};

}  // namespace lumar
