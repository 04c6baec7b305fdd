#pragma once
// Whole-file reads and crash-safe whole-file writes.
#include <sys/stat.h>

#include <optional>
#include <string>

namespace lumar {

// An open file descriptor, closed when it goes out of scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    // Keeps errno: a failure the caller is about to report must survive the close.
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    [[nodiscard]] int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Closes now, reporting a failed close (a delayed write error) as errno.
    bool Close();

  private:
    int fd_;
};

// Opens the path for reading. O_NONBLOCK: opening a FIFO put in a file's place would otherwise
// wait for a writer forever; O_NOCTTY: a terminal there never becomes ours.
FileDescriptor OpenForReading(const std::string& path);

// The whole file as bytes, or nullopt when it cannot be opened or read or is no regular file
// (folder, FIFO, device); never waits for a writer.
std::optional<std::string> ReadFileBytes(const std::string& path);
// The same, reading no more than `maxBytes`: a longer file, or one that grows past the limit
// while it is read, gives nullopt with *tooLarge set.
std::optional<std::string> ReadFileBytesUpTo(const std::string& path, size_t maxBytes,
                                             bool* tooLarge);
// The same on an open descriptor, from its start.
std::optional<std::string> ReadDescriptorUpTo(int fd, size_t maxBytes, bool* tooLarge);
// The same on a descriptor its caller has already looked at with fstat (`st`).
std::optional<std::string> ReadStatedUpTo(int fd, const struct stat& st, size_t maxBytes,
                                          bool* tooLarge);
// A pipe or terminal read to its end (standard input), with the same limit.
std::optional<std::string> ReadStreamUpTo(int fd, size_t maxBytes, bool* tooLarge);

// Replaces the file with the bytes as one step, for a file the user chose: no lock, nothing
// left beside it; see UpdateFileLocked (locked_file.h) for how, and WriteOwnFile for Lumar's
// own files. Returns an empty string on success, else a short reason, and leaves the old file
// untouched.
// With Flush::kYes the data reaches the disk before the rename (user documents); settings,
// rewritten after every upload, skip that wait: the rename still never exposes a torn file.
// With `ownerOnly` the file ends readable by its owner alone (0600), as a file that may hold
// keys must, even where an older copy was readable by others.
enum class Flush { kYes, kNo };
std::string WriteFileAtomically(const std::string& path, const std::string& bytes,
                                Flush flush = Flush::kYes, bool ownerOnly = false);

// True when something (file or folder) exists at the path.
bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
// True for a regular file (a symbolic link is followed).
bool IsRegularFile(const std::string& path);

// The folder part of a path including its trailing separator ("/a/b.ini" -> "/a/"),
// or "" when the path has no separator.
std::string FolderOf(const std::string& path);

// Joins a folder and a name with exactly one separator between them.
std::string JoinPath(const std::string& folder, const std::string& name);

// The folder with a trailing separator added when it has none.
std::string WithTrailingSeparator(const std::string& folder);

// The native separator of this platform.
inline constexpr char kPathSeparator = '/';

}  // namespace lumar
