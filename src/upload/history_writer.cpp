#include "upload/history_writer.h"

namespace lumar {

// A connection that could not be opened answers every write with its reason.
HistoryWriter::HistoryWriter(const HistoryStore& store, const WakeFd* done) : done_(done) {
    store_.OpenBeside(store);
    thread_ = std::thread([this] { Work(); });
}

HistoryWriter::~HistoryWriter() {
    {
        const std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

std::future<SuccessWritten> HistoryWriter::Write(HistoryEntry entry, RunSettings* totals,
                                                 double fileBytes) {
    Job job{std::move(entry), totals, fileBytes, {}};
    std::future<SuccessWritten> result = job.done.get_future();
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(std::move(job));
    }
    wake_.notify_all();
    return result;
}

void HistoryWriter::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return ending_ || !queue_.empty(); });
        if (queue_.empty()) return;
        Job job = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        SuccessWritten written{store_.Record(job.entry), std::nullopt};
        // After the entry: a success is kept before anything else tells of it.
        if (job.totals) written.totals = job.totals->AddUpload({}, job.fileBytes);
        job.done.set_value(std::move(written));
        if (done_) done_->Signal();
        lock.lock();
    }
}

}  // namespace lumar
