#pragma once
// Prepares the pictures of a run ahead of their upload on a few threads of its own: shrinking
// a 12-megapixel photo or hashing a 20 MB file takes long enough to stall the window and the
// connections in flight, so the loop thread only hands the work out and picks results up.
// The network, the history and the observer stay on the loop thread; only the file's read,
// ProcessImage and the hashing run here.
//
// Errors in this room: nothing throws; a picture that could not be read says so in `read`, one
// that could not be made in `processed.error`.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "imagelist/image_info.h"
#include "imagelist/image_processing.h"
#include "imagelist/image_resize.h"
#include "shell/wake_fd.h"

namespace lumar {

// Bit `1 << type` set for each picture type a row takes.
inline constexpr unsigned ImageTypeBit(ImageType type) {
    return 1U << static_cast<unsigned>(type);
}
inline constexpr unsigned kAllImageTypes = ~0U;

// What a picture is made for. The file is opened once: its descriptor gives the size, its
// bytes the type and everything sent, so nothing looks at the path again before the upload.
struct PrepareRequest {
    ProcessingOptions processing;
    bool hash = false;
    int thumbSide = 0;  // above 0 also makes a thumbnail of at most that many pixels
    // A larger file is not read (only its head, for the type); nothing is processed for a type
    // outside `acceptedTypes` (ImageTypeBit).
    std::uint64_t maxBytes = UINT64_MAX;
    unsigned acceptedTypes = kAllImageTypes;
    // The boundary the request will be written with, looked for in the bytes to send while
    // they are at hand (PreparedImage::holdsBoundary); "" looks for nothing.
    std::string boundary;

    [[nodiscard]] bool SameAs(const PrepareRequest& other) const {
        return hash == other.hash && thumbSide == other.thumbSide && maxBytes == other.maxBytes &&
               acceptedTypes == other.acceptedTypes && boundary == other.boundary &&
               processing.Key() == other.processing.Key();
    }
};

// How the file's read went, before any processing.
enum class PictureRead { kRead, kMissing, kUnreadable, kTooLarge, kTypeRefused };

struct PreparedImage {
    std::uint64_t ticket = 0;  // what Add gave for it
    int position = 0;          // of its row, from 1
    std::string path;
    PrepareRequest request;  // as asked
    PictureRead read = PictureRead::kRead;
    ImageType type = ImageType::kNone;  // from the file's own bytes
    std::uint64_t fileBytes = 0;        // the file's size on its descriptor
    ProcessedImage processed;
    std::string originalSha256, sentSha256;  // only when hashing was asked for
    // Whether processed.bytes hold request.boundary; unknown when none was asked about.
    std::optional<bool> holdsBoundary;
    // Made of the bytes to send when a thumbnail side was asked for; `bytes` empty and
    // `error` set when it could not be made.
    std::optional<ResizeResult> thumbnail;
};

class ImagePreparer {
  public:
    // The threads start with the first picture, so a run that hands none out costs none.
    // `wake`, when given, is signalled each time a picture is ready; it must outlive this.
    explicit ImagePreparer(int threads, const WakeFd* wake = nullptr);
    ImagePreparer(const ImagePreparer&) = delete;
    ImagePreparer& operator=(const ImagePreparer&) = delete;
    // Drops what has not been started and waits for the pictures being made.
    ~ImagePreparer();

    // Returns the picture's ticket, unique for this preparer.
    std::uint64_t Add(int position, std::string path, const PrepareRequest& request);
    // A finished picture, without waiting; nullopt when none is ready.
    std::optional<PreparedImage> TakeReady();
    // Waits at most `limit` for a finished picture; true when one is ready.
    bool WaitReady(std::chrono::milliseconds limit);
    // Pictures handed out and not yet taken back.
    int Outstanding() const;
    // Forgets the pictures not yet started; the ones being made end as usual.
    void DropPending();

  private:
    struct Task {
        std::uint64_t ticket = 0;
        int position = 0;
        std::string path;
        PrepareRequest request;
    };
    void Work();
    static PreparedImage Make(Task task);
    static void Prepare(const Task& task, PreparedImage& out);
    static std::optional<std::string> ReadPicture(const Task& task, PreparedImage& out);

    const int threadCount_;
    const WakeFd* wake_;
    mutable std::mutex mutex_;
    std::condition_variable taskAdded_, resultAdded_;
    std::deque<Task> tasks_;
    std::deque<PreparedImage> results_;
    int working_ = 0;
    std::uint64_t lastTicket_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// Threads worth giving to preparation on this machine: at most two, so resizing never takes
// every core from the rest of the desktop.
int PreparerThreads();

}  // namespace lumar
