#include "imagelist/add_images.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include "imagelist/captures.h"
#include "imagelist/mount_table.h"
#include "imagelist/row_text.h"
#include "shell/file_io.h"
#include "support/jpeg_maker.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

using Strings = std::vector<std::string>;

TEST(RowText, KilobytesAndPadding) {
    const std::pair<std::int64_t, const char*> kB[] = {
        {512, ".5"}, {1000, "1.0"}, {5LL << 30, "5242880.0"}};
    for (const auto& [bytes, text] : kB) {
        EXPECT_EQ(KilobyteText(bytes), text) << bytes;
        EXPECT_EQ(Kilobytes(bytes), std::stod(text)) << bytes;  // totals add what is shown
    }
    EXPECT_EQ(AlignRight("123456", 4), "123456");  // padding never cuts
}

TEST(RowText, ScanNamesAreJudgedByTheirLastExtension) {
    for (const char* name : {"a.JPEG", "a.JpE", "a.jfif", "x.png.jpg", "a.PNG", "a.gif", "a.WebP"})
        EXPECT_TRUE(HasImageExtension(name)) << name;
    for (const char* name : {"jpg", "a.jpg.bak", "a.", "a.jp", ".jpgx", "a.dat"})
        EXPECT_FALSE(HasImageExtension(name)) << name;
}

class Adding : public ::testing::Test {
  protected:
    std::string Jpeg(const std::string& name, int width = 640, int height = 480,
                     test::JpegOptions options = {}) {
        test::WriteJpeg(dir.file(name), width, height, options);
        return dir.file(name);
    }
    Strings Paths() const {
        Strings out;
        for (const ImageEntry& row : list.Rows()) out.push_back(row.FullPath());
        return out;
    }
    test::TempDir dir;
    ImageList list;
};

TEST_F(Adding, FilesOfAFolderComeBeforeItsSubfoldersDepthFirst) {
    Jpeg("top/z.jpg");
    Jpeg("top/a_sub/deep/x.jpg");
    Jpeg("top/a_sub/m.jpg");
    Jpeg("top/b_sub/y.jpg");
    dir.write("top/.hidden.jpg", "h");
    const std::string top = dir.file("top");
    const auto names = [](const std::vector<FoundFile>& files) {
        Strings out;
        for (const FoundFile& f : files) out.push_back(f.folder + f.name);
        return out;
    };
    int pumps = 0;  // the window breathes once before the listing and once per entry
    EXPECT_EQ(names(FindFiles(top, true, [&] { ++pumps; })),
              (Strings{top + "/.hidden.jpg", top + "/z.jpg", top + "/a_sub/m.jpg",
                       top + "/a_sub/deep/x.jpg", top + "/b_sub/y.jpg"}));
    EXPECT_GE(pumps, 10);
    EXPECT_EQ(names(FindFiles(top + "/", false)), (Strings{top + "/.hidden.jpg", top + "/z.jpg"}));
    EXPECT_TRUE(FindFiles(dir.file("missing"), true).empty());
}

TEST_F(Adding, FolderRowsArePaddedSingleFileRowsAreNot) {
    // JPEGs padded after their end marker to a given size.
    const auto sized = [&](const std::string& name, int width, int height, std::size_t bytes) {
        std::string data = test::MakeJpeg(width, height);
        data.resize(bytes, '\0');
        return dir.write(name, data);
    };
    sized("d/a.jpg", 1000, 640, 153600);
    const std::string b = sized("d/sub/b.jpeg", 640, 48, 2662);
    ASSERT_EQ(AddImageFolder(list, dir.file("d"), true), 2);
    const auto shown = [](const ImageEntry& row, char separator = '.') {
        return ColumnText(row, kColumnWidth) + "|" + ColumnText(row, kColumnHeight) + "|" +
               ColumnText(row, kColumnKb, separator);
    };
    EXPECT_EQ(shown(list.Row(1)), "1000| 640| 150.0");
    EXPECT_EQ(list.Row(2).FullPath() + "|" + shown(list.Row(2)), b + "| 640|  48|   2.6");
    ASSERT_TRUE(AddImageFile(list, b));
    EXPECT_EQ(shown(list.Row(3), ','), "640|48|2,6");
}

// Content decides, and the scan also wants an extension: of files that are no readable picture,
// special files and folders named like pictures only the readable pictures are taken, without
// waiting on a FIFO.
TEST_F(Adding, OnlyReadablePicturesAreTakenFromFilesAndFolders) {
    dir.write("d/photo.JPG", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    const std::string dat = Jpeg("d/photo.dat");
    Jpeg("d/noext");
    test::JpegOptions progressive;
    progressive.frame = test::JpegFrame::Progressive;
    Jpeg("d/prog.JpE", 800, 600, progressive);
    dir.write("d/empty.jpg", "");
    ASSERT_EQ(::mkfifo(dir.file("d/fifo.jpg").c_str(), 0644), 0);
    Jpeg("d/folder.jpg/inner.jpg", 5, 5);  // scanned as a folder, not read as a file
    dir.write("d/shot.png", test::MakePngHead(1024, 768));
    EXPECT_EQ(AddImageFolder(list, dir.file("d"), true), 3);
    EXPECT_EQ(Paths(), (Strings{dir.file("d/prog.JpE"), dir.file("d/shot.png"),
                                dir.file("d/folder.jpg/inner.jpg")}));
    EXPECT_EQ(ColumnText(list.Row(2), kColumnWidth), "1024");
    for (const char* name : {"photo.JPG", "empty.jpg", "fifo.jpg", "missing.jpg", ""})
        EXPECT_FALSE(AddImageFile(list, dir.file("d/") + name)) << name;
    EXPECT_EQ(AddDroppedPaths(list, {"", dir.file("d/fifo.jpg"), dat}), 1);
}

TEST_F(Adding, SymbolicLinkLoopsAreListedOnceAndOutsideLinksFollowed) {
    Jpeg("top/a.jpg", 4, 4);
    Jpeg("top/sub/b.jpg", 4, 4);
    Jpeg("other/c.jpg", 4, 4);
    ASSERT_EQ(::symlink("..", dir.file("top/sub/up").c_str()), 0);    // back to top
    ASSERT_EQ(::symlink("loop2", dir.file("top/loop1").c_str()), 0);  // a link to a link to it
    ASSERT_EQ(::symlink("loop1", dir.file("top/loop2").c_str()), 0);
    ASSERT_EQ(::symlink(dir.file("other").c_str(), dir.file("top/zlink").c_str()), 0);  // outside
    // Other paths to the same files: a link beside its folder, a hard link.
    ASSERT_EQ(::symlink("sub", dir.file("top/lnk").c_str()), 0);
    ASSERT_EQ(::link(dir.file("top/a.jpg").c_str(), dir.file("top/sub/hard.jpg").c_str()), 0);
    EXPECT_EQ(AddDroppedPaths(list, {dir.file("top")}), 3);
    EXPECT_EQ(Paths(), (Strings{dir.file("top/a.jpg"), dir.file("top/lnk/b.jpg"),
                                dir.file("top/zlink/c.jpg")}));
    EXPECT_EQ(FindFiles(dir.file("top/sub"), false).size(), 2u);  // the listing keeps hard.jpg
}

// A drop keeps its order and skips what is not there. Within one drop a file is taken once,
// however often it is reached; a second drop of it gives a second row.
TEST_F(Adding, DropsKeepOrderTakeEachFileOnceAndNameTooDeepFiles) {
    // In byte order, as the scan lists them.
    Strings names = {" lead.jpg", "B\xC3\xA4ume.jpg", "caf\xE9.jpg", "two\nlines.jpg",
                     "with blanks .jpg"};
    for (const std::string& name : names) Jpeg("odd/" + name, 3, 3);
    const std::string deep = test::WriteTooDeepJpeg(dir.file("odd/deep"));
    std::vector<ScanProblem> problems;
    AddOptions options;
    options.report = [&](const ScanProblem& p) { problems.push_back(p); };
    const std::string single = dir.file("odd/two\nlines.jpg");
    EXPECT_EQ(
        AddDroppedPaths(list, {dir.file("odd"), single, dir.file("nothing.jpg"), single}, options),
        static_cast<int>(names.size()));
    for (std::string& name : names) name = dir.file("odd/") + name;
    EXPECT_EQ(Paths(), names);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].path, deep);

    // A file dropped before its folder keeps its place; the next drop is an action of its own.
    list.Clear();
    const std::string lead = dir.file("odd/ lead.jpg");
    ASSERT_EQ(::link(lead.c_str(), dir.file("hard.jpg").c_str()), 0);
    EXPECT_EQ(AddDroppedPaths(list, {dir.file("hard.jpg"), dir.file("odd")}), 5);
    EXPECT_EQ(Paths().front(), dir.file("hard.jpg"));
    EXPECT_EQ(AddDroppedPaths(list, {lead}) + AddDroppedPaths(list, {lead}), 2);
}

// Screenshots and pasted pictures: named by their moment and content, never over another file,
// and refused when they are no picture or have nowhere to go.
TEST_F(Adding, CapturesAreNamedByTimeAndTypeAndNeverReplaceAFile) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    EXPECT_EQ(CapturesFolderFor("", "/home/u"), "/home/u/.cache/lumar/captures/");
    EXPECT_EQ(CapturesFolderFor("relative", "/home/u"), "/home/u/.cache/lumar/captures/");
    const std::string folder = CapturesFolderFor(dir.file("cache"), "/nowhere");
    const std::time_t when = 1796652192;  // 2026-12-07 14:03:12
    const std::string png = test::MakePngHead(40, 30), jpeg = test::MakeJpeg(8, 8);
    const std::string source = dir.write("Pictures/portal.jpg", jpeg);
    const CaptureResult taken[] = {StoreCapture(folder, "Bild", png, when),
                                   StoreCapture(folder, "Bild", png, when),
                                   CopyIntoCaptures(folder, "Bildschirmfoto", source, when)};
    EXPECT_EQ(taken[0].path, folder + "Bild 2026-12-07 14-03-12.png");
    EXPECT_EQ(taken[1].path, folder + "Bild 2026-12-07 14-03-12 (2).png");
    EXPECT_EQ(taken[2].path, folder + "Bildschirmfoto 2026-12-07 14-03-12.jpg");
    EXPECT_EQ(ReadFileBytes(taken[1].path), png);
    EXPECT_EQ(ReadFileBytes(taken[2].path), jpeg);
    EXPECT_EQ(ReadFileBytes(source), jpeg);  // the other program's file stays
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    const std::string blocked = dir.write("plain", "a file") + "/captures/";
    const std::pair<CaptureResult, CaptureProblem> refused[] = {
        {StoreCapture(folder, "Bild", "GIF89", when), CaptureProblem::kNotAPicture},
        {CopyIntoCaptures(folder, "Bild", dir.file("gone.png"), when),
         CaptureProblem::kSourceUnusable},
        {StoreCapture(blocked, "Bild", png, when), CaptureProblem::kFolderUnusable},
        {StorePipedCapture(folder, "../out.png", png), CaptureProblem::kBadName}};
    for (const auto& [result, problem] : refused) EXPECT_EQ(result.problem, problem);

    // A piped picture keeps its exact name beside a capture of that name, and goes after.
    const CaptureResult piped = StorePipedCapture(folder, "Bild 2026-12-07 14-03-12.png", jpeg);
    ASSERT_TRUE(piped.Ok());
    EXPECT_EQ(ReadFileBytes(piped.path), jpeg);
    RemovePipedCapture(piped.path);
    EXPECT_FALSE(PathExists(FolderOf(piped.path)));
}

// Old captures go, unless the list holds them; what Lumar does not make there is left alone.
TEST_F(Adding, TidyingRemovesOnlyOldCapturesOutsideTheList) {
    const std::string folder = dir.file("captures/");
    const std::time_t now = 1796652192, day = 24 * 60 * 60;
    const auto aged = [&](const std::string& name, std::time_t age, bool link = false) {
        const std::string path = folder + name;
        if (link)
            EXPECT_EQ(::symlink("old.png", path.c_str()), 0);
        else if (name.back() == '/')
            test::WriteJpeg(path + "a.jpg", 8, 8);
        else
            dir.write("captures/" + name, "x");
        const timeval times[2] = {{now - age, 0}, {now - age, 0}};
        EXPECT_EQ(::lutimes(path.c_str(), times), 0);
    };
    for (const char* name : {"old.png", "kept.png", "piped-AbC123/", "photos/"})
        aged(name, 31 * day);
    aged("young.png", 29 * day);
    aged("link.png", 40 * day, true);
    EXPECT_EQ(TidyCaptures(folder, 0, {}, now), 0);
    EXPECT_EQ(TidyCaptures(folder, 30, {folder + "kept.png"}, now), 2);
    for (const char* gone : {"old.png", "piped-AbC123"}) EXPECT_FALSE(PathExists(folder + gone));
    for (const char* kept : {"kept.png", "young.png", "photos/a.jpg"})
        EXPECT_TRUE(PathExists(folder + kept)) << kept;
    struct stat st {};
    EXPECT_EQ(::lstat((folder + "link.png").c_str(), &st), 0);
}

TEST(MountTable, RootRemovableAndNetworkMountsBecomeDrives) {
    const char* const table =
        "overlay / overlay rw,relatime 0 0\n"
        "/dev/sda2 /home ext4 rw 0 0\n"
        "/dev/sdb1 /media/u/MY\\040STICK vfat rw 0 0\n"
        "/dev/sdc1 /mnt/backup ext4 rw 0 0\n"
        "nas:/export/fotos /net/fotos nfs4 rw 0 0\n"
        "tmpfs /media/u/ram tmpfs rw 0 0\n"
        "/dev/sdc2 /mnt/backup ext4 rw 0 0\n"
        "broken-line\n";
    const std::vector<MountedDrive> drives =
        ParseMountTable(table, {{"/dev/sdb1", "MY STICK"}, {"/dev/sdc2", "Backup"}});
    std::vector<std::string> points;
    for (const MountedDrive& d : drives) points.push_back(d.mountPoint);
    EXPECT_EQ(points,
              (std::vector<std::string>{"/", "/media/u/MY STICK/", "/net/fotos/", "/mnt/backup/"}));
    EXPECT_EQ(
        (std::vector<DriveKind>{drives[0].kind, drives[1].kind, drives[2].kind}),
        (std::vector<DriveKind>{DriveKind::kFixed, DriveKind::kRemovable, DriveKind::kNetwork}));
    // Mounted over: the last entry counts.
    EXPECT_EQ(
        drives[1].label + "|" + drives[2].label + "|" + drives[3].device + "|" + drives[3].label,
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
