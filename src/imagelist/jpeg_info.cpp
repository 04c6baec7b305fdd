#include "imagelist/jpeg_info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "shell/file_io.h"

namespace lumar {

namespace {

// The walk asks a source for bytes strictly in order. Past the end (or after a read error) a
// source yields zero bytes, which is what ends a truncated file's walk at its next length.
// Get(n) copies n bytes into out; Skip(n) passes over n bytes.

class MemorySource {
  public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    void Get(unsigned char* out, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i, ++pos_)
            out[i] = pos_ < bytes_.size() ? static_cast<unsigned char>(bytes_[pos_]) : 0;
    }
    void Skip(std::size_t n) { pos_ += n; }

  private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

// Reads a file through a small buffer and passes over segment bodies without reading them, so
// a large APP1 or the compressed data of a progressive file costs no more than a few reads.
class FileSource {
  public:
    explicit FileSource(int fd) : fd_(fd) {}
    void Get(unsigned char* out, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            if (pos_ == len_ && !Fill()) {
                std::fill(out + i, out + n, 0);
                return;
            }
            out[i] = buffer_[pos_++];
        }
    }
    void Skip(std::size_t n) {
        const std::size_t buffered = len_ - pos_;
        if (n <= buffered) {
            pos_ += n;
            return;
        }
        n -= buffered;
        pos_ = len_ = 0;
        if (failed_) return;
        // Moving the offset past the end is allowed; the next read then reports the end.
        if (::lseek(fd_, static_cast<off_t>(n), SEEK_CUR) < 0) failed_ = true;
    }

  private:
    bool Fill() {
        if (failed_) return false;
        ssize_t got;
        do {
            got = ::read(fd_, buffer_, sizeof buffer_);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            failed_ = true;  // end of file or read error: zeros from now on
            return false;
        }
        pos_ = 0;
        len_ = static_cast<std::size_t>(got);
        return true;
    }

    int fd_;
    unsigned char buffer_[4096];
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    bool failed_ = false;
};

// The markers the walk looks for.
constexpr unsigned kStartOfImage = 0xFFD8;
constexpr unsigned kEndOfImage = 0xFFD9;
constexpr unsigned kStartOfScan = 0xFFDA;
constexpr unsigned kStartOfFrameBaseline = 0xFFC0;  // the only frame whose size is read

unsigned Word(const unsigned char* two) {
    return two[0] * 256u + two[1];
}

template <class Source>
void Walk(Source& source, JpegInfo& info) {
    // Every step consumes at least two bytes and past the end only zeros come, which end the
    // walk at the next length; the step bound is a second guard against a source that never ends.
    const std::int64_t maxSteps = info.FileSize / 2 + 2;
    for (std::int64_t step = 0; step < maxSteps; ++step) {
        unsigned char two[2];
        source.Get(two, 2);
        const unsigned marker = Word(two);
        if (marker == kStartOfImage) {
            info.IsJpeg = true;
            continue;
        }
        // After the start of scan come compressed data, not markers: a chance FF C0 there
        // would give a made-up size.
        if (marker == kEndOfImage || marker == kStartOfScan) return;
        source.Get(two, 2);
        const unsigned length = Word(two);
        // 0 ends the walk; 1 would give a body of -1 bytes, which no segment has.
        if (length < 2) return;
        const std::size_t bodyLength = length - 2;
        if (marker == kStartOfFrameBaseline) {
            // Precision, then lines and samples per line. A body too short to hold them gives
            // no size.
            if (bodyLength < 5) return;
            unsigned char head[5];
            source.Get(head, 5);
            info.Height = static_cast<int>(Word(head + 1));
            info.Width = static_cast<int>(Word(head + 3));
            return;
        }
        source.Skip(bodyLength);
    }
}

}  // namespace

JpegInfo ReadJpegInfoFromBytes(std::string_view bytes) {
    JpegInfo info;
    info.FileSize = static_cast<std::int64_t>(bytes.size());
    if (bytes.empty()) return info;
    MemorySource source(bytes);
    Walk(source, info);
    return info;
}

JpegInfo ReadJpegInfo(const std::string& path) {
    JpegInfo info;
    struct stat st {};
    // Only regular files: opening a FIFO or a device could block or never end.
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) return info;
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) return info;
    struct stat opened {};
    // The path may have been replaced between the two looks.
    if (::fstat(fd.get(), &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_size > 0) {
        info.FileSize = static_cast<std::int64_t>(opened.st_size);
        FileSource source(fd.get());
        Walk(source, info);
    }
    return info;
}

}  // namespace lumar
