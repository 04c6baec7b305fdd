#include "imagelist/add_images.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <optional>
#include <set>
#include <utility>

#include "shell/file_io.h"
#include "shell/settings_keys.h"

namespace lumar {

namespace {

using FileId = std::pair<dev_t, ino_t>;

struct Scan {
    bool recursive;
    const PumpEvents& pump;
    const ReportScanProblem& report;
    std::vector<FileId> ancestors;  // the folders on the path being listed
    std::set<FileId> complete;      // folders whose whole tree was listed without a problem
    std::set<FileId> files;         // each file once, whichever path reaches it first
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
        scan.Report(error == ENAMETOOLONG ? ScanProblem::Kind::PathTooLong
                                          : ScanProblem::Kind::FolderUnreadable,
                    listed, error);
        return false;
    }
    const int fd = ::dirfd(dir);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        scan.Report(ScanProblem::Kind::FolderUnreadable, listed, errno);
        ::closedir(dir);
        return false;
    }
    const FileId id{st.st_dev, st.st_ino};
    // A link back to an ancestor would list forever; a folder already listed whole by another
    // path has nothing new to give.
    if (std::find(scan.ancestors.begin(), scan.ancestors.end(), id) != scan.ancestors.end() ||
        scan.complete.count(id) != 0) {
        ::closedir(dir);
        return true;
    }
    bool whole = true;
    std::vector<std::pair<std::string, std::optional<FileId>>> files;
    std::vector<std::string> folders;
    const std::string prefix = folder + kPathSeparator;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            struct stat target {};
            // Links are followed; a dangling one counts as a file, which the reader then skips.
            const bool known =
                entry->d_type != DT_DIR && ::fstatat(fd, entry->d_name, &target, 0) == 0;
            if (entry->d_type == DT_DIR || (known && S_ISDIR(target.st_mode))) {
                if (scan.recursive) folders.push_back(name);
            } else {
                files.emplace_back(
                    name, known ? std::optional<FileId>(FileId{target.st_dev, target.st_ino})
                                : std::nullopt);
            }
        }
        Pump(scan.pump);
        errno = 0;
    }
    if (errno != 0) {
        scan.Report(ScanProblem::Kind::FolderUnreadable, listed, errno);
        whole = false;
    }
    ::closedir(dir);
    // A stable order independent of how the file system happens to store the entries.
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    for (auto& [name, fileId] : files) {
        if (TooLongToOpen(prefix + name)) {
            scan.Report(ScanProblem::Kind::PathTooLong, prefix + name);
            whole = false;
            continue;
        }
        if (fileId && !scan.files.insert(*fileId).second) continue;
        scan.found.push_back({prefix, std::move(name)});
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
    Scan scan{recursive, pump, report, {}, {}, {}, {}};
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

void AddingAction::Took(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) taken_.insert({st.st_dev, st.st_ino});
}

bool AddImageFile(ImageList& list, const std::string& path, AddingAction* action) {
    const std::size_t slash = path.find_last_of(kPathSeparator);
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || (action && !action->IsNew(path))) return false;
    const ImageInfo info = ReadImageInfo(path);
    if (!info.IsImage()) return false;
    list.Append(MakeImageRow(folder, name, info, false));
    if (action) action->Took(path);
    return true;
}

int AddImageFolder(ImageList& list, const std::string& folder, bool recursive,
                   const AddOptions& options) {
    AddingAction own;
    AddingAction& action = options.action ? *options.action : own;
    const std::vector<FoundFile> files = FindFiles(folder, recursive, options.pump, options.report);
    std::vector<ImageEntry> rows;
    for (const FoundFile& file : files) {
        const std::string path = file.folder + file.name;
        // Only rows are remembered: a JPEG named .dat that the scan passes over is still
        // taken when it is dropped by itself.
        if (!HasImageExtension(file.name) || !action.IsNew(path)) continue;
        const ImageInfo info = ReadImageInfo(path);
        if (info.IsImage()) {
            rows.push_back(MakeImageRow(file.folder, file.name, info, true));
            action.Took(path);
        }
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
        if (IsDirectory(path))
            added += AddImageFolder(list, path, true, within);
        else if (AddImageFile(list, path, within.action))
            ++added;
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
