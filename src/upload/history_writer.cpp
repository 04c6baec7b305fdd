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

void HistoryWriter::WriteEntries() {
    std::unique_lock lock(mutex_);
    for (;;) {
        entryAdded_.wait(lock, [this] { return ending_ || !entries_.empty(); });
        if (entries_.empty()) return;
        Job job = std::move(entries_.front());
        entries_.pop_front();
        lock.unlock();
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
        if (done_) done_->Signal();
        lock.lock();
    }
}

void HistoryWriter::WriteTotals() {
    LowerThisThreadsPriority();
    std::unique_lock lock(mutex_);
    for (;;) {
        totalsAdded_.wait(lock, [this] { return entriesDone_ || !totals_.empty(); });
        if (totals_.empty()) return;
        TotalsJob job = std::move(totals_.front());
        totals_.pop_front();
        lock.unlock();
        job.done.set_value(job.totals->AddUpload({}, job.fileBytes));
        if (done_) done_->Signal();
        lock.lock();
    }
}

}  // namespace lumar
