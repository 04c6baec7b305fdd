#include "imagelist/mount_table.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace lumar {
namespace {

TEST(MountTable, RootRemovableAndNetworkMountsBecomeDrives) {
    const char* const table =
        "overlay / overlay rw,relatime 0 0\n"
        "proc /proc proc rw 0 0\n"
        "tmpfs /run tmpfs rw 0 0\n"
        "/dev/sda2 /home ext4 rw 0 0\n"
        "/dev/sdb1 /media/u/MY\\040STICK vfat rw 0 0\n"
        "/dev/sdc1 /mnt/backup ext4 rw 0 0\n"
        "nas:/export/fotos /net/fotos nfs4 rw 0 0\n"
        "//nas/bilder /srv/bilder cifs rw 0 0\n"
        "tmpfs /media/u/ram tmpfs rw 0 0\n"
        "/dev/sdc2 /mnt/backup ext4 rw 0 0\n"
        "broken-line\n";
    const std::vector<MountedDrive> drives =
        ParseMountTable(table, {{"/dev/sdb1", "MY STICK"}, {"/dev/sdc2", "Backup"}});
    std::vector<std::string> points;
    for (const MountedDrive& d : drives) points.push_back(d.mountPoint);
    EXPECT_EQ(points, (std::vector<std::string>{"/", "/media/u/MY STICK/", "/net/fotos/",
                                                "/srv/bilder/", "/mnt/backup/"}));
    EXPECT_EQ((std::vector<DriveKind>{drives[0].kind, drives[1].kind, drives[2].kind}),
              (std::vector<DriveKind>{DriveKind::Fixed, DriveKind::Removable, DriveKind::Network}));
    // Mounted over: the last entry counts.
    EXPECT_EQ(
        drives[1].label + "|" + drives[2].label + "|" + drives[4].device + "|" + drives[4].label,
        "MY STICK|nas:/export/fotos|/dev/sdc2|Backup");
    // The root is there even without a table.
    const std::vector<MountedDrive> bare = ParseMountTable("");
    ASSERT_EQ(bare.size(), 1u);
    EXPECT_EQ(DriveCaption(bare[0]), "Lokaler Datenträger (/)");
    EXPECT_EQ(DriveCaption(bare[0], {"Local disk", "", ""}), "Local disk (/)");
}

TEST(MountTable, LabelsComeFromTheLinkNames) {
    test::TempDir dir;
    const std::string device = dir.write("dev/sdz1", "");
    dir.write("by-label/.keep", "");
    ASSERT_EQ(::symlink(device.c_str(), dir.file("by-label/Meine\\x20Bilder").c_str()), 0);
    const auto labels = ReadVolumeLabels(dir.file("by-label"));
    ASSERT_TRUE(labels.count(device));
    EXPECT_EQ(labels.at(device), "Meine Bilder");
    EXPECT_TRUE(ReadVolumeLabels(dir.file("missing")).empty());
}

}  // namespace
}  // namespace lumar
