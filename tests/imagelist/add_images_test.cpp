#include "imagelist/add_images.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "imagelist/row_text.h"
#include "shell/settings_keys.h"
#include "support/jpeg_maker.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

using Strings = std::vector<std::string>;

const std::string kPng = std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);

Strings Names(const std::vector<FoundFile>& files) {
    Strings out;
    for (const FoundFile& f : files) out.push_back(f.folder + f.name);
    return out;
}

Strings Paths(const ImageList& list) {
    Strings out;
    for (const ImageEntry& row : list.Rows()) out.push_back(row.FullPath());
    return out;
}

TEST(RowText, KilobytesHaveOneDecimalAndNoLeadingZero) {
    EXPECT_EQ(KilobyteText(512), ".5");
    EXPECT_EQ(KilobyteText(300), ".3");
    EXPECT_EQ(KilobyteText(1000), "1.0");
    EXPECT_EQ(KilobyteText(153600), "150.0");
    EXPECT_EQ(KilobyteText(2 * 1024 * 1024), "2048.0");
    EXPECT_EQ(KilobyteText(153600, ','), "150,0");
    EXPECT_EQ(KilobyteText(5LL * 1024 * 1024 * 1024), "5242880.0");
    EXPECT_DOUBLE_EQ(KilobyteValue("   ,5", ','), 0.5);
    EXPECT_DOUBLE_EQ(KilobyteValue("2048.0"), 2048.0);
    EXPECT_DOUBLE_EQ(KilobyteValue("x"), 0.0);
}

TEST(RowText, AlignRightPadsButNeverCuts) {
    EXPECT_EQ(AlignRight("640", 4), " 640");
    EXPECT_EQ(AlignRight("1000", 4), "1000");
    EXPECT_EQ(AlignRight("123456", 4), "123456");
    EXPECT_EQ(AlignRight(".5", 6), "    .5");
}

TEST(JpegExtension, ScanNamesAreJudgedByTheirLastExtension) {
    for (const char* name : {"a.jpg", "a.JPEG", "a.JpE", "a.jfif", "x.png.jpg"}) EXPECT_TRUE(HasJpegExtension(name)) << name;
    for (const char* name : {"jpg", "a.jpg.bak", "a.", "a.jp", ".jpgx", "a.dat"}) EXPECT_FALSE(HasJpegExtension(name)) << name;
}

class Adding : public ::testing::Test {
protected:
    std::string Jpeg(const std::string& name, int width = 640, int height = 480, test::JpegOptions options = {}) {
        test::WriteJpeg(dir.file(name), width, height, options);
        return dir.file(name);
    }
    // A JPEG padded after its end marker to exactly `bytes` bytes.
    std::string JpegOfSize(const std::string& name, int width, int height, std::size_t bytes) {
        std::string data = test::MakeJpeg(width, height);
        data.resize(bytes, '\0');
        return dir.write(name, data);
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
    EXPECT_EQ(Names(FindFiles(top, true)),
              (Strings{top + "/.hidden.jpg", top + "/z.jpg", top + "/a_sub/m.jpg", top + "/a_sub/deep/x.jpg",
                       top + "/b_sub/y.jpg"}));
    EXPECT_EQ(Names(FindFiles(top + "/", false)), (Strings{top + "/.hidden.jpg", top + "/z.jpg"}));
    EXPECT_TRUE(FindFiles(dir.file("missing"), true).empty());
    EXPECT_TRUE(FindFiles("", true).empty());
}

TEST_F(Adding, EveryEntryLetsTheWindowBreathe) {
    for (int i = 0; i < 5; ++i) dir.write("f/" + std::to_string(i) + ".txt", "x");
    int pumps = 0;
    FindFiles(dir.file("f"), true, [&] { ++pumps; });
    EXPECT_GE(pumps, 6);  // once before the listing, once per entry
}

TEST_F(Adding, FolderRowsArePaddedSingleFileRowsAreNot) {
    JpegOfSize("d/a.jpg", 1000, 640, 153600);
    JpegOfSize("d/sub/b.jpeg", 640, 48, 2662);
    EXPECT_EQ(AddImageFolder(list, dir.file("d"), true), 2);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Row(1).folder, dir.file("d") + "/");
    EXPECT_EQ(list.Row(1).width, "1000");
    EXPECT_EQ(list.Row(1).height, " 640");
    EXPECT_EQ(list.Row(1).kB, " 150.0");
    EXPECT_EQ(list.Row(2).folder, dir.file("d/sub") + "/");
    EXPECT_EQ(list.Row(2).text, "b.jpeg");
    EXPECT_EQ(list.Row(2).height, "  48");
    EXPECT_TRUE(list.Row(2).checked);

    ASSERT_TRUE(AddImageFile(list, dir.file("d/sub/b.jpeg"), {',', {}}));
    EXPECT_EQ(list.Row(3).width, "640");
    EXPECT_EQ(list.Row(3).height, "48");
    EXPECT_EQ(list.Row(3).kB, "2,6");
    EXPECT_EQ(list.Row(3).FullPath(), dir.file("d/sub/b.jpeg"));
}

TEST_F(Adding, ContentDecidesAndTheScanAlsoWantsAnExtension) {
    dir.write("d/photo.JPG", kPng);
    const std::string dat = Jpeg("d/photo.dat");
    Jpeg("d/noext");
    test::JpegOptions progressive;
    progressive.frame = test::JpegFrame::Progressive;
    Jpeg("d/prog.JpE", 800, 600, progressive);
    dir.write("d/empty.jpg", "");

    EXPECT_EQ(AddImageFolder(list, dir.file("d"), true), 1);
    EXPECT_EQ(list.Row(1).text, "prog.JpE");
    EXPECT_EQ(list.Row(1).width, "   0");  // no baseline header: added with zero size

    EXPECT_FALSE(AddImageFile(list, dir.file("d/photo.JPG")));
    EXPECT_FALSE(AddImageFile(list, dir.file("d/empty.jpg")));
    EXPECT_FALSE(AddImageFile(list, dir.file("d")));
    EXPECT_TRUE(AddImageFile(list, dat));
    EXPECT_EQ(list.Count(), 2);
}

TEST_F(Adding, DropsKeepTheirOrderAndDuplicatesStay) {
    const std::string single = Jpeg("single.jpg");
    Jpeg("folder/one.jpg");
    Jpeg("folder/two.jpg");
    const std::vector<std::string> drop{single, dir.file("folder"), dir.file("nothing.jpg"), single};
    EXPECT_EQ(AddDroppedPaths(list, drop), 4);
    EXPECT_EQ(Paths(list), (Strings{single, dir.file("folder/one.jpg"), dir.file("folder/two.jpg"), single}));
    EXPECT_EQ(list.CurrentRow(), 1);
}

TEST_F(Adding, FolderWithoutImagesAddsNothing) {
    dir.write("d/readme.txt", "x");
    EXPECT_EQ(AddImageFolder(list, dir.file("d"), true), 0);
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(list.CurrentRow(), 0);
}

TEST_F(Adding, SymbolicLinkLoopsAreListedOnce) {
    Jpeg("d/a.jpg");
    Jpeg("d/sub/b.jpg");
    ASSERT_EQ(::symlink("..", dir.file("d/sub/up").c_str()), 0);
    ASSERT_EQ(::symlink(dir.file("d").c_str(), dir.file("d/self").c_str()), 0);
    EXPECT_EQ(AddImageFolder(list, dir.file("d"), true), 2);
    // A linked folder outside the tree is followed.
    Jpeg("other/c.jpg");
    ASSERT_EQ(::symlink(dir.file("other").c_str(), dir.file("d/zlink").c_str()), 0);
    EXPECT_EQ(Names(FindFiles(dir.file("d"), true)).back(), dir.file("d/zlink") + "/c.jpg");
}

TEST_F(Adding, SpecialFilesWithPictureNamesDoNotBlockTheScan) {
    Jpeg("d/a.jpg");
    ASSERT_EQ(::mkfifo(dir.file("d/pipe.jpg").c_str(), 0600), 0);
    EXPECT_EQ(AddImageFolder(list, dir.file("d"), true), 1);
}

TEST_F(Adding, LastAddDirIsKeptInTheSettings) {
    const std::string ini = dir.file("Lumar.ini");
    EXPECT_EQ(ReadLastAddDir(ini), DefaultText(keys::LastAddDir));
    ASSERT_TRUE(StoreLastAddDir(ini, "/srv/bilder"));
    EXPECT_EQ(ReadLastAddDir(ini), "/srv/bilder");
}

}  // namespace
}  // namespace lumar
