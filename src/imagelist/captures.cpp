#include "imagelist/captures.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "shell/file_io.h"

namespace lumar {
namespace {

// What StorePipedCapture's folders start with; mkdtemp fills in the rest.
constexpr std::string_view kPipedFolderPrefix = "piped-";
constexpr std::time_t kSecondsPerDay = 24 * 60 * 60;

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

CaptureResult Failed(CaptureProblem problem, int error = 0) {
    CaptureResult result;
    result.problem = problem;
    result.error = error;
    return result;
}

// The folder and the ones above it; the captures folder is made private, a cache folder is
// nothing but a folder.
bool MakeFolders(const std::string& folder) {
    std::string path;
    for (size_t at = 0; at != std::string::npos;) {
        const size_t next = folder.find(kPathSeparator, at + 1);
        path = folder.substr(0, next);
        if (!path.empty() && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
        at = next;
    }
    return IsDirectory(folder);
}

// Writes the whole of `bytes` to a file that must not exist yet; a failed write leaves nothing.
int WriteNewFile(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return errno;
    FileDescriptor file(fd);
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            ::unlink(path.c_str());
            return error;
        }
        done += static_cast<size_t>(n);
    }
    if (!file.Close()) {
        const int error = errno;
        ::unlink(path.c_str());
        return error;
    }
    return 0;
}

CaptureResult CheckPicture(std::string_view bytes, ImageType& type) {
    if (bytes.size() > kMaxCaptureBytes) return Failed(CaptureProblem::kTooLarge);
    type = ReadImageInfoFromBytes(bytes).Type;
    return type == ImageType::kNone ? Failed(CaptureProblem::kNotAPicture) : CaptureResult{};
}

bool IsKept(const std::string& path, const std::vector<std::string>& keep) {
    return std::find(keep.begin(), keep.end(), path) != keep.end();
}

// A folder of StorePipedCapture: its one file, then itself.
bool RemovePipedFolder(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return false;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") ::unlink(JoinPath(folder, name).c_str());
    }
    ::closedir(dir);
    return ::rmdir(folder.c_str()) == 0;
}

}  // namespace

std::string CapturesFolderFor(const std::string& xdgCacheHome, const std::string& home) {
    // The base directory rules take an absolute path only; a relative one is to be ignored.
    const std::string cache =
        !xdgCacheHome.empty() && xdgCacheHome[0] == '/' ? xdgCacheHome : JoinPath(home, ".cache");
    return WithTrailingSeparator(JoinPath(JoinPath(cache, "lumar"), "captures"));
}

std::string CapturesFolder() {
    return CapturesFolderFor(EnvOrEmpty("XDG_CACHE_HOME"), EnvOrEmpty("HOME"));
}

std::string_view ImageExtension(ImageType type) {
    switch (type) {
        case ImageType::kJpeg:
            return "jpg";
        case ImageType::kPng:
            return "png";
        case ImageType::kGif:
            return "gif";
        case ImageType::kWebP:
            return "webp";
        case ImageType::kNone:
            break;
    }
    return "";
}

std::string CaptureFileName(std::string_view prefix, std::time_t when, std::string_view extension) {
    std::tm local{};
    ::localtime_r(&when, &local);
    char stamp[32];
    const size_t length = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H-%M-%S", &local);
    std::string name(prefix);
    name.append(" ").append(stamp, length).append(".").append(extension);
    return name;
}

CaptureResult StoreCapture(const std::string& folder, std::string_view prefix,
                           std::string_view bytes, std::time_t when) {
    ImageType type = ImageType::kNone;
    if (CaptureResult checked = CheckPicture(bytes, type); !checked.Ok()) return checked;
    if (!MakeFolders(folder)) return Failed(CaptureProblem::kFolderUnusable, errno);
    const std::string extension(ImageExtension(type));
    const std::string first = CaptureFileName(prefix, when, extension);
    const std::string stem = first.substr(0, first.size() - extension.size() - 1);
    // Two pictures within one second, or one start writing while another does, take turns.
    for (int n = 1; n < 1000; ++n) {
        const std::string name =
            n == 1 ? first : stem + " (" + std::to_string(n) + ")." + extension;
        CaptureResult result;
        result.path = JoinPath(folder, name);
        const int error = WriteNewFile(result.path, bytes);
        if (error == 0) return result;
        if (error != EEXIST) return Failed(CaptureProblem::kWriteFailed, error);
    }
    return Failed(CaptureProblem::kWriteFailed, EEXIST);
}

CaptureResult CopyIntoCaptures(const std::string& folder, std::string_view prefix,
                               const std::string& source, std::time_t when) {
    bool tooLarge = false;
    const std::optional<std::string> bytes = ReadFileBytesUpTo(source, kMaxCaptureBytes, &tooLarge);
    if (tooLarge) return Failed(CaptureProblem::kTooLarge);
    if (!bytes) return Failed(CaptureProblem::kSourceUnusable, errno);
    return StoreCapture(folder, prefix, *bytes, when);
}

CaptureResult StorePipedCapture(const std::string& folder, const std::string& name,
                                std::string_view bytes) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return Failed(CaptureProblem::kBadName);
    ImageType type = ImageType::kNone;
    if (CaptureResult checked = CheckPicture(bytes, type); !checked.Ok()) return checked;
    if (!MakeFolders(folder)) return Failed(CaptureProblem::kFolderUnusable, errno);
    std::string own = JoinPath(folder, std::string(kPipedFolderPrefix) + "XXXXXX");
    if (!::mkdtemp(own.data())) return Failed(CaptureProblem::kFolderUnusable, errno);
    CaptureResult result;
    result.path = JoinPath(own, name);
    if (const int error = WriteNewFile(result.path, bytes); error != 0) {
        ::rmdir(own.c_str());
        return Failed(CaptureProblem::kWriteFailed, error);
    }
    return result;
}

void RemovePipedCapture(const std::string& path) {
    ::unlink(path.c_str());
    ::rmdir(FolderOf(path).c_str());
}

int TidyCaptures(const std::string& folder, int days, const std::vector<std::string>& keep,
                 std::time_t now) {
    if (days <= 0) return 0;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    const std::time_t oldest = now - static_cast<std::time_t>(days) * kSecondsPerDay;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const std::string path = JoinPath(folder, name);
        struct stat st {};
        if (name == "." || name == ".." || ::lstat(path.c_str(), &st) != 0) continue;
        if (st.st_mtime >= oldest || IsKept(path, keep)) continue;
        if (S_ISREG(st.st_mode))
            removed += ::unlink(path.c_str()) == 0 ? 1 : 0;
        else if (S_ISDIR(st.st_mode) && name.starts_with(kPipedFolderPrefix))
            removed += RemovePipedFolder(path) ? 1 : 0;
    }
    ::closedir(dir);
    return removed;
}

}  // namespace lumar
