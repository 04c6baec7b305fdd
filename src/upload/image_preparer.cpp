#include "upload/image_preparer.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "history/history_store.h"
#include "shell/file_io.h"

namespace lumar {
namespace {

// How far below the window a preparer thread runs.
constexpr int kWorkerNiceness = 5;

void LowerThreadPriority() {
#ifdef __linux__
    // Linux keeps a nice value per thread, and threads this one starts (libvips' own) inherit
    // it: the window and the network loop go first when the cores are busy.
    const auto self = static_cast<id_t>(::gettid());
    errno = 0;
    const int now = ::getpriority(PRIO_PROCESS, self);
    if (errno == 0) ::setpriority(PRIO_PROCESS, self, std::min(now + kWorkerNiceness, 19));
#endif
}

}  // namespace

int PreparerThreads() {
    return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 2);
}

ImagePreparer::ImagePreparer(int threads, const WakeFd* wake)
    : threadCount_(std::max(threads, 1)), wake_(wake) {}

ImagePreparer::~ImagePreparer() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        tasks_.clear();
    }
    taskAdded_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void ImagePreparer::Add(int position, std::string path, const ProcessingOptions& processing,
                        bool hash, int thumbSide) {
    {
        const std::lock_guard lock(mutex_);
        tasks_.push_back({position, std::move(path), processing, hash, thumbSide});
        if (threads_.size() < static_cast<size_t>(threadCount_) &&
            threads_.size() < tasks_.size() + static_cast<size_t>(working_))
            threads_.emplace_back([this] { Work(); });
    }
    taskAdded_.notify_one();
}

std::optional<PreparedImage> ImagePreparer::TakeReady() {
    const std::lock_guard lock(mutex_);
    if (results_.empty()) return std::nullopt;
    PreparedImage ready = std::move(results_.front());
    results_.pop_front();
    return ready;
}

bool ImagePreparer::WaitReady(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return resultAdded_.wait_for(lock, limit, [this] { return !results_.empty(); });
}

int ImagePreparer::Outstanding() const {
    const std::lock_guard lock(mutex_);
    return static_cast<int>(tasks_.size() + results_.size()) + working_;
}

void ImagePreparer::DropPending() {
    const std::lock_guard lock(mutex_);
    tasks_.clear();
}

void ImagePreparer::Work() {
    LowerThreadPriority();
    std::unique_lock lock(mutex_);
    for (;;) {
        taskAdded_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
        if (stopping_) return;
        Task task = std::move(tasks_.front());
        tasks_.pop_front();
        ++working_;
        lock.unlock();
        PreparedImage made = Make(std::move(task));
        lock.lock();
        --working_;
        results_.push_back(std::move(made));
        resultAdded_.notify_all();
        if (wake_) wake_->Signal();
    }
}

PreparedImage ImagePreparer::Make(Task task) {
    PreparedImage out;
    out.position = task.position;
    // A picture that needs more memory than is left fails alone; the list and the run stay.
    try {
        Prepare(task, out);
    } catch (const std::bad_alloc&) {
        out = PreparedImage{};
        out.position = task.position;
        out.processed.error = Reason(ReasonCode::kOutOfMemory);
    }
    out.path = std::move(task.path);
    return out;
}

void ImagePreparer::Prepare(const Task& task, PreparedImage& out) {
    // One read serves both the original's hash and the processing.
    std::optional<std::string> original = ReadFileBytes(task.path);
    if (!original) {
        out.processed.error = Reason(ReasonCode::kFileUnreadable, {task.path});
    } else {
        const bool changes = task.processing.Changes();
        if (task.hash && changes) out.originalSha256 = Sha256Hex(*original);
        out.processed = ProcessImageBytes(std::move(*original), task.processing);
        if (task.hash && !out.processed.bytes.empty()) {
            out.sentSha256 = Sha256Hex(out.processed.bytes);
            if (!changes) out.originalSha256 = out.sentSha256;
        }
        // Made of what is sent, so a thumbnail never shows more than the picture does.
        if (task.thumbSide > 0 && !out.processed.bytes.empty())
            out.thumbnail =
                MakeThumbnail(out.processed.bytes, task.thumbSide, task.processing.quality);
    }
}

}  // namespace lumar
