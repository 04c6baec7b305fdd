#pragma once
// Prepares the pictures of a run ahead of their upload on a few threads of its own: shrinking
// a 12-megapixel photo or hashing a 20 MB file takes long enough to stall the window and the
// connections in flight, so the loop thread only hands the work out and picks results up.
// The network, the history and the observer stay on the loop thread; only ProcessImage and
// the hashing run here.
//
// Errors in this room: nothing throws; a picture that could not be made says so in
// `processed.error`.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "imagelist/image_processing.h"
#include "imagelist/image_resize.h"
#include "shell/wake_fd.h"

namespace lumar {

struct PreparedImage {
    int position = 0;  // of its row, from 1
    std::string path;
    ProcessedImage processed;
    std::string originalSha256, sentSha256;  // only when hashing was asked for
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

    // `thumbSide` above 0 also makes a thumbnail of at most that many pixels (MakeThumbnail).
    void Add(int position, std::string path, const ProcessingOptions& processing, bool hash,
             int thumbSide = 0);
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
        int position = 0;
        std::string path;
        ProcessingOptions processing;
        bool hash = false;
        int thumbSide = 0;
    };
    void Work();
    static PreparedImage Make(Task task);
    static void Prepare(const Task& task, PreparedImage& out);

    const int threadCount_;
    const WakeFd* wake_;
    mutable std::mutex mutex_;
    std::condition_variable taskAdded_, resultAdded_;
    std::deque<Task> tasks_;
    std::deque<PreparedImage> results_;
    int working_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// Threads worth giving to preparation on this machine: at most two, so resizing never takes
// every core from the rest of the desktop.
int PreparerThreads();

}  // namespace lumar
