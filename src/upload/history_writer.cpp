#include "upload/history_writer.h"

#include "shell/thread_priority.h"

namespace lumar {

// A connection that could not be opened answers every write with its reason.
HistoryWriter::HistoryWriter(const HistoryStore& store, const WakeFd* done) : done_(done) {
    store_.OpenBeside(store);
    entryThread_ = std::thread([this] { WriteEntries(); });
    totalsThread_ = std::thread([this] { WriteTotals(); });
}

HistoryWriter::~HistoryWriter() {
    {
        const std::lock_guard lock(mutex_);
        ending_ = true;
    }
    entryAdded_.notify_all();
    entryThread_.join();
    {
        const std::lock_guard lock(mutex_);
        entriesDone_ = true;
    }
    totalsAdded_.notify_all();
    totalsThread_.join();
}

std::future<SuccessWritten> HistoryWriter::Write(HistoryEntry entry, RunSettings* totals,
                                                 double fileBytes) {
    Job job{std::move(entry), totals, fileBytes, {}};
    std::future<SuccessWritten> result = job.done.get_future();
    {
        const std::lock_guard lock(mutex_);
        entries_.push_back(std::move(job));
    }
    entryAdded_.notify_all();
    return result;
}

// Serves `queue` in order, without the lock while a job is done, until `ended` holds and the
// queue is empty; the loop hears of each result.
template <typename Item, typename Work>
void HistoryWriter::Serve(std::condition_variable& added, std::deque<Item>& queue,
                          const bool& ended, Work work) {
    std::unique_lock lock(mutex_);
    for (;;) {
        added.wait(lock, [&] { return ended || !queue.empty(); });
        if (queue.empty()) return;
        Item job = std::move(queue.front());
        queue.pop_front();
        lock.unlock();
        work(job);
        if (done_) done_->Signal();
        lock.lock();
    }
}

void HistoryWriter::WriteEntries() {
    Serve(entryAdded_, entries_, ending_, [this](Job& job) {
        SuccessWritten written{store_.Record(job.entry), std::nullopt};
        if (job.totals) {
            // Handed on only now: a success is kept before anything else tells of it.
            TotalsJob next{job.totals, job.fileBytes, {}};
            written.totals = next.done.get_future();
            {
                const std::lock_guard hold(mutex_);
                totals_.push_back(std::move(next));
            }
            totalsAdded_.notify_all();
        }
        job.done.set_value(std::move(written));
    });
}

void HistoryWriter::WriteTotals() {
    LowerThisThreadsPriority();
    Serve(totalsAdded_, totals_, entriesDone_,
          [](TotalsJob& job) { job.done.set_value(job.totals->AddUpload({}, job.fileBytes)); });
}

}  // namespace lumar
