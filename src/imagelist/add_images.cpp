#include "imagelist/add_images.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <set>
#include <utility>

#include "shell/file_io.h"
#include "shell/settings_keys.h"

namespace lumar {

namespace {

struct Scan {
    bool recursive;
    const PumpEvents& pump;
    const ReportScanProblem& report;
    std::vector<FileKey> ancestors;  // the folders on the path being listed
    std::set<FileKey> complete;      // folders whose whole tree was listed without a problem
    std::vector<FoundFile> found;

    void Report(ScanProblem::Kind kind, const std::string& path, int error = 0) const {
        if (report) report(ScanProblem{kind, path, error});
    }
};

bool TooLongToOpen(const std::string& path) {
    return path.size() + 1 > PATH_MAX;
}

// Lists one folder's files and then its subfolders. `folder` has no trailing separator (""
// for the root folder). Returns false when something under it was left out, so that another
// path to the same folder is listed again and may reach what this one could not.
bool ScanFolder(const std::string& folder, Scan& scan) {
    Pump(scan.pump);
    const std::string listed = folder.empty() ? std::string(1, kPathSeparator) : folder;
    DIR* dir = ::opendir(listed.c_str());
    if (dir == nullptr) {
        const int error = errno;
        scan.Report(error == ENAMETOOLONG ? ScanProblem::Kind::kPathTooLong
                                          : ScanProblem::Kind::kFolderUnreadable,
                    listed, error);
        return false;
    }
    const int fd = ::dirfd(dir);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        scan.Report(ScanProblem::Kind::kFolderUnreadable, listed, errno);
        ::closedir(dir);
        return false;
    }
    const FileKey id{st.st_dev, st.st_ino};
    // A link back to an ancestor would list forever; a folder already listed whole by another
    // path has nothing new to give.
    if (std::find(scan.ancestors.begin(), scan.ancestors.end(), id) != scan.ancestors.end() ||
        scan.complete.count(id) != 0) {
        ::closedir(dir);
        return true;
    }
    bool whole = true;
    std::vector<std::pair<std::string, bool>> files;  // name, seen to be a regular file
    std::vector<std::string> folders;
    const std::string prefix = folder + kPathSeparator;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) {
            bool isFolder = entry->d_type == DT_DIR;
            bool regular = entry->d_type == DT_REG;
            // Links are followed; a dangling one counts as a file, which the reader then skips.
            struct stat target {};
            if ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) &&
                ::fstatat(fd, name, &target, 0) == 0) {
                isFolder = S_ISDIR(target.st_mode);
                regular = S_ISREG(target.st_mode);
            }
            if (!isFolder)
                files.emplace_back(name, regular);
            else if (scan.recursive)
                folders.emplace_back(name);
        }
        Pump(scan.pump);
        errno = 0;
    }
    if (errno != 0) {
        scan.Report(ScanProblem::Kind::kFolderUnreadable, listed, errno);
        whole = false;
    }
    ::closedir(dir);
    // A stable order independent of how the file system happens to store the entries.
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    for (auto& [name, regular] : files) {
        if (TooLongToOpen(prefix + name)) {
            scan.Report(ScanProblem::Kind::kPathTooLong, prefix + name);
            whole = false;
            continue;
        }
        scan.found.push_back({prefix, std::move(name), regular});
    }
    scan.ancestors.push_back(id);
    for (const std::string& name : folders) whole = ScanFolder(prefix + name, scan) && whole;
    scan.ancestors.pop_back();
    if (whole) scan.complete.insert(id);
    return whole;
}

}  // namespace

std::vector<FoundFile> FindFiles(const std::string& folder, bool recursive, const PumpEvents& pump,
                                 const ReportScanProblem& report) {
    std::string start = folder;
    if (!start.empty() && start.back() == kPathSeparator) start.pop_back();
    if (start.empty() && folder.empty()) return {};  // no folder given
    Scan scan{recursive, pump, report, {}, {}, {}};
    ScanFolder(start, scan);
    return std::move(scan.found);
}

bool HasImageExtension(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    std::string ext(name.substr(dot + 1));
    for (char& c : ext)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return ext == "JPG" || ext == "JPEG" || ext == "JFIF" || ext == "JPE" || ext == "PNG" ||
           ext == "GIF" || ext == "WEBP";
}

ImageEntry MakeImageRow(const std::string& folder, const std::string& name, const ImageInfo& info,
                        bool padded) {
    ImageEntry row;
    row.text = name;
    row.folder = folder;
    row.width = info.Width;
    row.height = info.Height;
    row.bytes = info.FileSize;
    row.padded = padded;
    row.checked = true;
    return row;
}

bool AddingAction::IsNew(const std::string& path) const {
    struct stat st {};
    return ::stat(path.c_str(), &st) != 0 || taken_.count({st.st_dev, st.st_ino}) == 0;
}

namespace {

// Reads first and asks the action after, with the key of the file it read: one look at the
// file serves both.
bool AddOneFile(ImageList& list, const std::string& path, AddingAction* action, bool regular) {
    const std::size_t slash = path.find_last_of(kPathSeparator);
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) return false;
    std::optional<FileKey> key;
    const ImageInfo info = ReadImageInfo(path, key, regular);
    if (!info.IsImage() || (action && key && !action->Take(*key))) return false;
    list.Append(MakeImageRow(folder, name, info, false));
    return true;
}

}  // namespace

bool AddImageFile(ImageList& list, const std::string& path, AddingAction* action) {
    return AddOneFile(list, path, action, false);
}

int AddImageFolder(ImageList& list, const std::string& folder, bool recursive,
                   const AddOptions& options) {
    AddingAction own;
    AddingAction& action = options.action ? *options.action : own;
    const std::vector<FoundFile> files = FindFiles(folder, recursive, options.pump, options.report);
    std::vector<ImageEntry> rows;
    for (const FoundFile& file : files) {
        if (!HasImageExtension(file.name)) continue;
        // Each file once, by the first path that gives a row. Only rows are remembered: a JPEG
        // named .dat that the scan passes over is still taken when it is dropped by itself.
        std::optional<FileKey> key;
        const ImageInfo info = ReadImageInfo(file.folder + file.name, key, file.regular);
        if (info.IsImage() && key && action.Take(*key))
            rows.push_back(MakeImageRow(file.folder, file.name, info, true));
        Pump(options.pump);
    }
    const int added = static_cast<int>(rows.size());
    list.AppendRows(std::move(rows));
    return added;
}

int AddDroppedPaths(ImageList& list, const std::vector<std::string>& paths,
                    const AddOptions& options) {
    AddingAction own;
    AddOptions within = options;
    if (!within.action) within.action = &own;
    int added = 0;
    for (const std::string& path : paths) {
        struct stat st {};
        const bool there = ::stat(path.c_str(), &st) == 0;
        if (there && S_ISDIR(st.st_mode)) {
            added += AddImageFolder(list, path, true, within);
            continue;
        }
        // What the look found spares the reader its own; an empty file is still not opened.
        const bool regular = there && S_ISREG(st.st_mode) && st.st_size > 0;
        if (AddOneFile(list, path, within.action, regular)) ++added;
    }
    return added;
}

std::string ReadLastAddDir(const std::string& settingsFile) {
    return ReadTextSetting(settingsFile, keys::LastAddDir);
}

bool StoreLastAddDir(const std::string& settingsFile, const std::string& folder) {
    return WriteSetting(settingsFile, keys::LastAddDir, folder);
}

}  // namespace lumar
