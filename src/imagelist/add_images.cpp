#include "imagelist/add_images.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <utility>

#include "imagelist/row_text.h"
#include "shell/file_io.h"
#include "shell/settings_keys.h"

namespace lumar {

namespace {

using DirId = std::pair<dev_t, ino_t>;

struct Scan {
    bool recursive;
    const PumpEvents& pump;
    std::set<DirId> visited;
    std::vector<FoundFile> found;
};

bool IsDirectoryEntry(const std::string& path, unsigned char type) {
    if (type == DT_DIR) return true;
    if (type != DT_LNK && type != DT_UNKNOWN) return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);  // links are followed
}

// `folder` has no trailing separator ("" for the root folder).
void ScanFolder(const std::string& folder, Scan& scan) {
    Pump(scan.pump);
    const std::string listed = folder.empty() ? std::string(1, kPathSeparator) : folder;
    struct stat st {};
    if (::stat(listed.c_str(), &st) != 0 || !scan.visited.insert({st.st_dev, st.st_ino}).second) return;
    DIR* dir = ::opendir(listed.c_str());
    if (dir == nullptr) return;
    std::vector<std::string> files;
    std::vector<std::string> folders;
    const std::string prefix = folder + kPathSeparator;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            if (!IsDirectoryEntry(prefix + name, entry->d_type))
                files.push_back(name);
            else if (scan.recursive)
                folders.push_back(name);
        }
        Pump(scan.pump);
    }
    ::closedir(dir);
    // A stable order independent of how the file system happens to store the entries.
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    for (std::string& name : files) scan.found.push_back({prefix, std::move(name)});
    for (const std::string& name : folders) ScanFolder(prefix + name, scan);
}

}  // namespace

std::vector<FoundFile> FindFiles(const std::string& folder, bool recursive, const PumpEvents& pump) {
    std::string start = folder;
    if (!start.empty() && start.back() == kPathSeparator) start.pop_back();
    if (start.empty() && folder.empty()) return {};  // no folder given
    Scan scan{recursive, pump, {}, {}};
    ScanFolder(start, scan);
    return std::move(scan.found);
}

bool HasJpegExtension(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    std::string ext(name.substr(dot + 1));
    for (char& c : ext)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return ext == "JPG" || ext == "JPEG" || ext == "JFIF" || ext == "JPE";
}

ImageEntry MakeImageRow(const std::string& folder, const std::string& name, const JpegInfo& info,
                        bool padded, char decimalSeparator) {
    ImageEntry row;
    row.text = name;
    row.folder = folder;
    row.width = std::to_string(info.Width);
    row.height = std::to_string(info.Height);
    row.kB = KilobyteText(info.FileSize, decimalSeparator);
    if (padded) {
        row.width = AlignRight(row.width, kFolderSizeWidth);
        row.height = AlignRight(row.height, kFolderSizeWidth);
        row.kB = AlignRight(row.kB, kFolderKbWidth);
    }
    row.checked = true;
    return row;
}

bool AddImageFile(ImageList& list, const std::string& path, const AddOptions& options) {
    const std::size_t slash = path.find_last_of(kPathSeparator);
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) return false;
    const JpegInfo info = ReadJpegInfo(path);
    if (!info.IsJpeg) return false;
    list.Append(MakeImageRow(folder, name, info, false, options.decimalSeparator));
    return true;
}

int AddImageFolder(ImageList& list, const std::string& folder, bool recursive, const AddOptions& options) {
    const std::vector<FoundFile> files = FindFiles(folder, recursive, options.pump);
    std::vector<ImageEntry> rows;
    for (const FoundFile& file : files) {
        if (!HasJpegExtension(file.name)) continue;
        const JpegInfo info = ReadJpegInfo(file.folder + file.name);
        if (info.IsJpeg) rows.push_back(MakeImageRow(file.folder, file.name, info, true, options.decimalSeparator));
        Pump(options.pump);
    }
    const int added = static_cast<int>(rows.size());
    list.AppendRows(std::move(rows));
    return added;
}

int AddDroppedPaths(ImageList& list, const std::vector<std::string>& paths, const AddOptions& options) {
    int added = 0;
    for (const std::string& path : paths) {
        if (IsDirectory(path))
            added += AddImageFolder(list, path, true, options);
        else if (AddImageFile(list, path, options))
            ++added;
    }
    return added;
}

std::string ReadLastAddDir(const std::string& settingsFile) { return ReadTextSetting(settingsFile, keys::LastAddDir); }

bool StoreLastAddDir(const std::string& settingsFile, const std::string& folder) {
    return WriteSetting(settingsFile, keys::LastAddDir, folder);
}

}  // namespace lumar
