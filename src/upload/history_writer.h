#pragma once
// Records a run's successes off the loop: the entry through a second connection to the run's
// history on one thread, then the file in the upload totals of the settings on another. A
// success is reported once its entry is written; the totals follow on their own, so neither a
// write that waits for another program's lock on the settings nor the settings file's
// replacement (a rename the file system may write out at once) holds up a report, the loop,
// the window or the other images in flight.
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
    Status entry;  // the history's entry
    // The totals, written after the entry, when a RunSettings was given; ready once written
    // or failed.
    std::optional<std::future<TotalsUpdate>> totals;
};

class HistoryWriter {
  public:
    // Opens its connection to the file of `store`, which must be open. `done`, when given, is
    // signalled after each result; it must outlive this.
    explicit HistoryWriter(const HistoryStore& store, const WakeFd* done = nullptr);
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;
    // Writes what was handed in, then ends its threads.
    ~HistoryWriter();

    // Hands the entry to the thread, and with it a file of `fileBytes` for the totals of
    // `totals` when given (which must outlive the write; its AddUpload is called on the
    // totals' thread, the totals on display taken as none). The result is there once the
    // entry is written or failed.
    std::future<SuccessWritten> Write(HistoryEntry entry, RunSettings* totals = nullptr,
                                      double fileBytes = 0);

  private:
    void WriteEntries();
    void WriteTotals();
    template <typename Item, typename Work>
    void Serve(std::condition_variable& added, std::deque<Item>& queue, const bool& ended,
               Work work);

    HistoryStore store_;
    std::mutex mutex_;
    std::condition_variable entryAdded_;
    std::condition_variable totalsAdded_;
    struct Job {
        HistoryEntry entry;
        RunSettings* totals = nullptr;
        double fileBytes = 0;
        std::promise<SuccessWritten> done;
    };
    struct TotalsJob {
        RunSettings* totals = nullptr;
        double fileBytes = 0;
        std::promise<TotalsUpdate> done;
    };
    std::deque<Job> entries_;
    std::deque<TotalsJob> totals_;  // in the order of their entries
    bool ending_ = false;           // no entry comes any more
    bool entriesDone_ = false;      // and every entry is written: no totals come either
    const WakeFd* done_;
    std::thread entryThread_;
    std::thread totalsThread_;
};

}  // namespace lumar
