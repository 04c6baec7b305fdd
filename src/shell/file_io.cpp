#include "shell/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace lumar {

FileDescriptor::~FileDescriptor() {
    if (fd_ < 0) return;
    const int error = errno;
    ::close(fd_);
    errno = error;
}

bool FileDescriptor::Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
}

namespace {

std::optional<std::string> ReadRegularUpTo(int fd, const struct stat& st, size_t maxBytes,
                                           bool* tooLarge) {
    if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
        if (tooLarge) *tooLarge = true;
        errno = EFBIG;
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) return bytes;
        if (static_cast<size_t>(n) > maxBytes - bytes.size()) {
            if (tooLarge) *tooLarge = true;
            errno = EFBIG;
            return std::nullopt;
        }
        bytes.append(buffer, static_cast<size_t>(n));
        at += n;
    }
}

}  // namespace

FileDescriptor OpenForReading(const std::string& path) {
    return FileDescriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
    return ReadFileBytesUpTo(path, std::numeric_limits<size_t>::max(), nullptr);
}

std::optional<std::string> ReadFileBytesUpTo(const std::string& path, size_t maxBytes,
                                             bool* tooLarge) {
    if (tooLarge) *tooLarge = false;
    // Only regular files are read; a FIFO or device in place of a settings file reads as
    // missing.
    const FileDescriptor fd = OpenForReading(path);
    if (!fd) return std::nullopt;
    return ReadDescriptorUpTo(fd.Get(), maxBytes, tooLarge);
}

std::optional<std::string> ReadDescriptorUpTo(int fd, size_t maxBytes, bool* tooLarge) {
    if (tooLarge) *tooLarge = false;
    struct stat st {};
    if (fstat(fd, &st) != 0) return std::nullopt;
    return ReadStatedUpTo(fd, st, maxBytes, tooLarge);
}

std::optional<std::string> ReadStatedUpTo(int fd, const struct stat& st, size_t maxBytes,
                                          bool* tooLarge) {
    if (tooLarge) *tooLarge = false;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return std::nullopt;
    }
    // A file too large for the memory left is a file that cannot be read, not the end of
    // the program.
    try {
        return ReadRegularUpTo(fd, st, maxBytes, tooLarge);
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        return std::nullopt;
    }
}

std::optional<std::string> ReadStreamUpTo(int fd, size_t maxBytes, bool* tooLarge) {
    if (tooLarge) *tooLarge = false;
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) return bytes;
        if (static_cast<size_t>(n) > maxBytes - bytes.size()) {
            if (tooLarge) *tooLarge = true;
            errno = EFBIG;
            return std::nullopt;
        }
        bytes.append(buffer, static_cast<size_t>(n));
    }
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of(kPathSeparator);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string WithTrailingSeparator(const std::string& folder) {
    if (!folder.empty() && folder.back() == kPathSeparator) return folder;
    return folder + kPathSeparator;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    std::string tail = name;
    while (!tail.empty() && tail.front() == kPathSeparator) tail.erase(0, 1);
    return WithTrailingSeparator(folder) + tail;
}

}  // namespace lumar
