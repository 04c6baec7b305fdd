#pragma once
// Records a run's successes on a thread of its own: the entry through a second connection to
// the run's history, then the file in the upload totals of the settings. A write that waits for
// another program's lock holds up only the report of the image it belongs to, never the loop,
// the window or the other images in flight, and the settings file's replacement (a rename the
// file system may write out at once) costs the loop nothing.
//
// Errors in this room: nothing throws; a write that failed comes back as its reason.
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "history/history_store.h"
#include "shell/outcome.h"
#include "shell/upload_totals.h"
#include "shell/wake_fd.h"
#include "upload/run_settings.h"

namespace lumar {

// What was written for one success.
struct SuccessWritten {
    Status entry;                        // the history's entry
    std::optional<TotalsUpdate> totals;  // the totals, when a RunSettings was given
};

class HistoryWriter {
  public:
    // Opens its connection to the file of `store`, which must be open. `done`, when given, is
    // signalled after each result; it must outlive this.
    explicit HistoryWriter(const HistoryStore& store, const WakeFd* done = nullptr);
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;
    // Writes what was handed in, then ends its thread.
    ~HistoryWriter();

    // Hands the entry to the thread, and with it a file of `fileBytes` for the totals of
    // `totals` when given (which must outlive the write; its AddUpload is called on the
    // writer's thread, the totals on display taken as none). The result is there once both
    // are written or failed.
    std::future<SuccessWritten> Write(HistoryEntry entry, RunSettings* totals = nullptr,
                                      double fileBytes = 0);

  private:
    void Work();

    HistoryStore store_;
    std::mutex mutex_;
    std::condition_variable wake_;
    struct Job {
        HistoryEntry entry;
        RunSettings* totals = nullptr;
        double fileBytes = 0;
        std::promise<SuccessWritten> done;
    };
    std::deque<Job> queue_;
    bool ending_ = false;
    const WakeFd* done_;
    std::thread thread_;
};

}  // namespace lumar
