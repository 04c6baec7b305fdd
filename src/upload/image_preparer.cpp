#include "upload/image_preparer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "history/history_store.h"
#include "shell/file_io.h"
#include "shell/plain_text.h"
#include "shell/thread_priority.h"

namespace lumar {
namespace {

// What the type check of a file too large to read looks at: any picture type's mark and size
// header lie within it.
constexpr size_t kHeadBytes = 64 * 1024;

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

std::uint64_t ImagePreparer::Add(int position, std::string path, const PrepareRequest& request) {
    std::uint64_t ticket = 0;
    {
        const std::lock_guard lock(mutex_);
        ticket = ++lastTicket_;
        tasks_.push_back({ticket, position, std::move(path), request});
        if (threads_.size() < static_cast<size_t>(threadCount_) &&
            threads_.size() < tasks_.size() + static_cast<size_t>(working_))
            threads_.emplace_back([this] { Work(); });
    }
    taskAdded_.notify_one();
    return ticket;
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
    // Threads libvips starts from here inherit the lower priority.
    LowerThisThreadsPriority();
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
    out.ticket = task.ticket;
    out.position = task.position;
    out.request = task.request;
    // A picture that needs more memory than is left fails alone; the list and the run stay.
    try {
        Prepare(task, out);
    } catch (const std::bad_alloc&) {
        out = PreparedImage{};
        out.ticket = task.ticket;
        out.position = task.position;
        out.request = task.request;
        out.read = PictureRead::kUnreadable;
        out.processed.error = Reason(ReasonCode::kOutOfMemory);
    }
    out.path = std::move(task.path);
    return out;
}

void ImagePreparer::Prepare(const Task& task, PreparedImage& out) {
    const PrepareRequest& request = task.request;
    // One read serves the type check, the original's hash and the processing.
    std::optional<std::string> original = ReadPicture(task, out);
    if (!original) {
        if (out.read != PictureRead::kTooLarge && out.read != PictureRead::kTypeRefused)
            out.processed.error = Reason(ReasonCode::kFileUnreadable, {task.path});
        return;
    }
    const bool changes = request.processing.Changes();
    if (request.hash && changes) out.originalSha256 = Sha256Hex(*original);
    out.processed = ProcessImageBytes(std::move(*original), request.processing);
    if (request.hash && !out.processed.bytes.empty()) {
        out.sentSha256 = Sha256Hex(out.processed.bytes);
        if (!changes) out.originalSha256 = out.sentSha256;
    }
    if (!request.boundary.empty()) out.holdsBoundary = Holds(out.processed.bytes, request.boundary);
    // Made of what is sent, so a thumbnail never shows more than the picture does.
    if (request.thumbSide > 0 && !out.processed.bytes.empty())
        out.thumbnail =
            MakeThumbnail(out.processed.bytes, request.thumbSide, request.processing.quality);
}

std::optional<std::string> ImagePreparer::ReadPicture(const Task& task, PreparedImage& out) {
    const FileDescriptor fd = OpenForReading(task.path);
    struct stat st {};
    if (!fd || ::fstat(fd.Get(), &st) != 0) {
        out.read =
            errno == ENOENT || errno == ENOTDIR ? PictureRead::kMissing : PictureRead::kUnreadable;
        return std::nullopt;
    }
    out.read = PictureRead::kUnreadable;
    if (!S_ISREG(st.st_mode)) return std::nullopt;
    out.fileBytes = static_cast<std::uint64_t>(st.st_size);
    // A file over the cap is refused before its read: its head is enough for the type.
    bool tooLarge = false;
    std::optional<std::string> bytes =
        ReadStatedUpTo(fd.Get(), st, task.request.maxBytes, &tooLarge);
    if (tooLarge) {
        // Only the head, for the type check that is made first.
        std::string head(kHeadBytes, '\0');
        const ssize_t got = ::pread(fd.Get(), head.data(), head.size(), 0);
        head.resize(got > 0 ? static_cast<size_t>(got) : 0);
        out.type = ReadImageInfoFromBytes(head).Type;
        out.fileBytes = std::max(out.fileBytes, task.request.maxBytes + 1);
        out.read = PictureRead::kTooLarge;
        return std::nullopt;
    }
    if (!bytes) return std::nullopt;
    out.fileBytes = bytes->size();
    out.type = ReadImageInfoFromBytes(*bytes).Type;
    if (out.type != ImageType::kNone &&
        (task.request.acceptedTypes & ImageTypeBit(out.type)) == 0) {
        out.read = PictureRead::kTypeRefused;
        return std::nullopt;
    }
    out.read = PictureRead::kRead;
    return bytes;
}

}  // namespace lumar
