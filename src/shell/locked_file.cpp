#include "shell/locked_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <set>

namespace lumar {
namespace {

constexpr std::string_view kTempInfix = ".tmp";
constexpr std::string_view kSpareSuffix = ".spare";
constexpr size_t kTempDigits = 6;
constexpr mode_t kNewFileMode = 0644;

std::string ErrorText(int error) {
    return std::strerror(error);
}

// The path a write must replace: the target of a symbolic link, else the path itself.
std::string ResolveForWrite(const std::string& path) {
    char resolved[PATH_MAX];
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && realpath(path.c_str(), resolved))
        return resolved;
    return path;
}

std::string FolderOrDot(const std::string& path) {
    const std::string folder = FolderOf(path);
    return folder.empty() ? std::string(".") : folder;
}

std::string BaseName(const std::string& path) {
    return path.substr(FolderOf(path).size());
}

void LockExclusive(int fd) {
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

// The state of the file before a write, and why it must not be written ("" when it may).
struct Target {
    bool exists = false;
    mode_t mode = kNewFileMode;
    bool ownerOnly = false;  // give it 0600 whether it exists or not
    std::string refusal;
};

Target Inspect(const std::string& target) {
    Target t;
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) {
        if (errno != ENOENT) t.refusal = ErrorText(errno);
        return t;
    }
    t.exists = true;
    t.mode = st.st_mode & 07777;
    if (!S_ISREG(st.st_mode)) {
        t.refusal = ErrorText(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    } else if ((st.st_mode & 0222) == 0) {
        t.refusal =
            ErrorText(EACCES);  // write-protected: kept even from a user who may override it
    } else if (::access(target.c_str(), W_OK) != 0) {
        t.refusal = ErrorText(errno);
    }
    return t;
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool IsOurTempName(std::string_view name, std::string_view base) {
    if (!name.starts_with(base) || !name.substr(base.size()).starts_with(kTempInfix)) return false;
    const std::string_view digits = name.substr(base.size() + kTempInfix.size());
    return !digits.empty() && digits.size() <= kTempDigits &&
           digits.find_first_not_of("0123456789") == std::string_view::npos;
}

// Called with the lock held: no writer is between creating and renaming a temporary file, so
// every one of our pattern was left by a writer that was killed. Once per file and process:
// the settings are written after every image, and a leftover only costs its few bytes until
// the next start.
void RemoveStaleTemps(const std::string& target) {
    static std::mutex mutex;
    static std::set<std::string> cleaned;
    {
        const std::lock_guard guard(mutex);
        if (!cleaned.insert(target).second) return;
    }
    const std::string folder = FolderOrDot(target);
    const std::string base = BaseName(target);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir))
        if (IsOurTempName(entry->d_name, base)) ::unlinkat(::dirfd(dir), entry->d_name, 0);
    ::closedir(dir);
}

// A random start drawn once, then counted on: a random_device per name costs more than the
// write it names, and a name taken meanwhile is only tried again.
std::string TempName(const std::string& target) {
    static std::atomic<unsigned> next{std::random_device{}()};
    std::string digits = std::to_string(next.fetch_add(1, std::memory_order_relaxed) % 1000000);
    digits.insert(0, kTempDigits - digits.size(), '0');
    return target + std::string(kTempInfix) + digits;
}

bool IsPermissionError(int error) {
    return error == EACCES || error == EPERM;
}

// An unnamed file in the target's folder, or an invalid descriptor with errno set.
FileDescriptor OpenUnnamedTemp(const std::string& target) {
    return FileDescriptor(
        ::open(FolderOrDot(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, kNewFileMode));
}

bool UnnamedTempsUnsupported(int error) {
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

// Fills `fd` with the bytes, cut to their length, and gives it the target's permission bits.
std::string FillTemp(int fd, const std::string& bytes, const Target& target, Flush flush) {
    // Cut after the write: a spare cut first would have its block freed after all.
    if (!WriteAll(fd, bytes) || ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0)
        return ErrorText(errno);
    if (target.ownerOnly ? ::fchmod(fd, 0600) != 0
                         : target.exists && ::fchmod(fd, target.mode) != 0)
        return ErrorText(errno);
    if (flush == Flush::kYes && ::fsync(fd) != 0) return ErrorText(errno);
    return "";
}

// Gives the unnamed file a fresh name beside the target; returns that name or "".
std::string NameUnnamedTemp(int fd, const std::string& target) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TempName(target);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return name;
        if (errno != EEXIST) return "";
    }
    return "";
}

// A named temporary file with the bytes; returns its name, or "" with `problem` set.
std::string WriteNamedTemp(const std::string& target, const std::string& bytes, const Target& state,
                           Flush flush, std::string& problem, int& openError) {
    openError = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TempName(target);
        FileDescriptor fd(
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode));
        if (!fd) {
            if (errno == EEXIST) continue;
            openError = errno;
            problem = ErrorText(errno);
            return "";
        }
        problem = FillTemp(fd.Get(), bytes, state, flush);
        if (problem.empty() && !fd.Close()) problem = ErrorText(errno);
        if (problem.empty()) return name;
        ::unlink(name.c_str());
        return "";
    }
    problem = ErrorText(EEXIST);
    return "";
}

// The folder refuses new files but the file itself may be written: overwrite it where it
// is, under a lock on the file itself. The space is claimed before the first byte changes,
// so a full disk leaves the old content whole.
std::string WriteInPlace(const std::string& target, const FileChange& change,
                         const LockedWriteOptions& options) {
    FileDescriptor fd(::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd) return ErrorText(errno);
    LockExclusive(fd.Get());
    if (options.ownerOnly && ::fchmod(fd.Get(), 0600) != 0) return ErrorText(errno);
    std::optional<std::string> current;
    if (options.readCurrent) {
        bool tooLarge = false;
        current = ReadDescriptorUpTo(fd.Get(), options.maxCurrentBytes, &tooLarge);
        if (!current) return tooLarge ? TooLargeReason(options.maxCurrentBytes) : ErrorText(errno);
    }
    std::string bytes;
    if (std::string problem = change(current, bytes); !problem.empty()) return problem;
    if (!bytes.empty()) {
        const int error = ::posix_fallocate(fd.Get(), 0, static_cast<off_t>(bytes.size()));
        if (error != 0 && error != EOPNOTSUPP && error != EINVAL) return ErrorText(error);
    }
    if (!WriteAll(fd.Get(), bytes) || ::ftruncate(fd.Get(), static_cast<off_t>(bytes.size())) != 0)
        return ErrorText(errno);
    if (options.flush == Flush::kYes && ::fsync(fd.Get()) != 0) return ErrorText(errno);
    return fd.Close() ? "" : ErrorText(errno);
}

// The lock, or an invalid descriptor when it can be neither made nor opened (then the write
// goes on without it, as before there were locks).
FileDescriptor TakeLock(const std::string& path) {
    if (path.empty()) return FileDescriptor();
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0666);
    if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
    if (fd >= 0) LockExclusive(fd);
    return FileDescriptor(fd);
}

// The bytes `change` makes of the target's current content; returns "" or why there are none.
std::string NewContent(const std::string& target, const Target& state, const FileChange& change,
                       const LockedWriteOptions& options, std::string& bytes) {
    std::optional<std::string> current;
    if (options.readCurrent && state.exists) {
        bool tooLarge = false;
        current = ReadFileBytesUpTo(target, options.maxCurrentBytes, &tooLarge);
        if (!current) return tooLarge ? TooLargeReason(options.maxCurrentBytes) : ErrorText(errno);
    }
    return change(current, bytes);
}

// Set once a swap of names was refused: the file system has none, and every later write
// replaces the file.
std::atomic<bool> swapUnsupported{false};

bool IsSwapUnsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

// Swaps what the two names point to in one step; 0, else the error.
int SwapNames(const std::string& one, const std::string& other) {
#ifdef RENAME_EXCHANGE
    if (::renameat2(AT_FDCWD, one.c_str(), AT_FDCWD, other.c_str(), RENAME_EXCHANGE) == 0) return 0;
    return errno;
#else
    return ENOSYS;
#endif
}

// The spare, when it is ours to overwrite: a plain file of this user with no other name (never
// a link, a FIFO or a file linked elsewhere).
FileDescriptor OpenSpare(const std::string& spareName) {
    FileDescriptor fd(::open(spareName.c_str(),
                             O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK,
                             kNewFileMode));
    struct stat st {};
    if (fd && (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 ||
               st.st_uid != ::geteuid()))
        return FileDescriptor();
    return fd;
}

// The write of a file that exists, through its spare: the new content overwrites the spare's
// blocks and the two names are swapped, so no block is freed (a file system mounted to discard
// every freed block waits for the disk there). nullopt, with nothing changed, when no spare can
// be used here.
std::optional<std::string> UpdateThroughSpare(const std::string& target, const FileChange& change,
                                              const LockedWriteOptions& options) {
    const FileDescriptor lock = TakeLock(options.lockFile);  // held to the end of this function
    if (!lock) return std::nullopt;
    Target state = Inspect(target);
    if (!state.refusal.empty()) return state.refusal;
    if (!state.exists) return std::nullopt;
    state.ownerOnly = options.ownerOnly;
    const std::string spareName = target + std::string(kSpareSuffix);
    FileDescriptor spare = OpenSpare(spareName);
    if (!spare) return std::nullopt;
    RemoveStaleTemps(target);

    std::string bytes;
    if (std::string problem = NewContent(target, state, change, options, bytes); !problem.empty())
        return problem;
    if (std::string problem = FillTemp(spare.Get(), bytes, state, options.flush); !problem.empty())
        return problem;
    if (!spare.Close()) return ErrorText(errno);
    const int error = SwapNames(spareName, target);
    if (error == 0) return "";
    if (!IsSwapUnsupported(error)) return ErrorText(error);
    swapUnsupported = true;
    ::unlink(spareName.c_str());
    return std::nullopt;
}

}  // namespace

std::string SharedLockFile(const std::string& settingsFolder) {
    return JoinPath(settingsFolder.empty() ? std::string(".") : settingsFolder, "Lumar.lock");
}

std::string TooLargeReason(size_t maxBytes) {
    return "file larger than " + std::to_string(maxBytes / (1024 * 1024)) + " MiB";
}

std::string UpdateFileLocked(const std::string& path, const FileChange& change,
                             const LockedWriteOptions& options) {
    const std::string target = ResolveForWrite(path);
    // The spare's way looks at the file under the lock only: it is taken after every upload.
    if (options.throughSpare && !swapUnsupported)
        if (std::optional<std::string> done = UpdateThroughSpare(target, change, options))
            return *done;
    if (std::string refusal = Inspect(target).refusal; !refusal.empty()) return refusal;

    FileDescriptor unnamed = OpenUnnamedTemp(target);
    const int unnamedError = unnamed ? 0 : errno;
    if (!unnamed && !UnnamedTempsUnsupported(unnamedError)) {
        if (IsPermissionError(unnamedError) && Inspect(target).exists)
            return WriteInPlace(target, change, options);
        return ErrorText(unnamedError);
    }

    const FileDescriptor lock = TakeLock(options.lockFile);  // held to the end of this function
    // Looked at again under the lock: another writer may have changed the file meanwhile.
    Target state = Inspect(target);
    if (!state.refusal.empty()) return state.refusal;
    state.ownerOnly = options.ownerOnly;
    // Without the lock another writer's temporary file may be in use.
    if (lock) RemoveStaleTemps(target);

    std::string bytes;
    if (std::string problem = NewContent(target, state, change, options, bytes); !problem.empty())
        return problem;

    std::string name;
    std::string problem;
    if (unnamed) {
        problem = FillTemp(unnamed.Get(), bytes, state, options.flush);
        if (!problem.empty()) return problem;
        name = NameUnnamedTemp(unnamed.Get(), target);
    }
    if (name.empty()) {  // no unnamed files here, or no way to name one: a named file instead
        int openError = 0;
        name = WriteNamedTemp(target, bytes, state, options.flush, problem, openError);
        if (name.empty() && IsPermissionError(openError) && state.exists)
            return WriteInPlace(target, change, options);
        if (name.empty()) return problem;
    }
    if (::rename(name.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(name.c_str());
        return ErrorText(error);
    }
    return "";
}

namespace {

std::string ReplaceWhole(const std::string& path, const std::string& bytes, Flush flush,
                         bool ownerOnly, const std::string& lockFile) {
    LockedWriteOptions options;
    options.readCurrent = false;
    options.flush = flush;
    options.ownerOnly = ownerOnly;
    options.lockFile = lockFile;
    return UpdateFileLocked(
        path,
        [&bytes](const std::optional<std::string>&, std::string& replacement) {
            replacement = bytes;
            return std::string();
        },
        options);
}

}  // namespace

std::string WriteFileAtomically(const std::string& path, const std::string& bytes, Flush flush,
                                bool ownerOnly) {
    return ReplaceWhole(path, bytes, flush, ownerOnly, "");
}

std::string WriteOwnFile(const std::string& path, const std::string& bytes,
                         const std::string& lockFile) {
    return ReplaceWhole(path, bytes, Flush::kYes, false, lockFile);
}

}  // namespace lumar
