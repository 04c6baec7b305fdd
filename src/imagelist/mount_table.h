#pragma once
// The drives of the folder tree: the root file system and the mount points a user thinks of as
// drives (removable media and network shares), read from the kernel's mount table.
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace lumar {

enum class DriveKind { kFixed, kRemovable, kNetwork };

struct MountedDrive {
    std::string mountPoint;  // with trailing separator ("/", "/media/u/STICK/")
    std::string device;      // as the mount table names it ("/dev/sdb1", "server:/export")
    std::string fsType;
    DriveKind kind = DriveKind::kFixed;
    std::string label;  // volume label, or the share for network drives; may be empty

    friend bool operator==(const MountedDrive&, const MountedDrive&) = default;
};

// Parses /proc/mounts text. `labels` maps a device path to its volume label. The root file
// system comes first, then the others in table order; a mount point listed twice (mounted
// over) appears once, with its last entry. Pseudo file systems are left out.
std::vector<MountedDrive> ParseMountTable(std::string_view procMounts,
                                          const std::map<std::string, std::string>& labels = {});

// Device path -> label from the symbolic links in /dev/disk/by-label.
std::map<std::string, std::string> ReadVolumeLabels(
    const std::string& byLabelFolder = "/dev/disk/by-label");

// The drives of this machine.
std::vector<MountedDrive> MountedDrives();

// What the tree calls a drive without a volume label, by kind; the interface's language
// replaces these German defaults.
struct DriveKindCaptions {
    std::string fixed = "Lokaler Datenträger";
    std::string removable = "Wechseldatenträger";
    std::string network = "Netzlaufwerk";
};

// The tree caption: the label (or the caption of the kind when there is none) followed by
// the mount point in parentheses, e.g. "STICK (/media/u/STICK)".
std::string DriveCaption(const MountedDrive& drive, const DriveKindCaptions& captions = {});

}  // namespace lumar
