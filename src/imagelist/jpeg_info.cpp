#include "imagelist/jpeg_info.h"

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

// Reads a file through the caller's buffer, which may hold the file's first bytes already, and
// passes over segment bodies without reading them, so a large APP1 or the compressed data of a
// progressive file costs no more than a few reads. Nothing past the length the file had when it
// was opened is read: a walk that runs to the end of a file held whole needs no read to learn so.
class FileSource {
  public:
    FileSource(int fd, std::int64_t fileSize, std::span<char> buffer, std::size_t have)
        : fd_(fd),
          buffer_(buffer),
          len_(have),
          unread_(fileSize - static_cast<std::int64_t>(have)) {}
    void Get(unsigned char* out, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            if (pos_ == len_ && !Fill()) {
                std::fill(out + i, out + n, 0);
                return;
            }
            out[i] = static_cast<unsigned char>(buffer_[pos_++]);
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
        if (failed_ || static_cast<std::int64_t>(n) >= unread_) {
            unread_ = 0;  // at or past the end: only zeros follow
            return;
        }
        if (::lseek(fd_, static_cast<off_t>(n), SEEK_CUR) < 0)
            failed_ = true;
        else
            unread_ -= static_cast<std::int64_t>(n);
    }

  private:
    bool Fill() {
        if (failed_ || unread_ <= 0 || buffer_.empty()) return false;
        const auto want =
            static_cast<std::size_t>(std::min<std::int64_t>(unread_, std::ssize(buffer_)));
        ssize_t got;
        do {
            got = ::read(fd_, buffer_.data(), want);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            failed_ = true;  // end of file or read error: zeros from now on
            return false;
        }
        pos_ = 0;
        len_ = static_cast<std::size_t>(got);
        unread_ -= got;
        return true;
    }

    int fd_;
    std::span<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    std::int64_t unread_;
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

FileDescriptor OpenForHeader(const std::string& path, bool knownRegular, struct stat& opened) {
    struct stat st {};
    // An empty file has nothing to read: when it is looked at first, it is not opened.
    if (!knownRegular &&
        (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0))
        return FileDescriptor();
    FileDescriptor fd = OpenForReading(path);
    // The path may have been replaced since it was looked at or listed.
    if (fd && (::fstat(fd.Get(), &opened) != 0 || !S_ISREG(opened.st_mode)))
        return FileDescriptor();
    return fd;
}

JpegInfo ReadJpegInfoFrom(int fd, const struct stat& opened, std::span<char> buffer,
                          std::size_t have) {
    JpegInfo info;
    if (opened.st_size <= 0) return info;
    info.FileSize = static_cast<std::int64_t>(opened.st_size);
    FileSource source(fd, info.FileSize, buffer, have);
    Walk(source, info);
    return info;
}

JpegInfo ReadJpegInfo(const std::string& path) {
    struct stat opened {};
    const FileDescriptor fd = OpenForHeader(path, false, opened);
    if (!fd) return JpegInfo();
    char buffer[4096];
    return ReadJpegInfoFrom(fd.Get(), opened, buffer, 0);
}

}  // namespace lumar
