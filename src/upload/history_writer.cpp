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

std::future<Status> HistoryWriter::Write(HistoryEntry entry) {
    std::promise<Status> promise;
    std::future<Status> result = promise.get_future();
    {
        const std::lock_guard lock(mutex_);
        queue_.emplace_back(std::move(entry), std::move(promise));
    }
    wake_.notify_all();
    return result;
}

void HistoryWriter::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return ending_ || !queue_.empty(); });
        if (queue_.empty()) return;
        auto [entry, promise] = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        promise.set_value(store_.Record(entry));
        if (done_) done_->Signal();
        lock.lock();
    }
}

}  // namespace lumar
