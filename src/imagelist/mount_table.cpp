#include "imagelist/mount_table.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>

#include <algorithm>

#include "shell/file_io.h"

namespace lumar {

namespace {

// The mount table writes blanks, tabs, newlines and backslashes in octal ("\040").
std::string Unescape(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            if (digits.size() == 3 && std::all_of(digits.begin(), digits.end(),
                                                  [](char c) { return c >= '0' && c <= '7'; })) {
                out.push_back(static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 +
                                                (digits[2] - '0')));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

// udev writes unsafe label characters as "\x20".
std::string UnescapeLabel(std::string_view name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            const std::string hex(name.substr(i + 2, 2));
            char* end = nullptr;
            const long value = std::strtol(hex.c_str(), &end, 16);
            if (end == hex.c_str() + 2) {
                out.push_back(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.push_back(name[i]);
    }
    return out;
}

bool IsNetworkType(std::string_view type) {
    return type == "nfs" || type == "nfs4" || type == "cifs" || type == "smbfs" || type == "smb3" ||
           type == "fuse.sshfs" || type == "sshfs" || type == "afs" || type == "ncpfs" ||
           type == "davfs" || type == "fuse.davfs2" || type == "9p";
}

bool IsRemovablePlace(std::string_view mountPoint) {
    return mountPoint.starts_with("/media/") || mountPoint.starts_with("/run/media/") ||
           mountPoint.starts_with("/mnt/");
}

// File systems that hold no user files of their own.
bool IsPseudoType(std::string_view type) {
    static constexpr std::string_view pseudo[] = {
        "proc",        "sysfs",           "devtmpfs", "devpts",  "tmpfs",    "securityfs",
        "cgroup",      "cgroup2",         "pstore",   "bpf",     "debugfs",  "tracefs",
        "mqueue",      "hugetlbfs",       "configfs", "fusectl", "autofs",   "binfmt_misc",
        "efivarfs",    "rpc_pipefs",      "nsfs",     "ramfs",   "squashfs", "overlay",
        "fuse.portal", "fuse.gvfsd-fuse", "selinuxfs"};
    return std::find(std::begin(pseudo), std::end(pseudo), type) != std::end(pseudo);
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start < line.size()) {
        while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
        std::size_t end = start;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
        if (end > start) out.push_back(line.substr(start, end - start));
        start = end;
    }
    return out;
}

}  // namespace

std::vector<MountedDrive> ParseMountTable(std::string_view procMounts,
                                          const std::map<std::string, std::string>& labels) {
    std::vector<MountedDrive> drives;
    std::size_t start = 0;
    while (start < procMounts.size()) {
        std::size_t end = procMounts.find('\n', start);
        if (end == std::string_view::npos) end = procMounts.size();
        const std::vector<std::string_view> f = Fields(procMounts.substr(start, end - start));
        start = end + 1;
        if (f.size() < 3) continue;
        MountedDrive drive;
        drive.device = Unescape(f[0]);
        const std::string mountPoint = Unescape(f[1]);
        drive.fsType = std::string(f[2]);
        if (mountPoint.empty() || mountPoint.front() != kPathSeparator) continue;
        const bool root = mountPoint == "/";
        if (IsNetworkType(drive.fsType)) {
            drive.kind = DriveKind::kNetwork;
            drive.label = drive.device;
        } else if (root) {
            drive.kind = DriveKind::kFixed;
        } else if (IsRemovablePlace(mountPoint) && !IsPseudoType(drive.fsType)) {
            drive.kind = DriveKind::kRemovable;
        } else {
            continue;
        }
        if (drive.kind != DriveKind::kNetwork) {
            if (const auto it = labels.find(drive.device); it != labels.end())
                drive.label = it->second;
        }
        drive.mountPoint = WithTrailingSeparator(mountPoint);
        drives.erase(
            std::remove_if(drives.begin(), drives.end(),
                           [&](const MountedDrive& d) { return d.mountPoint == drive.mountPoint; }),
            drives.end());
        drives.push_back(std::move(drive));
    }
    std::stable_partition(drives.begin(), drives.end(),
                          [](const MountedDrive& d) { return d.mountPoint == "/"; });
    if (drives.empty() || drives.front().mountPoint != "/") {
        MountedDrive root;
        root.mountPoint = "/";
        drives.insert(drives.begin(), root);
    }
    return drives;
}

std::map<std::string, std::string> ReadVolumeLabels(const std::string& byLabelFolder) {
    std::map<std::string, std::string> labels;
    DIR* dir = ::opendir(byLabelFolder.c_str());
    if (dir == nullptr) return labels;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        char resolved[PATH_MAX];
        if (::realpath(JoinPath(byLabelFolder, name).c_str(), resolved) != nullptr)
            labels[resolved] = UnescapeLabel(name);
    }
    ::closedir(dir);
    return labels;
}

std::vector<MountedDrive> MountedDrives() {
    const std::string table = ReadFileBytes("/proc/self/mounts").value_or(std::string());
    return ParseMountTable(table, ReadVolumeLabels());
}

std::string DriveCaption(const MountedDrive& drive, const DriveKindCaptions& captions) {
    std::string label = drive.label;
    if (label.empty()) {
        switch (drive.kind) {
            case DriveKind::kFixed:
                label = captions.fixed;
                break;
            case DriveKind::kRemovable:
                label = captions.removable;
                break;
            case DriveKind::kNetwork:
                label = captions.network;
                break;
        }
    }
    std::string shown = drive.mountPoint;
    if (shown.size() > 1 && shown.back() == kPathSeparator) shown.pop_back();
    return label + " (" + shown + ")";
}

}  // namespace lumar
